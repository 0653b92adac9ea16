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
source "$TS_SOURCE_DIR/bench/wine_cpu_lib.sh"
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

what="$rate reports a second, wheel moving by ${TS_BENCH_MOVE:-0} per poll, window $([ -z "${TS_BENCH_CLOSED:-}" ] && echo open || echo closed)"
measure_wine_cpu "$seconds" "$what"
[ -z "${TS_BENCH_CLOSED:-}" ] && echo "window: $(driver -w "Live Forces" get-text 2207)"
echo "Log.txt: $(log_text | wc -l) lines"
end_with_escape
