#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the Wine runs need.
# Safe to run again: packages already present are not touched.
#   bash scripts/deps.sh           everything
#   bash scripts/deps.sh native    only what the native build and tests need
set -euo pipefail
native=(cmake make g++ libgtest-dev avrdude)
want=("${native[@]}"
      g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
      wine64 xvfb xauth imagemagick x11-utils nsis zip nginx
      clang libclang-rt-dev valgrind iproute2 openssl ca-certificates)
[ "${1:-}" = native ] && want=("${native[@]}")
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
