#!/usr/bin/env bash
# End-to-end scenarios: the real Tillerset.exe under Wine on a private Xvfb
# display, driven by ts_driver.exe. Usage:
#   bash tests/e2e/run.sh [scenario-name | path/to/scenario.sh ...]
# (default: every scenarios/*.sh)
# Environment: TS_WIN_BUILD (Windows build folder, default build/win; built
# here when it has no Tillerset.exe), TS_NATIVE_BUILD (native build folder of
# the stand-ins, default build/native; brought up to date here), TS_E2E_DIR
# (work folder, default build/e2e), TS_SCENARIO_TIMEOUT (seconds per scenario,
# default 120), TS_PACKAGE_DIR (where the install scenarios find setup.exe,
# default build/package; packaged there when missing or older than Tillerset.exe).
#
# Each scenario gets its own folder and its own copy of a cached, ready Wine
# prefix, whose services are already warmed up by an idle program while the
# previous scenario runs. After each scenario every process it started is
# ended by PID and the prefix's wineserver is stopped.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

# The update server listens on port 80, the only port Tillerset asks, which
# only root may bind. Anyone else's run goes on in a private network namespace
# (a user namespace maps the user to root there just long enough to bring up
# its loopback and open every port to every user, then back to the user's own
# id); where the system allows no user namespaces, the scenarios that need
# the server are skipped, each with that reason.
if [ "$(id -u)" -ne 0 ] && [ -z "${TS_E2E_PRIVATE_NETWORK:-}" ] &&
  [ "$(cat /proc/sys/net/ipv4/ip_unprivileged_port_start 2>/dev/null || echo 1024)" -gt 80 ]; then
  ip_tool=$(PATH=$PATH:/usr/sbin:/sbin command -v ip)  # not on a user's PATH
  if [ -n "$ip_tool" ] && unshare -rn true 2>/dev/null; then
    echo "e2e: not root: the run goes on in a private network namespace, where port 80 is open to you"
    exec unshare -rn bash -c '"$3" link set lo up && echo 0 >/proc/sys/net/ipv4/ip_unprivileged_port_start &&
      exec unshare --map-user="$1" --map-group="$2" env TS_E2E_PRIVATE_NETWORK=1 bash "$0" "${@:4}"' \
      "$0" "$(id -u)" "$(id -g)" "$ip_tool" "$@"
  fi
  export TS_E2E_NO_PORT80="port 80 needs root, or user namespaces (unshare -rn) to give a private network"
fi

win_build=${TS_WIN_BUILD:-$root/build/win}
e2e=${TS_E2E_DIR:-$root/build/e2e}
limit=${TS_SCENARIO_TIMEOUT:-120}

if [ ! -f "$win_build/Tillerset.exe" ] || [ ! -f "$win_build/ts_driver.exe" ]; then
  echo "e2e: building the Windows programs in $win_build"
  (cd "$root" && cmake --preset win -B "$win_build" >/dev/null) || exit 2
  cmake --build "$win_build" -j"$(nproc)" || exit 2
fi
# The native stand-ins (board, drive, update server) are built now, so that no
# scenario spends its time limit on a build.
native_build=${TS_NATIVE_BUILD:-$root/build/native}
echo "e2e: building the native stand-ins in $native_build"
{ (cd "$root" && cmake --preset native -B "$native_build" >/dev/null) &&
  cmake --build "$native_build" --target native_tools -j"$(nproc)" >/dev/null; } || exit 2
export TS_NATIVE_BUILD=$native_build
for exe in Tillerset.exe ts_driver.exe idle.exe; do
  [ -f "$win_build/$exe" ] || { echo "e2e: $win_build/$exe is missing" >&2; exit 2; }
done
for tool in Xvfb "$TS_WINE" "$TS_WINESERVER"; do
  command -v "$tool" >/dev/null || { echo "e2e: $tool not found (run scripts/deps.sh)" >&2; exit 2; }
done

mkdir -p "$e2e"
exec 9>"$e2e/lock"
if ! flock -n 9; then
  echo "e2e: another run is using $e2e" >&2
  exit 2
fi

