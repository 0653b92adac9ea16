# Minimising hides the frame window into the notification area (the icon is
# added); the Restore command and the window's own restore (its taskbar
# button, SC_RESTORE) each show it again and remove the icon.

responsive_within $E2E_BOUND_COMMAND "hiding and showing the frame"
start_and_wait
frame=$(driver wait-window "Kestra Wheel Configuration" 5)
check_match "frame handle" '^[0-9A-Fa-f]+$' "$frame"

# Minimises and checks that the frame went into the tray; sets tray.
minimise_into_tray() {
  driver minimize
  driver wait-gone "Kestra Wheel Configuration" 10 || fail "frame still shown after minimising"
  check_answer "frame hidden" 0 -w "0x$frame" is-shown
  tray=$(driver find-hidden class:TS_INTERFACE_TRAY 10)
  check_answer "icon in the notification area" 1 tray-icon "0x$tray" $kTrayIconId
}

step "minimise, then the Restore command"
minimise_into_tray
driver -w "0x$frame" post-command $IDM_RESTORE
wait_window "Kestra Wheel Configuration" 10
check_answer "frame shown again" 1 -w "0x$frame" is-shown
check_answer "icon removed" 0 tray-icon "0x$tray" $kTrayIconId

step "minimise, then the window's own restore"
minimise_into_tray
driver -w "0x$frame" restore
wait_window "Kestra Wheel Configuration" 10
check_answer "frame shown again" 1 -w "0x$frame" is-shown
check_answer "not left minimised" 0 -w "0x$frame" is-iconic
check_answer "icon removed" 0 tray-icon "0x$tray" $kTrayIconId

end_with_escape
