#pragma once
// The "Live Forces" window (dialog 2200) and the command that opens it
// (2201: the main page's button, the strip's button and the tray menu's
// item). Included by the .rc script, so plain #defines only.
#define IDD_LIVE_FORCES 2200
#define IDC_LIVE_FORCES 2201
#define IDC_FORCES_GRAPH 2202    // the graph's area, its place and size
#define IDC_FORCES_SPAN 2203     // "2 s", "10 s", "30 s"
#define IDC_FORCES_PAUSE 2204    // push-like check box "Pause"
#define IDC_FORCES_CLIPPING 2205 // "Clipping: 38.9 %"
#define IDC_FORCES_LATEST 2206   // the latest values
#define IDC_FORCES_STATE 2207    // how the reports flow, or why they do not
#define IDC_FORCES_SAVE 2208     // "Save CSV..."
#define IDC_FORCES_SPAN_TEXT 2209
