#pragma once
// The "Linearity Editor" dialog (153) and its controls. Included by
// linearity_editor.rc (windres) and by the dialog code, so plain #defines only.
#define IDD_LINEARITY_EDITOR 153
#define IDC_LINEARITY_SLIDER 1198
#define IDC_LINEARITY_VALUE 1199
