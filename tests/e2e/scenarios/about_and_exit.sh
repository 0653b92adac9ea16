# The About command opens the About box over the frame; Escape closes it and
# the frame stays; the Exit command ends the program with exit code 0.

responsive_within $E2E_BOUND_COMMAND "the About box is modal; nothing else runs"
start_and_wait

step "About"
driver post-command $IDM_ABOUT
wait_window "About Tillerset" 10
check_answer "product line" "Ostrel Device Configuration Tool" -w "About Tillerset" get-text $IDC_ABOUT_PRODUCT
driver -w "About Tillerset" send-key ESCAPE
driver wait-gone "About Tillerset" 10 || fail "About box stayed open after Escape"
check_true "program still runs after the About box" is_running "$PROGRAM_PID"

step "Exit"
driver post-command $IDM_EXIT
wait_exit "$PROGRAM_PID" 15
check_eq "exit code after Exit" 0 "$EXIT_CODE"
check_true "Exit is not a close" test "$(log_text | grep -c 'received WM_CLOSE')" -eq 0