scenarios=()
if [ $# -gt 0 ]; then
  for name in "$@"; do
    if [ -f "$name" ]; then  # a scenario file elsewhere, e.g. while writing one
      scenarios+=("$(cd "$(dirname "$name")" && pwd)/$(basename "$name")")
      continue
    fi
    name=${name%.sh}
    [ -f "$here/scenarios/$name.sh" ] || { echo "e2e: no scenario $name" >&2; exit 2; }
    scenarios+=("$here/scenarios/$name.sh")
  done
else
  for f in "$here"/scenarios/*.sh; do [ -f "$f" ] && scenarios+=("$f"); done
fi
[ ${#scenarios[@]} -gt 0 ] || { echo "e2e: no scenarios"; exit 0; }

runs="$e2e/runs"
warm_pids=()
cleanup_all() {
  local pid d
  for d in "$runs"/*/; do
    [ -d "$d" ] && e2e_stop_prefix "$d/prefix"
  done
  for pid in "${warm_pids[@]}"; do e2e_kill_pid "$pid"; done
  for d in "$runs"/*/; do
    [ -f "$d/work/pids" ] || continue
    while read -r pid; do e2e_kill_pid "$pid"; done <"$d/work/pids"
  done
  e2e_stop_xvfb "$e2e"
}
trap cleanup_all EXIT
trap 'exit 130' INT TERM

e2e_start_xvfb "$e2e" || exit 2
echo "e2e: display $DISPLAY, Wine $("$TS_WINE" --version 2>/dev/null)"

t0=$(e2e_now)
e2e_make_template "$e2e/prefix-template" 9>&- || exit 2
echo "e2e: prefix template ready in $(e2e_since "$t0") s"

# A run cut short may have left a small disk mounted or a folder frozen.
if [ -d "$runs" ]; then
  awk -v runs="$runs/" 'index($2, runs) == 1 {print $2}' /proc/mounts | xargs -r -n1 umount -l 2>/dev/null
  chattr -R -i "$runs" 2>/dev/null
fi
rm -rf "$runs"
mkdir -p "$runs"
# The control ids the scenarios use by name, from the headers of this tree.
e2e_control_ids "$root" >"$runs/control_ids.sh"

# Copies the template for scenario i and starts its idle program.
prepare() {
  local i=$1
  [ "$i" -lt ${#scenarios[@]} ] || return 0
  local name
  name=$(basename "${scenarios[$i]}" .sh)
  local dir="$runs/$name"
  mkdir -p "$dir/work"
  e2e_copy_prefix "$e2e/prefix-template" "$dir/prefix" || return 1
  warm_pids[$i]=$(e2e_warm_prefix "$dir/prefix" "$win_build/idle.exe" $((limit + 60)))
}

passed=0
failed=0
skipped=0
failed_names=()
prepare 0
for i in "${!scenarios[@]}"; do
  scenario=${scenarios[$i]}
  name=$(basename "$scenario" .sh)
  dir="$runs/$name"
  prepare $((i + 1))
  e2e_wait_warm "$dir/prefix" || echo "e2e: $name: the prefix's desktop was not up after 30 s; going on"
  start=$(e2e_now)
  env SCENARIO_DIR="$dir/work" WINEPREFIX="$dir/prefix" DISPLAY="$DISPLAY" \
    TS_EXE="$win_build/Tillerset.exe" TS_DRIVER="$win_build/ts_driver.exe" \
    TS_IDLE="$win_build/idle.exe" TS_WIN_BUILD="$win_build" TS_SOURCE_DIR="$root" \
    TS_CONTROL_IDS="$runs/control_ids.sh" timeout -k 5 "$limit" bash -c 'source "$0"; driver_start; source "$1"; scenario_end' \
    "$here/lib.sh" "$scenario" >"$dir/scenario.log" 2>&1 9>&-
  rc=$?
  took=$(e2e_since "$start")
  if [ $rc -ne 0 ]; then
    DISPLAY=$DISPLAY import -window root "$dir/failure.png" >/dev/null 2>&1
  fi
  # End the private prefix's wineserver first (that ends every Windows program
  # of this scenario at once; Wine programs ignore SIGTERM), then whatever
  # else the scenario started, by PID.
  stop_start=$(e2e_now)
  e2e_stop_prefix "$dir/prefix"
  e2e_kill_pid "${warm_pids[$i]:-}"
  if [ -f "$dir/work/pids" ]; then
    while read -r pid; do e2e_kill_pid "$pid"; done <"$dir/work/pids"
  fi
  if [ -f "$dir/work/undo" ]; then
    while read -r undo; do $undo || echo "e2e: could not undo: $undo"; done <"$dir/work/undo"
    rm -f "$dir/work/undo"
  fi
  stopped=$(e2e_since "$stop_start")
  if [ $rc -eq 0 ]; then
    passed=$((passed + 1))
    echo "PASS $name (${took} s, clean-up ${stopped} s)"
  elif [ $rc -eq "$E2E_SKIPPED" ]; then
    skipped=$((skipped + 1))
    echo "SKIP $name: $(sed -n 's/^skipped: //p' "$dir/scenario.log" | tail -n 1)"
  else
    failed=$((failed + 1))
    failed_names+=("$name")
    [ $rc -eq 124 ] && echo "TIMEOUT after ${limit} s" >>"$dir/scenario.log"
    echo "FAIL $name (${took} s) - transcript $dir/scenario.log:"
    sed 's/^/    /' "$dir/scenario.log" | tail -n 40
    if [ -f "$dir/work/Log.txt" ]; then
      echo "    -- Log.txt:"
      tr -d '\r' <"$dir/work/Log.txt" | sed 's/^/    /' | tail -n 20
    fi
  fi
done

echo "e2e: $passed passed, $failed failed, $skipped skipped (total $(e2e_since "$t0") s)"
[ $failed -eq 0 ] || { echo "e2e: failed: ${failed_names[*]}"; exit 1; }
exit 0
