# The game controllers through the DirectInput stand-in: two with force
# feedback and one without; list 1042 shows the two in order, the one
# config.ini names is chosen and read, a pick of the other is saved at exit
# and chosen at the next start; switching back finds all its objects again.

responsive_within $E2E_BOUND_PROFILE "picking a controller activates it; no board"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
dinput_script \
  "$(dinput_device "Kestra Wheel" 1 x=1111)" \
  "$(dinput_device "Plain Pad" 2 ff=0)" \
  "$(dinput_device "Pedal Box" 3 axes=X,Y,Z sliders=0 povs=0 buttons=4 x=3333)"
write_config "USED_DEVICE_GUID=$(dinput_guid 3)"

step "start: the controller of config.ini is chosen"
start_and_wait -dev
check_answer "list 1042 holds the two with force feedback" "Kestra Wheel
Pedal Box" list-combo $IDC_GAMING_DEVICE
check_answer "the configured one is selected" "1 Pedal Box" get-combo $IDC_GAMING_DEVICE
check_true "and read" driver wait-text $IDC_X_AXIS 3333
# The list activates it a second time while it is held already.
check_eq "its objects are enabled" "1 1" "$(driver is-enabled $IDC_X_AXIS_TEXT) $(driver is-enabled $IDC_Z_AXIS_TEXT)"
check_eq "its missing objects stay disabled" "0 0" "$(driver is-enabled $IDC_RX_AXIS_TEXT) $(driver is-enabled $IDC_POV0_TEXT)"

step "pick the wheel"
driver select-combo $IDC_GAMING_DEVICE "Kestra Wheel" >/dev/null
check_true "the wheel is read" driver wait-text $IDC_X_AXIS 1111
check_answer "its Rx axis is enabled" "1" is-enabled $IDC_RX_AXIS_TEXT

step "back to the pedal box and to the wheel again"
driver select-combo $IDC_GAMING_DEVICE "Pedal Box" >/dev/null
check_true "the pedal box is read again" driver wait-text $IDC_X_AXIS 3333
driver select-combo $IDC_GAMING_DEVICE "Kestra Wheel" >/dev/null
check_true "the wheel is read again" driver wait-text $IDC_X_AXIS 1111
check_eq "all its objects are found again" "1 1 1" \
  "$(driver is-enabled $IDC_RX_AXIS_TEXT) $(driver is-enabled $IDC_SLIDER0_TEXT) $(driver is-enabled $IDC_POV0_TEXT)"
check_eq "no range setting was refused" "" "$(grep 'SetProperty.*0x800700aa' "$DINPUT_LOG")"

step "exit: config.ini holds the wheel"
end_with_escape
check_true "USED_DEVICE_GUID is the wheel's" grep -q "USED_DEVICE_GUID=$(dinput_guid 1)" "$SCENARIO_DIR/config.ini"

step "the next start chooses the wheel"
start_and_wait -dev
check_answer "the wheel is selected" "0 Kestra Wheel" get-combo $IDC_GAMING_DEVICE
check_true "and read" driver wait-text $IDC_X_AXIS 1111
end_with_escape
check_eq "no effect was ever asked for" "" "$(grep EFFECT "$DINPUT_LOG")"
