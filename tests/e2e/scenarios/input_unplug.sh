# Controllers that go and come while the program runs: one unplugged (every
# acquire reports lost input) leaves the window answering and is read again
# when it is back; a controller plugged in later appears in list 1042 after
# Windows' device-change notice, behind the others, and the chosen one stays.

responsive_within $E2E_BOUND_COMMAND "a lost controller costs a few acquires a tick"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
wheel() { dinput_device "Kestra Wheel" 1 "$@"; }
dinput_script "$(wheel x=100)"

start_and_wait -dev
check_true "the wheel is read" driver wait-text $IDC_X_AXIS 100

step "the wheel reports lost input on every acquire"
dinput_script "$(wheel x=200 lost=1)"
wait_log "ReadGamingInput: input lost" 5
check_true "the loss is noted once" test "$(log_text | grep -c 'ReadGamingInput: input lost')" -eq 1
from=$(dinput_log_lines)
sleep 1
acquires=$(dinput_log_since "$((from + 1))" | grep -c '^[0-9]* Acquire ')
check_true "about one acquire per tick while lost ($acquires in 1 s)" test "$acquires" -le 40
check_answer "the readout keeps its last value" "100" get-text $IDC_X_AXIS
check_true "the window answers" driver set-slider $IDC_MAIN_GAIN_SLIDER 30
check_true "and acts" driver wait-text $IDC_MAIN_GAIN_VALUE "23 %"
check_true "the About box opens and closes" driver post-command $IDM_ABOUT
check_true "About shown" driver -t 5 wait-window "About" >/dev/null
driver -w "About" close >/dev/null
driver wait-gone "About" 5 >/dev/null

step "the wheel is unplugged, then plugged in again"
# Back with a new generation: the interface opened before stays dead, as a
# re-plugged device may, so only a fresh open reads it.
dinput_script "$(wheel x=300 attached=0)"
device_change
settle 1
dinput_script "$(wheel x=300 generation=2)"
device_change
check_true "read again" driver wait-text $IDC_X_AXIS 300
check_true "the return is noted" log_has '"Kestra Wheel" opened again'
check_eq "by a second open" 2 "$(grep -c 'CreateDevice 2118778881' "$DINPUT_LOG")"

step "a second controller is plugged in"
dinput_script "$(wheel x=300 generation=2)" "$(dinput_device "Late Pedals" 2 x=999)"
device_change
check_answer "it is listed behind the wheel" "Kestra Wheel
Late Pedals" list-combo $IDC_GAMING_DEVICE
check_answer "the wheel stays chosen" "0 Kestra Wheel" get-combo $IDC_GAMING_DEVICE
check_answer "and read" "300" get-text $IDC_X_AXIS
driver select-combo $IDC_GAMING_DEVICE "Late Pedals" >/dev/null
check_true "the newcomer can be chosen and read" driver wait-text $IDC_X_AXIS 999
end_with_escape
