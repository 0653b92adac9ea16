# The processor share of Tillerset plus its wineserver under Wine over 30 s
# with the "Live Forces" window open and the stand-in board sending 1000
# torque reports a second (a clipping sine) and the DirectInput stand-in's
# wheel standing still. A figure, never a failure. Run through the e2e
# harness:
#   bash tests/e2e/run.sh bench/live_forces_cpu_wine.sh
# TS_BENCH_RATE another report rate, TS_BENCH_CLOSED=1 the same reports
# without the window (what the log summary alone costs), TS_BENCH_MOVE=97 a
# wheel that moves on every poll (the main page's picture redrawn each tick
# too), TS_BENCH_SECONDS another length.
responsive_within 100 "the Live Forces window drawing 1000 reports a second"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
seconds=${TS_BENCH_SECONDS:-30}
rate=${TS_BENCH_RATE:-1000}
use_dinput_double
dinput_script "$(dinput_device "Kestra Wheel" 1 x=0 y=20000 z=40000 move=${TS_BENCH_MOVE:-0} pressed=0,5)"
start_board 7 --status 8
write_config DEVICE_COM_PORT=7 "USED_DEVICE_GUID=$(dinput_guid 1)"
start_and_wait
check_true "the board is ready" driver -t 10 wait-text 2088 "Ready"
board "rate $rate"
board "wave sine 40050 1000"
if [ -z "${TS_BENCH_CLOSED:-}" ]; then
  driver click 2201 >/dev/null
  driver wait-window "Live Forces" 10 >/dev/null || fail "no Live Forces window"
  for _ in $(seq 1 100); do
    case "$(driver -w "Live Forces" get-text 2207)" in *"reports a second"*) break ;; esac
    sleep 0.1
  done
else
  board "set 16 1"
fi
sleep 3  # let the opening's work end

# CPU ticks (user + system, all threads) of a process.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
# The wineserver of this scenario's prefix works in /tmp/.wine-UID/server-DEV-INODE.
server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
server=""
for p in /proc/[0-9]*; do
  case "$(readlink "$p/cwd" 2>/dev/null)" in
    */"$server_dir") grep -qa wineserver "$p/cmdline" 2>/dev/null && server=${p#/proc/} ;;
  esac
done
check_true "the program and its wineserver found" test -n "$server" -a -d "/proc/$PROGRAM_PID"

hz=$(getconf CLK_TCK)
p0=$(ticks "$PROGRAM_PID")
s0=$(ticks "$server")
t0=$(e2e_now)
sleep "$seconds"
p1=$(ticks "$PROGRAM_PID")
s1=$(ticks "$server")
wall=$(e2e_since "$t0")
what="$rate reports a second, wheel moving by ${TS_BENCH_MOVE:-0} per poll, window $([ -z "${TS_BENCH_CLOSED:-}" ] && echo open || echo closed)"
awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v hz="$hz" -v wall="$wall" -v what="$what" 'BEGIN {
  printf "CPU over %.1f s (%s): Tillerset %.2f %%, wineserver %.2f %%, together %.2f %% of one core\n",
    wall, what, 100 * p / hz / wall, 100 * s / hz / wall, 100 * (p + s) / hz / wall
}'
[ -z "${TS_BENCH_CLOSED:-}" ] && echo "window: $(driver -w "Live Forces" get-text 2207)"
echo "Log.txt: $(log_text | wc -l) lines"
end_with_escape
