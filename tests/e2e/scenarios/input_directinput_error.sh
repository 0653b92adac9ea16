# DirectInput cannot be started: the box "Error Initializing DirectInput"
# (captioned with the window class name), then the program ends with exit
# code 0 and lets go of its single-instance mutex, so it can be started again.

responsive_within $E2E_BOUND_COMMAND "the error box, then the normal shutdown"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
dinput_script "create=fail"

for round in 1 2; do
  step "start $round"
  start_program
  check_eq "the box" "Error Initializing DirectInput" "$(driver find-msgbox 20)"
  check_eq "its caption" "TS_INTERFACE" "$(driver -w msgbox get-title)"
  driver click-msgbox IDOK >/dev/null
  wait_exit "$PROGRAM_PID" 15
  check_eq "exit code after the box" 0 "$EXIT_CODE"
done
check_eq "never another instance" "" "$(log_text | grep 'Another instance')"
check_true "the ending is logged" log_has "DirectInput could not be started, ending"
check_true "settings still saved" test -f "$SCENARIO_DIR/config.ini"
