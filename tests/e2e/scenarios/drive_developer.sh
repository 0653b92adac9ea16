# Developer mode with the stand-in drive on COM3 (config.ini names it): the
# version and torque-bandwidth reads at start, byte for byte; the strip's
# currents follow the drive; "Torque BW :", "Restart Drive", "Clear Faults",
# "Reset Max" and the "Window" slider do what they say.

responsive_within $E2E_BOUND_DRIVE "drive exchanges every 100 ms and its writes"

start_board 7
start_drive 3 --current 1000
write_config DEVICE_COM_PORT=7 SM_COM_PORT=3

step "start in developer mode"
start_and_wait -dev
check_true "configured" driver wait-text 2:$IDC_AVERAGE_CURRENT "1.8 A"
check_true "the version read, then the torque-bandwidth read" wait_drive 1 '\(read 490\)'
check_eq "both reads byte for byte" "24 0a 02 80 0a 40 00 00 80 09 40 00 03 5c ab
24 0a 02 80 0a 40 00 00 80 09 40 01 ea 9c b5" "$(drive_received 1 | head -2)"
check_match "logged with the drive's version" '^Drive successfully Configured\. Version : 0x[0-9a-f]+$' \
  "$(log_text | grep '^Drive successfully')"
for id in $IDC_RESTART_DRIVE $IDC_CLEAR_FAULTS $IDC_TORQUE_BW_SLIDER; do
  check_answer "drive control $id enabled" "1" is-enabled 2:$id
done

step "the currents follow the drive"
check_answer "maximum 1.8 A" "1.8 A" get-text 2:$IDC_MAXIMUM_CURRENT
drive_control current 2000
check_true "the maximum follows up" driver wait-text 2:$IDC_MAXIMUM_CURRENT "3.6 A"
# The window's oldest samples were 1000: the average lies between.
avg=$(driver get-text 2:$IDC_AVERAGE_CURRENT)
check_match "average between the two currents ($avg)" '^(1\.[89]|2\.[0-9]|3\.[0-6]) A$' "$avg"

step "the Window slider: one sample"
driver set-slider 2:$IDC_WINDOW_SLIDER 1 >/dev/null
drive_control current 500
check_true "average of the newest sample alone" driver wait-text 2:$IDC_AVERAGE_CURRENT "0.9 A"
check_answer "the maximum stays" "3.6 A" get-text 2:$IDC_MAXIMUM_CURRENT

step "Reset Max"
driver click 2:$IDC_RESET_MAX >/dev/null
check_true "the maximum starts again from the window" driver wait-text 2:$IDC_MAXIMUM_CURRENT "0.9 A"

step "Torque BW, Restart Drive, Clear Faults"
from=$(($(drive_lines) + 1))
driver set-slider 2:$IDC_TORQUE_BW_SLIDER 5 >/dev/null
check_true "490 := 5 sent" wait_drive "$from" '490 := 5'
driver set-slider 2:$IDC_TORQUE_BW_SLIDER 11 >/dev/null
check_true "label Unlimited" driver wait-text 2:$IDC_TORQUE_BW_VALUE "Unlimited"
check_true "490 := 11 sent" wait_drive "$from" '490 := 11'
driver click 2:$IDC_RESTART_DRIVE >/dev/null
check_true "Restart Drive: 554 := 2" wait_drive "$from" '554 := 2'
driver click 2:$IDC_CLEAR_FAULTS >/dev/null
check_true "Clear Faults: 2533 := 3" wait_drive "$from" '2533 := 3'
end_with_escape
