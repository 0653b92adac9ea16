#pragma once
// The "Advanced Settings" dialog (2123) and its controls. Included by
// advanced_settings.rc (windres) and by the dialog code, so plain #defines only.
#define IDD_ADVANCED_SETTINGS 2123
#define IDC_RESET_TO_DEFAULT 3
// "Linearity" of the X, Y, Z, Rx, Ry and Rz axes: 4 + axis.
#define IDC_LINEARITY_X 4
#define IDC_LINEARITY_Y 5
#define IDC_LINEARITY_Z 6
#define IDC_LINEARITY_RX 7
#define IDC_LINEARITY_RY 8
#define IDC_LINEARITY_RZ 9
// The axis lists, 1010 + axis; Ry and Rz stay empty.
#define IDC_AXIS_X 1010
#define IDC_AXIS_Y 1011
#define IDC_AXIS_Z 1012
#define IDC_AXIS_RX 1013
#define IDC_AXIS_RY 1014
#define IDC_AXIS_RZ 1015
#define IDC_EXTERNAL_GAIN_INPUT 1016
#define IDC_ENCODER_INVERT 1079
// The axis lists' labels, 1083 + axis.
#define IDC_AXIS_X_LABEL 1083
#define IDC_AXIS_Y_LABEL 1084
#define IDC_AXIS_Z_LABEL 1085
#define IDC_AXIS_RX_LABEL 1086
#define IDC_AXIS_RY_LABEL 1087
#define IDC_AXIS_RZ_LABEL 1088
#define IDC_COMMAND_MODE 1034
#define IDC_ENCODER_PPR 2062
#define IDC_PWM_FREQUENCY 2116
// The mapping lists: IDC_MAPPING_FIRST + 0..31 for buttons 1..32, then the outputs.
#define IDC_MAPPING_FIRST 3000
#define IDC_STATUS_LED 3032
#define IDC_LC_SYNC 3033
#define IDC_CTRL_SYNC 3034
#define IDC_SEND_SYNC 3035
#define IDC_MAPPING_LAST 3035
