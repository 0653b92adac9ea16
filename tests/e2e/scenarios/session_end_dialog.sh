# Windows ends the session while "Advanced Settings" is open, with the
# encoder "Invert" ticked but never confirmed: the exit's saves count the
# dialog as cancelled, so the profile keeps the encoder's direction.

responsive_within $E2E_BOUND_COMMAND "the settings saved at the end of the session"

start_board 7
write_config DEVICE_COM_PORT=7 FLAGS=2

step "the user opens Advanced Settings and ticks the encoder's Invert"
start_and_wait
check_true "the wheel is ready" driver -t 10 wait-text 2088 "Ready"
driver click 2123 >/dev/null
driver wait-window "Advanced Settings" 10 >/dev/null || { fail "the dialog did not open"; scenario_end; }
driver -w "Advanced Settings" click 1079 >/dev/null
check_eq "Invert is ticked" 1 "$(wait_answer 1 -w "Advanced Settings" is-checked 1079)"

step "Windows ends the session with the dialog open"
driver post-message 0x11 0 0 + post-message 0x16 1 0 >/dev/null
check_true "the end of the session is logged" wait_log "WM_ENDSESSION: the session ends, settings saved"
kill -9 "$PROGRAM_PID" 2>/dev/null
wait_exit "$PROGRAM_PID" 10

step "what was saved"
profile=$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep '^PROFILE=Default,')
check_true "Default is saved" test -n "$profile"
flags=$(cut -d, -f3 <<<"$profile")
check_eq "its flags without the encoder's Invert (bit 2)" 0 "$((flags & 4))"
