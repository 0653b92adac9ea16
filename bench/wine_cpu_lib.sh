# The processor share of the scenario's program plus its wineserver under
# Wine, for the benchmark scripts run through the e2e harness.
#   measure_wine_cpu SECONDS WHAT   prints one line with the figures
measure_wine_cpu() {
  local seconds=$1 what=$2
  # CPU ticks (user + system, all threads) of a process.
  ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
  # The wineserver of this scenario's prefix works in /tmp/.wine-UID/server-DEV-INODE.
  local server_dir server="" p
  server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
  for p in /proc/[0-9]*; do
    case "$(readlink "$p/cwd" 2>/dev/null)" in
      */"$server_dir") grep -qa wineserver "$p/cmdline" 2>/dev/null && server=${p#/proc/} ;;
    esac
  done
  check_true "the program and its wineserver found" test -n "$server" -a -d "/proc/$PROGRAM_PID"

  local hz p0 s0 t0 p1 s1 wall
  hz=$(getconf CLK_TCK)
  p0=$(ticks "$PROGRAM_PID")
  s0=$(ticks "$server")
  t0=$(e2e_now)
  sleep "$seconds"
  p1=$(ticks "$PROGRAM_PID")
  s1=$(ticks "$server")
  wall=$(e2e_since "$t0")
  awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v hz="$hz" -v wall="$wall" -v what="$what" 'BEGIN {
    printf "CPU over %.1f s (%s): Tillerset %.2f %%, wineserver %.2f %%, together %.2f %% of one core\n",
      wall, what, 100 * p / hz / wall, 100 * s / hz / wall, 100 * (p + s) / hz / wall
  }'
}
