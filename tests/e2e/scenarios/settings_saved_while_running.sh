# Changes reach config.ini and GameProfiles.ini a couple of seconds after they
# were made, while the program still runs: a moved slider, a new profile and
# a changed option survive a program that is then killed (a crash, a power
# cut). The window keeps answering while the files are written.

responsive_within $E2E_BOUND_PROFILE "a profile applied, a file written"

start_board 7 --status 8
write_config DEVICE_COM_PORT=7 FLAGS=0
printf '[GameProfiles]\r\nPROFILE=Default,NoLife.exe,0,900,64,127,127,127,127,127,127,127,0,0,0,0,16\r\n\r\n' \
  >"$SCENARIO_DIR/GameProfiles.ini"

# Waits (at most 10 s) until file $1 has a line matching regex $2; prints
# how long it took.
wait_file_line() {
  local file=$1 regex=$2 started=$(e2e_now) i
  for i in $(seq 1 200); do
    if file_text "$file" | grep -qE -- "$regex"; then
      echo "on disk $(e2e_since "$started") s later"
      return 0
    fi
    sleep 0.05
  done
  return 1
}

start_and_wait
TS_PID=$PROGRAM_PID
check_true "the board is read and ready" driver -t 10 wait-text 2088 "Ready"

step "a moved slider"
driver set-slider 2021 100 >/dev/null
check_true "label follows" driver wait-text 2029 "78 %"
check_true "GameProfiles.ini holds Main Gain 100" \
  wait_file_line "$SCENARIO_DIR/GameProfiles.ini" '^PROFILE=Default,NoLife.exe,0,900,100,'

step "a changed option"
driver click 2128 >/dev/null
check_eq "Detect Game ticked" "1" "$(wait_answer 1 is-checked 2128)"
check_true "config.ini holds FLAGS=2" wait_file_line "$SCENARIO_DIR/config.ini" '^FLAGS=2$'

step "a new profile"
driver click 2078 >/dev/null
wait_window "Game Profile" 10
driver -w "Game Profile" set-text 1206 "Rally" >/dev/null
driver -w "Game Profile" set-text 1207 "rally.exe" >/dev/null
driver -w "Game Profile" click 1 >/dev/null
check_eq "made and selected" "1 Rally" "$(wait_answer "1 Rally" get-combo 1207)"
check_true "GameProfiles.ini holds Rally" \
  wait_file_line "$SCENARIO_DIR/GameProfiles.ini" '^PROFILE=Rally,rally.exe,0,900,'
check_true "config.ini holds the selection" wait_file_line "$SCENARIO_DIR/config.ini" '^GAME_PROFILE_ID=1$'
check_true "all while the program runs" is_running "$TS_PID"

step "the program is killed"
kill -KILL "$TS_PID"
wait_exit "$TS_PID" 15
check_eq "both profiles kept" "[GameProfiles]
PROFILE=Default,NoLife.exe,0,900,100,127,127,127,127,127,127,127,0,0,0,0,16
PROFILE=Rally,rally.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16" \
  "$(file_text "$SCENARIO_DIR/GameProfiles.ini")"
check_true "config.ini kept the option" grep -q '^FLAGS=2' <(file_text "$SCENARIO_DIR/config.ini")
check_eq "no file half written" "" "$(ls "$SCENARIO_DIR" | grep -i '\.tmp$' || true)"
