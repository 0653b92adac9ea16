# The "Game Profile" dialog without a board: a pick among the programs running
# now, Cancel that makes nothing, and "Browse..." (any file; its name without
# the folder).

responsive_within $E2E_BOUND_PROFILE "a profile chosen is applied"
dialog() { driver -w "Game Profile" "$@"; }
start_and_wait
driver click $IDC_PROFILE_NEW >/dev/null && wait_window "Game Profile" 10
dialog select-combo $IDC_RUNNING_PROGRAMS ts_driver.exe >/dev/null
check_answer "a running program picked" "ts_driver.exe" -w "Game Profile" get-text $IDC_PROCESS_NAME
dialog set-text $IDC_PROFILE_NAME Driven >/dev/null && dialog click 2 >/dev/null
check_true "Cancel closes" driver wait-gone "Game Profile" 10
check_answer "and makes nothing" "Default" list-combo $IDC_PROFILE_LIST

mkdir -p "$SCENARIO_DIR/My Games" && : >"$SCENARIO_DIR/My Games/Rally Stage (x64).bin"
driver click $IDC_PROFILE_NEW >/dev/null && wait_window "Game Profile" 10
dialog set-text $IDC_PROFILE_NAME Rally >/dev/null && dialog post-command $IDC_BROWSE_PROGRAM >/dev/null
wait_window "Game executable" 20
driver -w "Game executable" set-text 1148 "My Games\\Rally Stage (x64).bin" >/dev/null
driver -w "Game executable" post-command 1 >/dev/null
check_answer "Browse..." "Rally Stage (x64).bin" -w "Game Profile" get-text $IDC_PROCESS_NAME
dialog click 1 >/dev/null
end_with_escape
check_match "its line" '^PROFILE=Rally,"Rally Stage \(x64\).bin",0,900,' "$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep Rally)"
