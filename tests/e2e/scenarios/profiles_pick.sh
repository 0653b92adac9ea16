# The "Game Profile" dialog's other ways to a process name, without a board:
# the programs running now (the program and the driver among them), "Browse..."
# (the standard open dialog; a file of any name, its name without the folder),
# and Cancel, which changes nothing.

responsive_within $E2E_BOUND_PROFILE "a profile chosen is applied"

dialog() { driver -w "Game Profile" "$@"; }
open_dialog() {
  driver click 2078 >/dev/null
  wait_window "Game Profile" 10
}

start_and_wait

step "New: the programs running now, each once"
open_dialog
check_eq "Browse... is there" "1" "$(dialog is-visible 1208)"
items=$(dialog list-combo 1209)
check_eq "the program itself" "1" "$(grep -cxF Tillerset.exe <<<"$items")"
check_eq "the driver, once" "1" "$(grep -cxF ts_driver.exe <<<"$items")"
dialog select-combo 1209 ts_driver.exe >/dev/null
check_eq "a pick fills the process name" "ts_driver.exe" "$(wait_answer ts_driver.exe -w "Game Profile" get-text 1207)"

step "Cancel: nothing made"
dialog set-text 1206 "Driven" >/dev/null
dialog click 2 >/dev/null
driver wait-gone "Game Profile" 10 || fail "Cancel left the dialog open"
check_eq "still only Default" "Default" "$(driver list-combo 1207)"

step "Browse...: the picked file's name, whatever it is"
mkdir -p "$SCENARIO_DIR/My Games"
: >"$SCENARIO_DIR/My Games/Rally Stage (x64).bin"
open_dialog
dialog set-text 1206 "Rally" >/dev/null
dialog post-command 1208 >/dev/null
wait_window "Game executable" 20
driver -w "Game executable" set-text 1148 "My Games\\Rally Stage (x64).bin" >/dev/null
driver -w "Game executable" post-command 1 >/dev/null
driver wait-gone "Game executable" 20 || fail "the open dialog stayed"
check_eq "the name without its folder" "Rally Stage (x64).bin" \
  "$(wait_answer "Rally Stage (x64).bin" -w "Game Profile" get-text 1207)"
dialog click 1 >/dev/null
driver wait-gone "Game Profile" 10 || fail "Ok left the dialog open"
check_eq "the new profile" "1 Rally" "$(driver get-combo 1207)"

step "exit"
end_with_escape
check_eq "its line" 'PROFILE=Rally,"Rally Stage (x64).bin",0,900,127,127,127,127,127,127,127,127,0,0,0,0,16' \
  "$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep '^PROFILE=Rally')"
