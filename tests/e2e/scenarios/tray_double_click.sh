# Minimising hides the frame and puts the icon in the notification area,
# owned by the hidden tray window; a double-click on the icon shows the frame
# again and takes the icon away with its window.

responsive_within $E2E_BOUND_COMMAND "hiding and showing the frame"
start_and_wait
frame=$(driver wait-window "Kestra Wheel Configuration" 5)

step "minimise"
driver minimize
driver wait-gone "Kestra Wheel Configuration" 10 || fail "frame still shown after minimising"
tray=$(driver find-hidden class:TS_INTERFACE_TRAY 10)
check_match "tray window exists" '^[0-9A-Fa-f]+$' "$tray"
check_answer "the tray window is never shown" 0 -w "0x$tray" is-shown
check_answer "icon 131 is in the notification area" 1 tray-icon "0x$tray" $kTrayIconId

step "a notification for another icon id does nothing"
driver -w "0x$tray" post-message "registered:Server tray notification" 7 0x203
settle 0.5
check_answer "frame still hidden" 0 -w "0x$frame" is-shown

step "double-click on the icon"
driver -w "0x$tray" post-message "registered:Server tray notification" 131 0x203  # WM_LBUTTONDBLCLK
wait_window "Kestra Wheel Configuration" 10
check_answer "frame shown again" 1 -w "0x$frame" is-shown
check_answer "not minimised" 0 -w "0x$frame" is-iconic
check_answer "icon removed" 0 tray-icon "0x$tray" $kTrayIconId
check_true "tray window destroyed" test -z "$(driver find-hidden class:TS_INTERFACE_TRAY 0.5 2>/dev/null)"

# Minimising again after a restore, and the Restore command: minimise_restore.

end_with_escape
