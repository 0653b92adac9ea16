# The processor share of Tillerset plus its wineserver under Wine over 30 s
# with the "Live Forces" window open and the stand-in board sending 1000
# torque reports a second (a clipping sine) and the DirectInput stand-in's
# wheel standing still (its per-read log lines left out: they are the
# stand-in's cost, not the program's). A figure, never a failure. Run through
# the e2e harness:
#   bash tests/e2e/run.sh bench/live_forces_cpu_wine.sh
# What the rig itself would add is kept out: the window is asked for an
# answer every 250 ms rather than 50, and the mouse rests outside the windows
# (resting on a control with a help tip, it keeps the tip's timer asking where
# the mouse is ten times a second).
# TS_BENCH_RATE another report rate, TS_BENCH_CLOSED=1 the same reports
# without the window (the board's debug level already 1 when the program
# reads it, as a developer leaves it: the reports taken each tick and only
# summarised in the log), TS_BENCH_MOVE=97 a wheel that moves on every poll
# (the main page's picture redrawn each tick too), TS_BENCH_SECONDS another
# length.
responsive_within 100 "the Live Forces window drawing 1000 reports a second"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
source "$TS_SOURCE_DIR/bench/wine_cpu_lib.sh"
seconds=${TS_BENCH_SECONDS:-30}
rate=${TS_BENCH_RATE:-1000}
use_dinput_double
dinput_script reads=quiet "$(dinput_device "Kestra Wheel" 1 x=0 y=20000 z=40000 move=${TS_BENCH_MOVE:-0} pressed=0,5)"
start_board 7 --status 8
[ -n "${TS_BENCH_CLOSED:-}" ] && board "set 16 1"
write_config DEVICE_COM_PORT=7 "USED_DEVICE_GUID=$(dinput_guid 1)"
WATCH_INTERVAL_MS=250
start_and_wait
if [ -z "${TS_BENCH_CLOSED:-}" ]; then
  check_true "the board is ready" driver -t 10 wait-text 2088 "Ready"
else
  check_true "the board is known to report" driver -t 10 wait-text 2088 "Reporting: not polled"
fi
board "rate $rate"
board "wave sine 40050 1000"
if [ -z "${TS_BENCH_CLOSED:-}" ]; then
  driver click 2201 >/dev/null
  driver wait-window "Live Forces" 10 >/dev/null || fail "no Live Forces window"
  for _ in $(seq 1 100); do
    case "$(driver -w "Live Forces" get-text 2207)" in *"reports a second"*) break ;; esac
    sleep 0.1
  done
fi
driver move-cursor 1279 1023 >/dev/null
sleep 3  # let the opening's work end

what="$rate reports a second, wheel moving by ${TS_BENCH_MOVE:-0} per poll, window $([ -z "${TS_BENCH_CLOSED:-}" ] && echo open || echo closed)"
measure_wine_cpu "$seconds" "$what"
[ -z "${TS_BENCH_CLOSED:-}" ] && echo "window: $(driver -w "Live Forces" get-text 2207)"
echo "Log.txt: $(log_text | wc -l) lines"
end_with_escape
