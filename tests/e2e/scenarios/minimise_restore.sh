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
  check_eq "frame hidden" 0 "$(driver -w "0x$frame" is-shown)"
  tray=$(driver find-hidden class:TS_INTERFACE_TRAY 10)
  check_eq "icon in the notification area" 1 "$(driver tray-icon "0x$tray" 131)"
}

step "minimise, then the Restore command"
minimise_into_tray
driver -w "0x$frame" post-command 32771
wait_window "Kestra Wheel Configuration" 10
check_eq "frame shown again" 1 "$(driver -w "0x$frame" is-shown)"
check_eq "icon removed" 0 "$(driver tray-icon "0x$tray" 131)"

step "minimise, then the window's own restore"
minimise_into_tray
driver -w "0x$frame" restore
wait_window "Kestra Wheel Configuration" 10
check_eq "frame shown again" 1 "$(driver -w "0x$frame" is-shown)"
check_eq "not left minimised" 0 "$(driver -w "0x$frame" is-iconic)"
check_eq "icon removed" 0 "$(driver tray-icon "0x$tray" 131)"

end_with_escape
