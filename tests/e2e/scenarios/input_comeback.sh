# A controller not activated at start is by a new pick; an unplugged one is lost input
# whatever its acquire answers, and read again when back.

responsive_within $E2E_BOUND_COMMAND "controllers that fail and come back"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
wheel() { dinput_script "$(dinput_device "Kestra Wheel" 1 "$@")"; }
write_config "USED_DEVICE_GUID=$(dinput_guid 1)"
wheel x=100 objects=fail
start_and_wait -dev
check_true "the failure is logged" wait_log "InitGamingInput: the controller could not be activated"
check_answer "its axes are off" 0 is-enabled $IDC_X_AXIS
wheel x=100
driver select-combo $IDC_GAMING_DEVICE "Kestra Wheel" >/dev/null
check_answer "picked again, its axes are the user's" 1 is-enabled $IDC_X_AXIS
check_true "and it is read" driver wait-text $IDC_X_AXIS 100

lost() { log_text | grep -c 'ReadGamingInput: input lost'; }
generation=1
for answer in unplugged notacquired otherapp fail; do
  step "unplugged, acquire answers $answer"
  before=$(lost)
  wheel x=200 lost=1 acquire=$answer generation=$generation
  more_lost() { [ "$(lost)" -gt "$before" ]; }
  check_true "taken for lost input" wait_for 5 more_lost
  generation=$((generation + 1))
  wheel x=$((300 + generation)) generation=$generation
  device_change
  check_true "read again when it is back" driver wait-text $IDC_X_AXIS $((300 + generation))
done
end_with_escape
