# The session ends with "Advanced Settings" open, Invert ticked, unconfirmed: cancelled.

responsive_within $E2E_BOUND_BULK_READ "the settings saved at the end of the session"
start_board 7
write_config DEVICE_COM_PORT=7 FLAGS=2
start_and_wait
check_true "the wheel is ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
driver click $IDC_ADVANCED_SETTINGS + wait-window "Advanced Settings" 10 + click $IDC_ENCODER_INVERT >/dev/null || fail "Invert not ticked"
check_answer "Invert is ticked" 1 -w "Advanced Settings" is-checked $IDC_ENCODER_INVERT
driver post-message 0x11 0 0 + post-message 0x16 1 0 >/dev/null
check_true "the end of the session is logged" wait_log "WM_ENDSESSION: the session ends, settings saved"
kill -9 "$PROGRAM_PID" 2>/dev/null
wait_exit "$PROGRAM_PID" 10
flags=$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep '^PROFILE=Default,' | cut -d, -f3)
check_eq "Default's flags without the encoder's Invert (bit 2)" 0 "$((${flags:-4} & 4))"
