# Minimising hides the frame window (it goes to the notification area);
# the Restore command shows it again.
start_and_wait
frame=$(driver wait-window "Kestra Wheel Configuration" 5)
check_match "frame handle" '^[0-9A-Fa-f]+$' "$frame"

step "minimise"
driver minimize
driver wait-gone "Kestra Wheel Configuration" 10 || fail "frame still shown after minimising"
check_eq "frame hidden" 0 "$(driver -w "0x$frame" is-shown)"

step "Restore command"
driver -w "0x$frame" post-command 32771
wait_window "Kestra Wheel Configuration" 10
check_eq "frame shown again" 1 "$(driver -w "0x$frame" is-shown)"

end_with_escape
