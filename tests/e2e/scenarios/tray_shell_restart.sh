# A shell that restarts forgets every icon and says "TaskbarCreated": the
# hidden frame's icon is added again; when the new shell does not take it,
# the frame comes back minimised on the taskbar instead of staying hidden
# with no way back.

responsive_within $E2E_BOUND_COMMAND "the icon added again"
start_and_wait
frame=$(driver wait-window "Kestra Wheel Configuration" 5)
minimise_to_tray

step "the shell restarts and takes the icon again"
driver tray-delete "0x$tray" $kTrayIconId
check_answer "icon lost" 0 tray-icon "0x$tray" $kTrayIconId
driver -w "0x$tray" post-message registered:TaskbarCreated 0 0
check_answer "icon added again" 1 tray-icon "0x$tray" $kTrayIconId
check_answer "frame still hidden" 0 -w "0x$frame" is-shown

step "the same message while the shell still holds the icon"
driver -w "0x$tray" post-message registered:TaskbarCreated 0 0
settle 0.5
check_answer "frame still hidden" 0 -w "0x$frame" is-shown
check_answer "icon still there" 1 tray-icon "0x$tray" $kTrayIconId

step "the shell restarts and refuses the icon"
start_refusing_shell 3
driver tray-delete "0x$tray" $kTrayIconId 2>/dev/null  # through the refusing shell: only the real one holds it
driver -w "0x$tray" post-message registered:TaskbarCreated 0 0
check_answer "frame back on the taskbar" 1 -w "0x$frame" is-shown
check_answer "minimised" 1 -w "0x$frame" is-iconic
wait_exit "$SHELL_PID" 20

step "restore from the taskbar"
driver -w "0x$frame" restore
check_answer "frame shown normally" 0 -w "0x$frame" is-iconic
tray_gone() { [ -z "$(driver find-hidden class:TS_INTERFACE_TRAY 0 2>/dev/null)" ]; }
check_true "tray window gone with the restore" wait_for 5 tray_gone
end_with_escape
