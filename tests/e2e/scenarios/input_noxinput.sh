# -noxinput: the XInput filter asks WMI for the plug-and-play devices and
# leaves out a controller whose vendor and product ids belong to a device
# with "IG_" in its id. Wine's WMI lists what the prefix's registry holds
# under Enum, so an XInput pad is registered there.

responsive_within $E2E_BOUND_COMMAND "the WMI query runs before the window shows"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
dinput_script \
  "$(dinput_device "Kestra Wheel" 1)" \
  "$(dinput_device "XInput Pad" 2 product=0x045E,0x028E)"

step "register an XInput interface in the prefix"
key='HKLM\System\CurrentControlSet\Enum\HID\VID_045E&PID_028E&IG_00\7&1a2b3c&0&0000'
timeout 60 "$TS_WINE" reg add "$key" /v HardwareID /t REG_MULTI_SZ /d 'HID\VID_045E&PID_028E&IG_00' /f >/dev/null 2>&1
timeout 60 "$TS_WINE" reg add "$key" /v ClassGUID /d '{745a17a0-74d3-11d0-b6fe-00a0c90f57da}' /f >/dev/null 2>&1

step "with -noxinput the pad is left out"
start_and_wait -noxinput
check_answer "only the wheel" "Kestra Wheel" list-combo $IDC_GAMING_DEVICE
end_with_escape
check_true "the WMI query ran and found the XInput id" log_has "InitGamingInput: 1 XInput device id(s) from WMI (result 0x"

step "without the option it is listed"
start_and_wait
check_answer "both" "Kestra Wheel
XInput Pad" list-combo $IDC_GAMING_DEVICE
end_with_escape
