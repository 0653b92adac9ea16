#pragma once
// Resource ids of the program. Included by the .rc scripts (windres) and by
// the Windows code, so plain #defines only.

// Icon (window class, tray, About box).
#define IDI_TILLERSET 3

// String table: window class names, loaded into 100-character buffers.
#define IDS_FRAME_CLASS 109  // "TS_INTERFACE"
#define IDS_TRAY_CLASS 110   // "TS_INTERFACE_TRAY"
#define kClassNameChars 100

// Accelerators: Alt+"?" and Alt+"/" send IDM_HELP_KEY, which nothing acts on.
#define IDA_FRAME 109
#define IDM_HELP_KEY 104

// Dialogs.
#define IDD_ABOUT 103
#define IDD_FRAME 166
#define IDD_OFFER 167

// About box controls (own ids: 65535 is reserved for message-box texts,
// which the end-to-end driver looks for).
#define IDC_ABOUT_ICON 1001
#define IDC_ABOUT_PRODUCT 1002
#define IDC_ABOUT_THANKS 1003

// The update offer with "Skip this version": its text has the message-box
// text id (65535), so it reads like any other box of the program.
#define IDC_OFFER_ICON 1010
#define IDC_OFFER_TEXT 65535
#define IDC_OFFER_SKIP 1011

// Notification-area menu: its first submenu holds the four commands below.
#define IDR_TRAY_MENU 131

// Frame window commands (notification-area menu and the pages).
#define IDM_CALIBRATE 2045
#define IDM_RESTORE 32771
#define IDM_EXIT 32772
#define IDM_ABOUT 32779
#define IDM_START_WITH_WINDOWS 32781

// The "Firmware Update" window and the command that flashes a picked file.
#define IDD_FLASH 190
#define IDC_FLASH_STAGE 1901
#define IDC_FLASH_PROGRESS 1902
#define IDC_FLASH_NOTE 1903
#define IDM_FLASH_FILE 32780

// Application manifest (common controls 6).
#define IDR_MANIFEST 1
