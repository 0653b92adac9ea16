#pragma once
// Control ids of the drive/state strip (dialog 183), shown under the main page
// in developer mode. Included by pages.rc (windres) and by the page code, so
// plain #defines only.

#define IDD_STRIP 183

// ---- strip: "Wheel State" (label, value), created disabled
#define IDC_X_AXIS_TEXT 1083
#define IDC_X_AXIS 1010
#define IDC_Y_AXIS_TEXT 1084
#define IDC_Y_AXIS 1011
#define IDC_Z_AXIS_TEXT 1085
#define IDC_Z_AXIS 1012
#define IDC_RX_AXIS_TEXT 1086
#define IDC_RX_AXIS 1022
#define IDC_RY_AXIS_TEXT 1087
#define IDC_RY_AXIS 1023
#define IDC_RZ_AXIS_TEXT 1088
#define IDC_RZ_AXIS 1024
#define IDC_SLIDER0_TEXT 1021
#define IDC_SLIDER0 1032
#define IDC_SLIDER1_TEXT 1025
#define IDC_SLIDER1 1033
#define IDC_POV0_TEXT 1026
#define IDC_POV0 1050
#define IDC_POV1_TEXT 1027
#define IDC_POV1 1054
#define IDC_POV2_TEXT 1028
#define IDC_POV2 1056
#define IDC_POV3_TEXT 1029
#define IDC_POV3 1058

// ---- strip: "Statistics"
#define IDC_AVERAGE_CURRENT_TEXT 2098
#define IDC_AVERAGE_CURRENT 2101
#define IDC_MAXIMUM_CURRENT_TEXT 2104
#define IDC_MAXIMUM_CURRENT 2107
#define IDC_WINDOW_TEXT 2112
#define IDC_WINDOW_SLIDER 2110
#define IDC_WINDOW_VALUE 2114
#define IDC_RESET_MAX 2044
#define IDC_RESET_BOARD 2050
#define IDC_FLASH_FILE 2051
#define IDC_OFFSET_TEXT 2119
#define IDC_OFFSET 2120
#define IDC_DEBUG_LEVEL_TEXT 2126
#define IDC_DEBUG_LEVEL 1044

// ---- strip: " Drive Control "
#define IDC_TORQUE_BW_TEXT 1081
#define IDC_TORQUE_BW_SLIDER 1079
#define IDC_TORQUE_BW_VALUE 1080
#define IDC_SM_PORT_TEXT 2125
#define IDC_SM_PORT 1043
#define IDC_RESTART_DRIVE 2082
#define IDC_CLEAR_FAULTS 2083
