# The tray menu's commands reach the frame while it is hidden: "Calibrate"
# sends "r" to the board and leaves the frame in the tray; "Exit" takes the
# icon away, ends the program with exit code 0 and writes config.ini.

responsive_within $E2E_BOUND_COMMAND "Calibrate sends \"r\""
start_board 7 --status 8
write_config DEVICE_COM_PORT=7
written=$(file_text "$SCENARIO_DIR/config.ini")
start_and_wait
frame=$(driver wait-window "Kestra Wheel Configuration" 5)

step "minimise into the tray"
minimise_to_tray

step "Calibrate from the menu"
from=$(($(transcript_lines) + 1))
driver -w "0x$frame" post-command $IDM_CALIBRATE
check_true "r sent to the board" wait_received "$from" '^72$' 1
settle 0.5
check_eq "r sent once" 1 "$(received_since "$from" | grep -cx '72')"
check_answer "frame still hidden" 0 -w "0x$frame" is-shown
check_answer "icon still there" 1 tray-icon "0x$tray" $kTrayIconId

step "Exit from the menu"
driver -w "0x$frame" post-command $IDM_EXIT
wait_exit "$PROGRAM_PID" 15
check_eq "exit code after Exit" 0 "$EXIT_CODE"
check_answer "icon removed" 0 tray-icon "0x$tray" $kTrayIconId
saved=$(file_text "$SCENARIO_DIR/config.ini")
check_true "config.ini written at exit" test "$saved" != "$written"
check_match "config.ini keeps COM7" 'DEVICE_COM_PORT=7' "$saved"
check_match "with the program's other settings" 'FLAGS=' "$saved"
