# When the notification area does not take the icon (no shell yet, or one
# that refuses), minimising must not hide the frame: it stays minimised with
# its taskbar button, and the way back is the normal restore. Once the shell
# takes icons again, the next minimise hides into the tray as usual.

responsive_within $E2E_BOUND_COMMAND "the tray refuses the icon"
start_and_wait
frame=$(driver wait-window "Kestra Wheel Configuration" 5)

step "a notification area that refuses icons"
start_refusing_shell 4

step "minimise"
driver minimize
check_true "the refusal is logged" wait_log "UpdateTrayState: the notification area did not take the icon" 5
check_answer "frame not hidden" 1 -w "0x$frame" is-shown
check_answer "frame minimised instead" 1 -w "0x$frame" is-iconic
wait_exit "$SHELL_PID" 20
tray=$(driver find-hidden class:TS_INTERFACE_TRAY 2)
check_answer "and no icon in the real notification area" 0 tray-icon "0x$tray" $kTrayIconId

step "restore from the taskbar"
driver -w "0x$frame" restore
check_answer "frame shown normally" 0 -w "0x$frame" is-iconic
check_answer "frame visible" 1 -w "0x$frame" is-shown

step "minimise with the shell back"
minimise_to_tray
driver -w "0x$tray" post-message "registered:Server tray notification" 131 0x203
wait_window "Kestra Wheel Configuration" 10

end_with_escape
