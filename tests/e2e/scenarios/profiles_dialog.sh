# The profile buttons without a board: "Default" refuses Edit and Remove; New
# through the "Game Profile" dialog; a new name that exists asks before it
# updates; Edit changes only the process name; Remove asks first.
# GameProfiles.ini after exit holds the expected lines.

responsive_within $E2E_BOUND_PROFILE "a profile chosen is applied"

dialog() { driver -w "Game Profile" "$@"; }
# Opens the dialog with button $1 and waits for it.
open_dialog() {
  driver click "$1" >/dev/null
  wait_window "Game Profile" 10
}
# Types name $1 (unless empty) and process $2 into the open dialog and presses Ok.
fill_dialog() {
  [ -n "$1" ] && dialog set-text $IDC_PROFILE_NAME "$1" >/dev/null
  dialog set-text $IDC_PROCESS_NAME "$2" >/dev/null
  dialog click 1 >/dev/null
}
# Waits until the dialog has closed after $1.
dialog_gone() { driver wait-gone "Game Profile" 10 || fail "the dialog stayed open after $1"; }

start_and_wait
check_answer "Default made on the first run" "0 Default" get-combo $IDC_PROFILE_LIST

step "Default cannot be edited or removed"
driver click $IDC_PROFILE_EDIT >/dev/null
answer "You can't edit the default profile" IDOK
driver click $IDC_PROFILE_REMOVE >/dev/null
answer "You can't remove the default profile" IDOK
check_answer "still only Default" "Default" list-combo $IDC_PROFILE_LIST

step "New"
open_dialog 2078
check_eq "name field empty" "" "$(dialog get-text $IDC_PROFILE_NAME)"
check_eq "process field empty" "" "$(dialog get-text $IDC_PROCESS_NAME)"
check_eq "name field enabled" "1" "$(dialog is-enabled $IDC_PROFILE_NAME)"
fill_dialog "My Game" mygame.exe
dialog_gone Ok
check_answer "new profile selected" "1 My Game" get-combo $IDC_PROFILE_LIST

# New with name $1 (an existing one in other case) and process $2, the
# question answered with $3.
new_existing() {
  step "New with an existing name, answered $3"
  open_dialog 2078
  fill_dialog "$1" "$2"
  answer "Profile already exists, do you want to update it ?" "$3"
  dialog_gone "$3"
  check_answer "still the same two profiles" "Default
My Game" list-combo $IDC_PROFILE_LIST
}
new_existing "my game" no.exe IDNO
new_existing "MY GAME" other.exe IDYES

step "Edit shows the profile; closing changes nothing"
open_dialog 2081
check_eq "name shown" "My Game" "$(dialog get-text $IDC_PROFILE_NAME)"
check_eq "name locked" "0" "$(dialog is-enabled $IDC_PROFILE_NAME)"
check_eq "process updated by Yes" "other.exe" "$(dialog get-text $IDC_PROCESS_NAME)"
dialog set-text $IDC_PROCESS_NAME "ignored.exe" >/dev/null
dialog close >/dev/null
dialog_gone "its close box"
open_dialog 2081
check_eq "close box kept the process name" "other.exe" "$(dialog get-text $IDC_PROCESS_NAME)"
fill_dialog "" final.exe
dialog_gone Ok

step "Remove asks first"
open_dialog 2078
fill_dialog Second second.exe
dialog_gone Ok
check_answer "Second selected" "2 Second" get-combo $IDC_PROFILE_LIST
driver click $IDC_PROFILE_REMOVE >/dev/null
answer "Remove the profile \"Second\"?" IDNO
check_answer "No keeps it" "2 Second" get-combo $IDC_PROFILE_LIST
driver click $IDC_PROFILE_REMOVE >/dev/null
answer "Remove the profile \"Second\"?" IDYES
check_answer "Yes removes it; the one before is selected" "1 My Game" get-combo $IDC_PROFILE_LIST

step "exit"
driver post-command $IDM_EXIT
wait_exit "$PROGRAM_PID" 15
check_eq "exit code" 0 "$EXIT_CODE"
check_eq "GameProfiles.ini after exit" "[GameProfiles]
PROFILE=Default,NoLife.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16,1
PROFILE=\"My Game\",final.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16" "$(file_text "$SCENARIO_DIR/GameProfiles.ini")"
