# A second start hands its command line to the running copy and ends with 0
# without a box: "-profile NAME" selects and applies that profile there (the
# board gets its writes), an unknown name is a message in the running copy,
# "/profile" works as well; a plain second start leaves the running copy's
# settings alone.

responsive_within $E2E_BOUND_PROFILE "a profile chosen from outside is applied"
start_board 7
write_config DEVICE_COM_PORT=7 GAME_PROFILE_ID=0
printf '[GameProfiles]\r\nPROFILE=Default,NoLife.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16\r\nPROFILE="Rally Cross",rx.exe,0,540,90,127,127,127,127,127,127,127,0,0,0,0,16\r\n\r\n' \
  >"$SCENARIO_DIR/GameProfiles.ini"
start_and_wait
first=$PROGRAM_PID
check_true "the board's angle shown" driver -t 10 wait-text 2023 "900 °"

# A second start with the arguments given; it must end with 0 and no box.
second_start() {
  start_program "$@"
  wait_exit "$PROGRAM_PID" 15
  check_eq "the second start ($*) ends with 0" 0 "$EXIT_CODE"
}

step "-profile to the running copy"
from=$(($(transcript_lines) + 1))
second_start -profile "Rally Cross"
check_eq "Rally Cross selected there" "1 Rally Cross" "$(wait_answer "1 Rally Cross" get-combo 1207)"
check_true "the board got its angle" wait_received "$from" '^50 08 04 00 00 02 1c$' 1
check_true "and its Main Gain" wait_received "$from" '^50 11 01 5a$' 1

step "an unknown name"
second_start /PROFILE Nope
check_eq "the running copy says so" "There is no profile named \"Nope\". Nothing was changed." \
  "$(driver find-msgbox 10)"
driver click-msgbox IDOK >/dev/null
check_eq "nothing changed" "1 Rally Cross" "$(driver get-combo 1207)"

step "a plain second start"
from=$(($(transcript_lines) + 1))
second_start
check_eq "no box" "" "$(driver find-msgbox 1 2>/dev/null)"
check_eq "the profile stays" "1 Rally Cross" "$(driver get-combo 1207)"
check_true "the first copy runs on" is_running "$first"
check_eq "the second starts did not touch Log.txt" 1 "$(log_text | grep -c '^Exec Log Init')"
PROGRAM_PID=$first
end_with_escape
