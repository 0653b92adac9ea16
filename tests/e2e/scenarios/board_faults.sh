# The board misbehaving mid-session, as a user meets it: pulled out and
# plugged back in (while away it lost its settings: the selected profile goes
# back onto it), answering late, answering with noise before every reply,
# and, with its debug level raised, sending "#" reports without end. The
# window keeps answering, the status line says what is going on, no message
# box comes up, and what the user set is in GameProfiles.ini at exit.

responsive_within $E2E_BOUND_BULK_READ "a board found again is read whole before its profile goes back"

start_board 7 --status 8
write_config DEVICE_COM_PORT=7

step "start; the user sets Main Gain to 100"
start_and_wait
check_true "Ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
from=$(($(transcript_lines) + 1))
driver set-slider $IDC_MAIN_GAIN_SLIDER 100 >/dev/null
wait_received "$from" '^50 11 01 64$' 1

step "pulled out"
board "drop"
check_true "Disconnected shown" driver -t 10 wait-text $IDC_DEVICE_STATUS "Disconnected"
check_answer "external gain unknown" "---" get-text $IDC_EXTERNAL_GAIN

step "plugged back in, its settings lost meanwhile"
board "set 17 10"
from=$(($(transcript_lines) + 1))
board "back"
check_true "Ready again" driver -t 15 wait-text $IDC_DEVICE_STATUS "Ready"
check_true "the profile's Main Gain went back onto the board" wait_received "$from" '^50 11 01 64$' 1
check_answer "the page shows it" "78 %" get-text $IDC_MAIN_GAIN_VALUE

step "answering late"
board "late 250"
settle 3
state=$(driver get-text $IDC_DEVICE_STATUS)
check_match "the status line says something true ($state)" '^(Ready|Wheel Ready|Wheel Found|Connected|Disconnected)$' "$state"
board "late 0"
check_true "Ready once it answers in time" driver -t 15 wait-text $IDC_DEVICE_STATUS "Ready"

step "noise before every reply"
board "noise 6"
settle 3
check_eq "no message box" "" "$(driver find-msgbox 0 2>/dev/null)"
board "noise 0"
check_true "Ready once the noise stops" driver -t 15 wait-text $IDC_DEVICE_STATUS "Ready"
check_answer "Main Gain unchanged" "78 %" get-text $IDC_MAIN_GAIN_VALUE
end_with_escape
check_match "Default keeps Main Gain 100" '^PROFILE=Default,NoLife\.exe,0,900,100,' \
  "$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep '^PROFILE=')"

step "debug level 1: '#' reports without end"
board "set 16 1"
board "report 1"
start_and_wait
check_true "the reports are summed up in the log" wait_log "ReadBoardReports: "
check_true "not a line each" [ "$(log_text | wc -l)" -lt 40 ]
ping=$(driver ping-window 3)
echo "with reports every millisecond: $ping"
end_with_escape
board "report 0"
