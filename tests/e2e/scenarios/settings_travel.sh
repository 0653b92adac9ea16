# Settings that travel: the board's settings saved to a file, changed, and
# loaded back (the board gets the saved values again); a file that holds no
# board settings is refused; a profile exported, removed and imported again,
# GameProfiles.ini written at once.

responsive_within $E2E_BOUND_BOARD_LOAD "a load writes every setting and reads the board back"

start_board 7 --set 17=100 --set 8=540
write_config DEVICE_COM_PORT=7
start_and_wait
check_true "the board's angle shown" driver -t 10 wait-text 2023 "540 °"
saved="$SCENARIO_DIR/board réglages ✓.ini"  # any name the dialog takes

step "Save Board..."
driver click 2206 >/dev/null
choose_file "Save Board Settings" "$saved"
check_true "saved once the board is read" wait_log "SaveBoardSettings: 69 settings saved"
check_match "the file holds the board's Main Gain" 'PARAM=17,100' "$(file_text "$saved")"
check_match "and its firmware and date" '^\[Board\]
FIRMWARE=[0-9]+
DATE="20' "$(file_text "$saved")"

step "change, then Load Board..."
driver set-slider 2021 30 >/dev/null
wait_received 1 '^50 11 01 1e$' 1 || fail "Main Gain 30 not written"
from=$(($(transcript_lines) + 1))
driver click 2207 >/dev/null
choose_file "Load Board Settings" "$saved"
answer "1 of the board's settings differ from this file. Write them to the board ?" IDYES
answer "68 settings were written to the board." IDOK
check_true "the board got Main Gain 100 back" wait_received "$from" '^50 11 01 64$' 1
check_eq "the load's first write is the angle, as in a profile write" "50 08 04 00 00 02 1c" \
  "$(received_since "$from" | grep '^50 ' | grep -v '^50 11 01 1e$' | head -1)"
check_eq "the page shows it" "78 %" "$(driver get-text 2029)"

step "a file that is no board settings"
from=$(($(transcript_lines) + 1))
driver click 2207 >/dev/null
choose_file "Load Board Settings" "$SCENARIO_DIR/config.ini"
answer "This file holds no board settings. Nothing was changed." IDOK
check_eq "nothing written" "" "$(received_since "$from" | grep '^50 ')"

step "a profile exported, removed, imported"
driver click 2078 >/dev/null
wait_window "Game Profile" 10
driver -w "Game Profile" set-text 1206 "Rally" + -w "Game Profile" set-text 1207 rally.exe \
  + -w "Game Profile" click 1 >/dev/null
driver wait-gone "Game Profile" 10
check_eq "Rally selected" "1 Rally" "$(wait_answer "1 Rally" get-combo 1207)"
driver click 2202 >/dev/null
choose_file "Export Profile" "$SCENARIO_DIR/rally.ini"
check_true "the file is there" wait_for 10 test -s "$SCENARIO_DIR/rally.ini"
check_match "exported" '^\[GameProfiles\]
PROFILE=Rally,rally.exe,' "$(file_text "$SCENARIO_DIR/rally.ini")"
driver click 2080 >/dev/null
answer "Remove the profile \"Rally\"?" IDYES
check_eq "removed" "Default" "$(wait_answer "Default" list-combo 1207)"
driver click 2203 >/dev/null
choose_file "Import Profile" "$SCENARIO_DIR/rally.ini"
check_eq "imported" "Default
Rally" "$(wait_answer "Default
Rally" list-combo 1207)"
check_match "GameProfiles.ini written at once" 'PROFILE=Rally,rally.exe,' \
  "$(file_text "$SCENARIO_DIR/GameProfiles.ini")"
end_with_escape
