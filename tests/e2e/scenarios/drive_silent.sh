# A drive that never answers, and one that falls silent mid-session and comes
# back: the strip says "NA" with the drive controls disabled, the window keeps
# answering, and a drive that answers again is found without a restart.
# Without developer mode nothing of the drive is opened or logged.

responsive_within $E2E_BOUND_DRIVE "a silent drive costs one reply window and a drain"

start_board 7
write_config DEVICE_COM_PORT=7 SM_COM_PORT=3

step "silent from the start"
start_drive 3 --silent
start_and_wait -dev
check_true "the version read fails and is logged" wait_log "Error reading version : 0x29 ->- Comm - Length "
check_true "average NA" driver wait-text 2:$IDC_AVERAGE_CURRENT "NA"
check_answer "maximum NA" "NA" get-text 2:$IDC_MAXIMUM_CURRENT
check_answer "Restart Drive disabled" "0" is-enabled 2:$IDC_RESTART_DRIVE
check_answer "Clear Faults disabled" "0" is-enabled 2:$IDC_CLEAR_FAULTS
end_with_escape
stop_drive

step "answering, then silent, then back"
start_drive 3 --current 1000
start_and_wait -dev
check_true "currents shown" driver wait-text 2:$IDC_AVERAGE_CURRENT "1.8 A"
drive_control silent on
check_true "NA within a few seconds" driver -t 10 wait-text 2:$IDC_AVERAGE_CURRENT "NA"
check_answer "controls disabled" "0" is-enabled 2:$IDC_RESTART_DRIVE
check_true "the lost drive is logged once" wait_log "the drive does not answer"
ping=$(driver ping-window 4)
echo "while the drive is silent: $ping"
read -r _ _ _ longest _ <<<"$ping"
check_true "the window is never held long ($longest ms)" test "$longest" -lt 1000
drive_control silent off
check_true "found again" driver -t 15 wait-text 2:$IDC_AVERAGE_CURRENT "1.8 A"
check_answer "controls enabled again" "1" is-enabled 2:$IDC_RESTART_DRIVE
end_with_escape
stop_drive

step "without developer mode"
start_drive 3
start_and_wait
settle 1.5
end_with_escape
# The wheel's port list looks at every port (opened at 115200 baud and closed
# again, nothing sent), COM3 too: the drive's own opening sets 460800 baud.
check_true "the drive's port was never opened as the drive's" \
  test "$(grep -cE 'opened at 460800|^[0-9.]+ <' "$DRIVE_TRANSCRIPT")" -eq 0
check_true "no drive line in Log.txt" test "$(log_text | grep -cE 'RS485|Drive|drive')" -eq 0
