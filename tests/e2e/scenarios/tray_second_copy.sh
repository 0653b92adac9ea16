# A second copy started while the first is hidden in the notification area:
# it says that another copy runs and ends; the first stays in the tray with
# its icon, untouched, and comes back with a double-click.

responsive_within $E2E_BOUND_COMMAND "hiding and showing the frame"
start_and_wait
first=$PROGRAM_PID
frame=$(driver wait-window "Kestra Wheel Configuration" 5)
driver minimize
driver wait-gone "Kestra Wheel Configuration" 10 || fail "frame still shown after minimising"
tray=$(driver find-hidden class:TS_INTERFACE_TRAY 10)
check_answer "icon in the notification area" 1 tray-icon "0x$tray" $kTrayIconId

step "second copy"
start_program
second=$PROGRAM_PID
check_eq "it says so" "Another instance of Tillerset is running" "$(driver find-msgbox 20)"
driver click-msgbox IDOK
wait_exit "$second" 15
check_eq "and ends with 0" 0 "$EXIT_CODE"
check_true "the first copy runs on" is_running "$first"
check_answer "still hidden" 0 -w "0x$frame" is-shown
check_answer "its icon still there" 1 tray-icon "0x$tray" $kTrayIconId
check_eq "Log.txt is the first copy's alone" 1 "$(log_text | grep -c '^Exec Log Init')"

step "back from the tray"
driver -w "0x$tray" post-message "registered:Server tray notification" 131 0x203
wait_window "Kestra Wheel Configuration" 10
check_answer "shown again" 1 -w "0x$frame" is-shown
driver send-key ESCAPE
wait_exit "$first" 15
check_eq "first copy's exit code" 1 "$EXIT_CODE"
