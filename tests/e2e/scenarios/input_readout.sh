# Developer mode: the strip's "Wheel State" shows what the controller reports
# ("%ld" for axes and sliders, "%x" for the hats, "ffffffff" when centred),
# follows it, and keeps the pairs of objects the controller lacks disabled.

responsive_within $E2E_BOUND_COMMAND "the readout set only where it changed"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
wheel() {
  dinput_script "$(dinput_device "Kestra Wheel" 1 axes=X,Y,Z,Rz sliders=1 povs=2 "$@")"
}
wheel x=-12 y=65535 z=0 rz=4660 slider0=777 pov1=9000

step "start in developer mode"
start_and_wait -dev
check_true "X shows signed" driver wait-text $IDC_X_AXIS -12
check_eq "axes and slider" "65535 0 4660 777" \
  "$(driver get-text $IDC_Y_AXIS) $(driver get-text $IDC_Z_AXIS) $(driver get-text $IDC_RZ_AXIS) $(driver get-text $IDC_SLIDER0)"
check_answer "a centred hat" "ffffffff" get-text $IDC_POV0
check_answer "a hat at 90 degrees" "2328" get-text $IDC_POV1
check_eq "present objects enabled (label, value)" "1 1 1 1 1 1" \
  "$(driver is-enabled $IDC_X_AXIS_TEXT) $(driver is-enabled $IDC_X_AXIS) $(driver is-enabled $IDC_RZ_AXIS_TEXT) $(driver is-enabled $IDC_SLIDER0_TEXT) $(driver is-enabled $IDC_POV0_TEXT) $(driver is-enabled $IDC_POV1_TEXT)"
check_eq "missing objects disabled (Rx, Ry, Slider 1, POV 2, POV 3)" "0 0 0 0 0 0" \
  "$(driver is-enabled $IDC_RX_AXIS_TEXT) $(driver is-enabled $IDC_RX_AXIS) $(driver is-enabled $IDC_RY_AXIS_TEXT) $(driver is-enabled $IDC_SLIDER1_TEXT) $(driver is-enabled $IDC_POV2_TEXT) $(driver is-enabled $IDC_POV3)"

step "the readout follows the controller"
wheel x=40000 y=1 z=2 rz=3 slider0=4 pov1=18000
check_true "X follows" driver wait-text $IDC_X_AXIS 40000
check_eq "the rest too" "1 2 3 4 4650" \
  "$(driver get-text $IDC_Y_AXIS) $(driver get-text $IDC_Z_AXIS) $(driver get-text $IDC_RZ_AXIS) $(driver get-text $IDC_SLIDER0) $(driver get-text $IDC_POV1)"
end_with_escape
