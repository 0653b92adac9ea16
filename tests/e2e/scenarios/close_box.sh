# The caption's close box ends the program with exit code 1 and says so in Log.txt.

responsive_within $E2E_BOUND_COMMAND "no board; the close box saves and ends"
start_and_wait
step "close box"
driver close
wait_exit "$PROGRAM_PID" 15
check_eq "exit code after the close box" 1 "$EXIT_CODE"
check_true "Log.txt notes the close" log_has "received WM_CLOSE, closing"
