# Windows ending the session (shut-down, log-off) may end the program as soon
# as the frame has answered WM_ENDSESSION, before its message loop ends: the
# saves of a normal exit happen then. Here the program is killed right after,
# as Windows would, and config.ini and GameProfiles.ini hold what the user set.

responsive_within $E2E_BOUND_COMMAND "the settings saved at the end of the session"

start_board 7
write_config DEVICE_COM_PORT=7 FLAGS=2

step "start, and the user moves Main Gain and checks Invert"
start_and_wait
from=$(($(transcript_lines) + 1))
driver set-slider $IDC_MAIN_GAIN_SLIDER 100 >/dev/null
check_true "label follows" driver wait-text $IDC_MAIN_GAIN_VALUE "78 %"
wait_received "$from" '^50 11 ' 2
driver click $IDC_INVERT >/dev/null
wait_received "$from" '^50 22 ' 1

step "Windows asks, then ends the session"
driver post-message 0x11 0 0 + post-message 0x16 1 0 >/dev/null
check_true "the end of the session is logged" wait_log "WM_ENDSESSION: the session ends, settings saved"
# The saves are done (and logged) before the frame answers; Windows may end
# the process now.
kill -9 "$PROGRAM_PID" 2>/dev/null
wait_exit "$PROGRAM_PID" 10

step "what was saved"
check_match "config.ini keeps the port and the flags" $'FLAGS=2\nWINDOW_DURATION=10\nDEVICE_COM_PORT=7' "$(file_text "$SCENARIO_DIR/config.ini")"
check_match "Default holds Main Gain 100 and Invert (bits 0 and 2)" '^PROFILE=Default,NoLife\.exe,5,900,100,' "$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep '^PROFILE=')"
