# The processor share of Tillerset plus its wineserver under Wine over 30 s,
# with the stand-in board Ready on COM7 and the DirectInput stand-in giving a
# wheel that moves on every poll (the readout and picture change every tick).
# A figure, never a failure. Run through the e2e harness:
#   bash tests/e2e/run.sh bench/input_cpu_wine.sh
# TS_BENCH_NO_INPUT=1 measures the same without any game controller,
# TS_BENCH_MOVE=0 with a wheel that stands still, TS_BENCH_ARGS=-dev with the
# developer strip (readout texts on screen), TS_BENCH_SECONDS another length.
responsive_within 100 "a wheel read and drawn every tick"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
source "$TS_SOURCE_DIR/bench/wine_cpu_lib.sh"
seconds=${TS_BENCH_SECONDS:-30}
if [ -z "${TS_BENCH_NO_INPUT:-}" ]; then
  use_dinput_double
  dinput_script "$(dinput_device "Kestra Wheel" 1 x=0 y=20000 z=40000 move=${TS_BENCH_MOVE:-97} pressed=0,5)"
fi
start_board 7 --status 8
write_config DEVICE_COM_PORT=7
start_and_wait ${TS_BENCH_ARGS:-}
check_true "the board is ready" driver -t 10 wait-text 2088 "Ready"
sleep 3  # let start-up work end before the window opens

if [ -n "${TS_BENCH_NO_INPUT:-}" ]; then
  what="no controller"
else
  what="wheel X moving by ${TS_BENCH_MOVE:-97} per poll"
fi
measure_wine_cpu "$seconds" "$what ${TS_BENCH_ARGS:-}"
if [ -n "${TS_BENCH_NO_INPUT:-}" ]; then :; else
  reads=$(grep -c GetDeviceState "$DINPUT_LOG")
  echo "state reads so far: $reads"
fi
end_with_escape
