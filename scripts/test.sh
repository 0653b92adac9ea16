#!/usr/bin/env bash
# Builds and runs every test: native unit and integration tests (ctest), the
# Windows build, the packaging (setup.exe and the zip), the end-to-end
# scenarios under Wine (the install scenarios use that setup.exe), and the
# fuzz targets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/deps.sh
jobs=$(nproc)

echo "== native build and unit tests"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$jobs"
(cd build/native && ctest --output-on-failure -j"$jobs")

echo "== Windows build"
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j"$jobs"

echo "== packaging"
bash scripts/package.sh --no-build

if [ -x tests/e2e/run.sh ] || [ -f tests/e2e/run.sh ]; then
  echo "== end-to-end under Wine"
  bash tests/e2e/run.sh
fi

if [ -f fuzz/run.sh ]; then
  echo "== fuzz targets"
  bash fuzz/run.sh
fi
echo "all tests passed"
