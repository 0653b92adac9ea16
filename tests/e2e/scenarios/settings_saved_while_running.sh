# A moved slider, a changed option and a new profile are on disk a couple of
# seconds later while the program runs, and survive it being killed.

responsive_within $E2E_BOUND_PROFILE "a profile applied, a file written"

start_board 7 --status 8
write_config DEVICE_COM_PORT=7 FLAGS=0
start_and_wait
check_true "the board is ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
driver set-slider $IDC_MAIN_GAIN_SLIDER 100 + click $IDC_DETECT_GAME + click $IDC_PROFILE_NEW >/dev/null
wait_window "Game Profile" 10
driver -w "Game Profile" set-text $IDC_PROFILE_NAME "Rally" + -w "Game Profile" set-text $IDC_PROCESS_NAME "rally.exe" + -w "Game Profile" click 1 >/dev/null
check_true "Main Gain 100 on disk" wait_in "$SCENARIO_DIR/GameProfiles.ini" 1 '^PROFILE=Default,NoLife.exe,[0-9]+,[0-9]+,100,' -E
check_true "the new profile on disk" wait_in "$SCENARIO_DIR/GameProfiles.ini" 1 'PROFILE=Rally,rally.exe,'
check_true "Detect Game on disk" wait_in "$SCENARIO_DIR/config.ini" 1 'FLAGS=2'
check_true "while the program runs" is_running "$PROGRAM_PID"
kill -KILL "$PROGRAM_PID"
wait_exit "$PROGRAM_PID" 15
check_eq "both profiles kept after the kill" "2" "$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep -c '^PROFILE=')"
