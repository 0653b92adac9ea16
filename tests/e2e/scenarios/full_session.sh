# A whole session as a maker lives it, touching every page and dialog: the
# main page and the developer strip with the stand-in board, drive and wheel
# (the DirectInput stand-in), the Game Profile dialog, the About box, the
# Advanced Settings with the linearity editor, the update check, the tray
# and its menu's Exit. With the log raised to the runtime's summaries
# (TILLERSET_LOG_LEVEL=2), the program's own leak report at the end must say
# that every block came back.

responsive_within $E2E_BOUND_UPDATE_CHECK "the update check, the longest step the session takes"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
dinput_script "$(dinput_device "Kestra Wheel" 1 axes=X,Y,Z x=30000 y=100 pressed=0,5)"
start_board 7 --status 8
start_drive 3 --current 1000
start_update_server
printf '%s\r\n' "[SERVER]" "ADRESS=$SERVER_HOST" "PORT=80" "[UPDATE]" "VERSION=0,0,0,21" "FW_VERSION=0,0,0,0" \
  >"$SERVER_ROOT/ts_servers.ini"
write_config_with_server DEVICE_COM_PORT=7 SM_COM_PORT=3 FLAGS=1 "USED_DEVICE_GUID=$(dinput_guid 1)"
export TILLERSET_LOG_LEVEL=2
cp -R "$TS_SOURCE_DIR/data/." "$SCENARIO_DIR/"  # the languages, as an install has them

step "start in developer mode"
start_and_wait -dev
check_true "board Ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
check_true "drive configured" driver wait-text 2:$IDC_AVERAGE_CURRENT "1.8 A"
check_true "the wheel read" driver wait-text $IDC_X_AXIS 30000

step "main page and strip"
from=$(($(transcript_lines) + 1))
driver set-slider $IDC_MAIN_GAIN_SLIDER 100 >/dev/null
driver click $IDC_INVERT >/dev/null
driver click $IDC_CENTER_WHEEL >/dev/null
wait_received "$from" '^63$' 1
driver set-slider 2:$IDC_TORQUE_BW_SLIDER 5 >/dev/null
driver click 2:$IDC_RESET_MAX >/dev/null
driver click 2:$IDC_RESTART_DRIVE >/dev/null
check_true "the drive got 554 := 2" wait_drive 1 '554 := 2'

step "Game Profile dialog: New, then Remove"
driver click $IDC_PROFILE_NEW >/dev/null
wait_window "Game Profile" 10
driver -w "Game Profile" set-text $IDC_PROFILE_NAME "Session" >/dev/null
driver -w "Game Profile" set-text $IDC_PROCESS_NAME "session.exe" >/dev/null
driver -w "Game Profile" click 1 >/dev/null
check_answer "made and selected" "1 Session" get-combo $IDC_PROFILE_LIST
driver click $IDC_PROFILE_REMOVE >/dev/null
check_eq "asked" "Remove the profile \"Session\"?" "$(driver find-msgbox 10)"
driver click-msgbox IDYES >/dev/null
check_answer "removed" "Default" list-combo $IDC_PROFILE_LIST

step "About"
driver post-command $IDM_ABOUT
driver -w "About Tillerset" send-key ESCAPE
check_true "About closed" driver wait-gone "About Tillerset" 10

step "Advanced Settings and the linearity editor"
driver click $IDC_ADVANCED_SETTINGS >/dev/null
driver wait-window "Advanced Settings" 10 >/dev/null || fail "no Advanced Settings"
driver -w "Advanced Settings" select-combo $((IDC_MAPPING_FIRST + 8)) D9 >/dev/null
driver -w "Advanced Settings" click 4 >/dev/null
driver wait-window "Linearity Editor" 10 >/dev/null || fail "no Linearity Editor"
driver -w "Linearity Editor" set-slider $IDC_LINEARITY_SLIDER 4352 >/dev/null
driver -w "Linearity Editor" click 1 >/dev/null
check_true "editor closed" driver wait-gone "Linearity Editor" 10
driver -w "Advanced Settings" click 1 >/dev/null
check_true "Advanced Settings closed with Ok" driver wait-gone "Advanced Settings" 10

step "Check now"
driver click $IDC_CHECK_NOW >/dev/null
check_eq "the answer" "No update available" "$(driver find-msgbox 10)"
driver click-msgbox IDOK >/dev/null

step "into the tray and Exit from its menu"
driver minimize
driver wait-gone "Kestra Wheel Configuration" 10 || fail "frame still shown"
tray=$(driver find-hidden class:TS_INTERFACE_TRAY 10)
driver -w "0x$tray" post-message "registered:Server tray notification" 131 0x203
wait_window "Kestra Wheel Configuration" 10
driver post-command $IDM_EXIT
wait_exit "$PROGRAM_PID" 20
check_eq "Exit ends with 0" 0 "$EXIT_CODE"

step "the leak report"
check_true "every block came back" log_has "No memory leaks, no problem"
check_eq "nothing still allocated" "" "$(log_text | grep 'Memory still allocated')"
check_eq "the languages were there" "" "$(log_text | grep 'InstallMText: Could not')"
