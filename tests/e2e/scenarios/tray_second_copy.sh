# A second start while the first copy is minimised into the notification
# area: the first copy's window comes out of the tray, restored and in front,
# its icon goes; the second start ends with 0 and shows no box.

responsive_within $E2E_BOUND_COMMAND "hiding and showing the frame"
start_and_wait
first=$PROGRAM_PID
frame=$(driver wait-window "Kestra Wheel Configuration" 5)
minimise_to_tray

step "second start"
start_program
second=$PROGRAM_PID
wait_exit "$second" 15
check_eq "it ends with 0" 0 "$EXIT_CODE"
check_eq "without a box" "" "$(driver find-msgbox 1 2>/dev/null)"
wait_window "Kestra Wheel Configuration" 10
check_answer "the first copy's window is shown" 1 -w "0x$frame" is-shown
check_answer "not minimised" 0 -w "0x$frame" is-iconic
check_answer "its icon is gone" 0 tray-icon "0x$tray" $kTrayIconId
check_true "the first copy runs on" is_running "$first"
check_eq "Log.txt is the first copy's alone" 1 "$(log_text | grep -c '^Exec Log Init')"
check_true "it says why it came forward" log_has "a second start brought the window forward"
driver send-key ESCAPE
wait_exit "$first" 15
check_eq "first copy's exit code" 1 "$EXIT_CODE"
