# Game detection compares executable names as Windows compares file names:
# a profile for iracingsim64dx11.exe switches for the running
# iRacingSim64DX11.exe.

responsive_within $E2E_BOUND_PROFILE "a detected game applies its profile"

write_config FLAGS=2 GAME_PROFILE_ID=0
printf '[GameProfiles]\r\n%s\r\n%s\r\n\r\n' \
  'PROFILE=Default,NoLife.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16' \
  'PROFILE=iRacing,iracingsim64dx11.exe,0,540,100,127,127,127,127,127,127,127,0,0,0,0,16' \
  >"$SCENARIO_DIR/GameProfiles.ini"
cp "$TS_IDLE" "$SCENARIO_DIR/iRacingSim64DX11.exe"

start_and_wait
TS_PID=$PROGRAM_PID
check_eq "Default selected" "0 Default" "$(driver get-combo 1207)"

step "the game starts under a name in other case"
start_exe "$SCENARIO_DIR/iRacingSim64DX11.exe" 30
GAME_PID=$PROGRAM_PID
# Detection runs every two seconds; the game's own start under Wine takes
# its time on a busy machine.
selected=""
deadline=$((SECONDS + 20))
while [ $SECONDS -lt $deadline ]; do
  selected=$(driver get-combo 1207)
  [ "$selected" = "1 iRacing" ] && break
  sleep 0.1
done
check_eq "iRacing selected" "1 iRacing" "$selected"
check_eq "its angle shown" "540 °" "$(driver get-text 2023)"
kill "$GAME_PID" 2>/dev/null
wait_exit "$GAME_PID" 15 >/dev/null

step "exit"
driver post-command 32772
wait_exit "$TS_PID" 15
check_eq "exit code" 0 "$EXIT_CODE"
