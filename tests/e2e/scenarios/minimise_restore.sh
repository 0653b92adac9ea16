# Minimising hides the frame window into the notification area (the icon is
# added); the Restore command and the window's own restore (its taskbar
# button, SC_RESTORE) each show it again and remove the icon.

responsive_within $E2E_BOUND_COMMAND "hiding and showing the frame"
start_and_wait
frame=$(driver wait-window "Kestra Wheel Configuration" 5)
check_match "frame handle" '^[0-9A-Fa-f]+$' "$frame"

# Minimises and checks that the frame went into the tray; sets tray.
minimise_into_tray() {
  minimise_to_tray
  check_answer "frame hidden" 0 -w "0x$frame" is-shown
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
