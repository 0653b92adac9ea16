# Game detection: with "Detect Game" on and a profile for iracingsim64dx11.exe,
# starting a program named iRacingSim64DX11.exe (names compare as Windows
# compares file names) selects that profile at the next detection pass and
# sends its 14 writes and then the filter to the stand-in board, byte for byte
# and in order. When
# the game ends its profile stays selected; GameProfiles.ini after exit holds
# both profiles as they were.

responsive_within $E2E_BOUND_PROFILE "a detected game applies its profile"

start_board 7

default_line='PROFILE=Default,NoLife.exe,0,900,64,127,127,127,127,127,127,127,0,0,0,0,16'
rally_line='PROFILE="Rally Game",iracingsim64dx11.exe,1,540,100,90,80,70,60,50,40,30,1,2,3,4,25'
write_config FLAGS=2 DEVICE_COM_PORT=7 GAME_PROFILE_ID=0
printf '[GameProfiles]\r\n%s\r\n%s\r\n\r\n' "$default_line" "$rally_line" >"$SCENARIO_DIR/GameProfiles.ini"
game=$SCENARIO_DIR/iRacingSim64DX11.exe
cp "$TS_IDLE" "$game"

step "start with Detect Game on"
start_and_wait
TS_PID=$PROGRAM_PID
check_answer "Detect Game checked" "1" is-checked $IDC_DETECT_GAME
check_answer "both profiles listed" "Default
Rally Game" list-combo $IDC_PROFILE_LIST
check_answer "Default selected" "0 Default" get-combo $IDC_PROFILE_LIST
# Let a detection pass or two go by without the game: nothing changes.
settle 2.5
check_answer "still Default without the game" "0 Default" get-combo $IDC_PROFILE_LIST

step "the game starts"
from=$(($(transcript_lines) + 1))
started=$(e2e_now)
start_exe "$game" 10
GAME_PID=$PROGRAM_PID
# Detection runs every two seconds (its rhythm is checked natively on a
# stepped clock); here the wait is bounded generously, as the start of
# the game under Wine takes its own time on a busy machine.
selected=""
deadline=$((SECONDS + 20))
while [ $SECONDS -lt $deadline ]; do
  selected=$(driver get-combo $IDC_PROFILE_LIST)
  [ "$selected" = "1 Rally Game" ] && break
  sleep 0.1
done
check_eq "Rally Game selected" "1 Rally Game" "$selected"
echo "selected $(e2e_since "$started") s after the game was started"
wait_received "$from" '^50 ' 15
wait_next_poll
check_eq "the profile's 14 writes, in order, then the filter" "50 08 04 00 00 02 1c
50 11 01 64
50 12 01 5a
50 13 01 50
50 14 01 46
50 15 01 3c
50 16 01 32
50 17 01 28
50 18 01 1e
50 22 01 01
50 1e 01 01
50 1f 01 02
50 20 01 03
50 21 01 04
50 4d 01 19" "$(received_since "$from" | grep '^50 ')"
check_answer "Max Angle shown" "540 °" get-text $IDC_MAX_ANGLE_VALUE
check_answer "Main Gain shown" "78 %" get-text $IDC_MAIN_GAIN_VALUE
check_answer "Filter shown" "80 %" get-text $IDC_FILTER_VALUE
check_answer "Invert checked" "1" is-checked $IDC_INVERT

step "the game ends"
wait_exit "$GAME_PID" 20
from=$(($(transcript_lines) + 1))
settle 2.5
check_answer "its profile stays selected" "1 Rally Game" get-combo $IDC_PROFILE_LIST
check_eq "nothing written meanwhile" "" "$(received_since "$from" | grep '^50 ')"
check_true "the program still runs" is_running "$TS_PID"

step "exit"
driver post-command $IDM_EXIT
wait_exit "$TS_PID" 15
check_eq "exit code" 0 "$EXIT_CODE"
check_eq "GameProfiles.ini after exit" "[GameProfiles]
$default_line
$rally_line" "$(file_text "$SCENARIO_DIR/GameProfiles.ini")"
check_true "config.ini keeps the selected profile" grep -q 'GAME_PROFILE_ID=1' "$SCENARIO_DIR/config.ini"
