# The profile buttons without a board: "Default" refuses Edit and Remove; New
# through the "Game Profile" dialog; a new name that exists asks before it
# updates; Edit changes only the process name; Remove asks "Are you sure ?".
# GameProfiles.ini after exit holds the expected lines.

dialog() { driver -w "Game Profile" "$@"; }
# Opens the dialog with button $1 and waits for it.
open_dialog() {
  driver click "$1" >/dev/null
  wait_window "Game Profile" 10
}
# Answers the message box showing $1 with button $2.
answer() {
  check_eq "message \"$1\"" "$1" "$(driver find-msgbox 10 "$1")"
  driver click-msgbox "$2" "$1" >/dev/null || fail "could not press $2 on \"$1\""
}

start_program
wait_window || return 0 2>/dev/null || exit 1
check_eq "Default made on the first run" "0 Default" "$(driver get-combo 1207)"

step "Default cannot be edited or removed"
driver click 2081 >/dev/null
answer "You can't edit the default profile" IDOK
driver click 2080 >/dev/null
answer "You can't remove the default profile" IDOK
check_eq "still only Default" "Default" "$(driver list-combo 1207)"

step "New"
open_dialog 2078
check_eq "name field empty" "" "$(dialog get-text 1206)"
check_eq "process field empty" "" "$(dialog get-text 1207)"
check_eq "name field enabled" "1" "$(dialog is-enabled 1206)"
dialog set-text 1206 "My Game" >/dev/null
dialog set-text 1207 "mygame.exe" >/dev/null
dialog click 1 >/dev/null
driver wait-gone "Game Profile" 10 || fail "the dialog stayed open after Ok"
check_eq "new profile selected" "1 My Game" "$(driver get-combo 1207)"

step "New with an existing name, answered No"
open_dialog 2078
dialog set-text 1206 "my game" >/dev/null
dialog set-text 1207 "no.exe" >/dev/null
dialog click 1 >/dev/null
answer "Profile already exists, do you want to update it ?" IDNO
driver wait-gone "Game Profile" 10 || fail "the dialog stayed open after No"
check_eq "list unchanged" "Default
My Game" "$(driver list-combo 1207)"

step "New with an existing name, answered Yes"
open_dialog 2078
dialog set-text 1206 "MY GAME" >/dev/null
dialog set-text 1207 "other.exe" >/dev/null
dialog click 1 >/dev/null
answer "Profile already exists, do you want to update it ?" IDYES
driver wait-gone "Game Profile" 10 || fail "the dialog stayed open after Yes"
check_eq "still two profiles" "Default
My Game" "$(driver list-combo 1207)"

step "Edit shows the profile; closing changes nothing"
open_dialog 2081
check_eq "name shown" "My Game" "$(dialog get-text 1206)"
check_eq "name locked" "0" "$(dialog is-enabled 1206)"
check_eq "process updated by Yes" "other.exe" "$(dialog get-text 1207)"
dialog set-text 1207 "ignored.exe" >/dev/null
dialog close >/dev/null
driver wait-gone "Game Profile" 10 || fail "the dialog stayed open after its close box"
open_dialog 2081
check_eq "close box kept the process name" "other.exe" "$(dialog get-text 1207)"
dialog set-text 1207 "final.exe" >/dev/null
dialog click 1 >/dev/null
driver wait-gone "Game Profile" 10 || fail "the dialog stayed open after Ok"

step "Remove asks first"
open_dialog 2078
dialog set-text 1206 "Second" >/dev/null
dialog set-text 1207 "second.exe" >/dev/null
dialog click 1 >/dev/null
driver wait-gone "Game Profile" 10
check_eq "Second selected" "2 Second" "$(driver get-combo 1207)"
driver click 2080 >/dev/null
answer "Are you sure ?" IDNO
check_eq "No keeps it" "2 Second" "$(driver get-combo 1207)"
driver click 2080 >/dev/null
answer "Are you sure ?" IDYES
check_eq "Yes removes it; the one before is selected" "1 My Game" "$(driver get-combo 1207)"

step "exit"
driver post-command 32772
wait_exit "$PROGRAM_PID" 15
check_eq "exit code" 0 "$EXIT_CODE"
check_eq "GameProfiles.ini after exit" "[GameProfiles]
PROFILE=Default,NoLife.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16
PROFILE=\"My Game\",final.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16" "$(tr -d '\r' <"$SCENARIO_DIR/GameProfiles.ini")"
