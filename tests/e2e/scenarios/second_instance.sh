# A second copy finds the first one's mutex, says so in an error box with an
# empty caption, exits with 0 and leaves the first copy running untouched.

responsive_within $E2E_BOUND_COMMAND "the second copy only says so"
step "first copy"
start_and_wait
first=$PROGRAM_PID

step "second copy"
start_program
second=$PROGRAM_PID
text=$(driver find-msgbox 20)
check_eq "message of the second copy" "Another instance of Tillerset is running" "$text"
check_eq "message box caption" "" "$(driver -w msgbox get-title)"
driver click-msgbox IDOK
wait_exit "$second" 15
check_eq "second copy's exit code" 0 "$EXIT_CODE"

step "first copy still runs"
check_true "first copy is alive" is_running "$first"
check_match "first copy still shows its window" '^Kestra Wheel Configuration' "$(driver -t 5 get-title)"
check_eq "the second copy did not touch Log.txt" 1 "$(log_text | grep -c '^Exec Log Init')"

driver send-key ESCAPE
wait_exit "$first" 15
check_eq "first copy's exit code" 1 "$EXIT_CODE"
