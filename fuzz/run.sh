#!/usr/bin/env bash
# Builds every fuzz target with clang and runs each for a fixed time (default
# 30 s, FUZZ_SECONDS), as many at once as there are cores. Fails on any crash,
# sanitizer report, leak, time-out or out-of-memory. Needs no network.
#   bash fuzz/run.sh                           what the tests run
#   FUZZ_SECONDS=14400 bash fuzz/run.sh        a long run: four hours each
#   FUZZ_RUNS=10000000 FUZZ_SECONDS=14400 FUZZ_JOBS=1 bash fuzz/run.sh
#                                              ten million inputs each (or four
#                                              hours, whichever comes first), one
#                                              target at a time
#   bash fuzz/run.sh fuzz_board fuzz_settings  only these targets
# Each target reports its executions, coverage (edges, features), corpus size
# and whether it found anything; the corpus it grew stays in build/fuzz/run/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
seconds=${FUZZ_SECONDS:-30}
jobs=${FUZZ_JOBS:-$(nproc)}
runs=${FUZZ_RUNS:-}

# A folder configured from fuzz/ alone, as it once was, is made afresh.
grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$here" "$build/CMakeCache.txt" 2>/dev/null && rm -rf "$build"
(cd "$root" && cmake --preset fuzz -B "$build" >/dev/null)
cmake --build "$build" -j"$jobs" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in "$here"/fuzz_*.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi

run_one() {
  local name=$1
  local work="$build/run/$name"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  # Seeds stay read-only in the tree; new inputs go to the run's own corpus.
  local seeds=()
  [ -d "$here/corpus/$name" ] && seeds+=("$here/corpus/$name")
  "$build/$name" -max_total_time="$seconds" ${runs:+-runs="$runs"} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "${seeds[@]}" >"$work/log.txt" 2>&1
}

declare -A pids
failed=0
running=0
for name in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  run_one "$name" &
  pids[$name]=$!
  running=$((running + 1))
done
for name in "${targets[@]}"; do
  if wait "${pids[$name]}"; then
    log=$build/run/$name/log.txt
    executed=$(grep -ao 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    final=$(grep -a 'DONE' "$log" | tail -1)
    cov=$(grep -o 'cov: [0-9]*' <<<"$final" | grep -o '[0-9]*' || true)
    ft=$(grep -o 'ft: [0-9]*' <<<"$final" | grep -o '[0-9]*' || true)
    corpus=$(grep -o 'corp: [0-9]*/[0-9]*[A-Za-z]*' <<<"$final" | cut -d' ' -f2 || true)
    took=$(grep -ao 'Done [0-9]* runs in [0-9]* second' "$log" | grep -o '[0-9]* second' | grep -o '[0-9]*' || true)
    echo "fuzz: $name clean: ${executed:-?} runs in ${took:-$seconds} s, coverage ${cov:-?} edges ${ft:-?} features, corpus ${corpus:-?}, no finding"
  else
    echo "fuzz: $name FAILED, log and artifacts in $build/run/$name"
    tail -n 40 "$build/run/$name/log.txt"
    failed=1
  fi
done
exit $failed
