#!/usr/bin/env bash
# Builds and runs every test: the include-direction check, the native unit and
# integration tests (ctest), the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, the Windows build, the packaging (setup.exe and
# the zip), the end-to-end scenarios under Wine (the install scenarios use
# that setup.exe), and the fuzz targets.
#   bash scripts/test.sh            everything (what CI runs)
#   bash scripts/test.sh --native   the check and the native build and tests only
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
native_only=0
for arg in "$@"; do
  case "$arg" in
    --native) native_only=1 ;;
    *) echo "usage: bash scripts/test.sh [--native]" >&2; exit 2 ;;
  esac
done
if [ "$native_only" -eq 1 ]; then bash scripts/deps.sh native; else bash scripts/deps.sh; fi
jobs=$(nproc)

echo "== include directions"
bash scripts/check_layers.sh

echo "== native build and unit tests"
cmake --preset native >/dev/null
cmake --build build/native -j"$jobs"
(cd build/native && ctest --output-on-failure -j"$jobs")
if [ "$native_only" -eq 1 ]; then
  echo "native tests passed"
  exit 0
fi

echo "== native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build build/asan -j"$jobs" --target unit_tests
(cd build/asan && ctest --output-on-failure -j"$jobs")

echo "== Windows build"
cmake --preset win >/dev/null
cmake --build build/win -j"$jobs"

echo "== packaging"
bash scripts/package.sh --no-build

echo "== end-to-end under Wine"
bash tests/e2e/run.sh

echo "== fuzz targets"
bash fuzz/run.sh
echo "all tests passed"
