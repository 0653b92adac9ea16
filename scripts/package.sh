#!/usr/bin/env bash
# Builds what a Windows user receives, in build/package/:
#   setup.exe              the installer (per user, no administrator rights;
#                          "setup.exe /S" installs silently)
#   Tillerset-<version>.zip the same files for those who want no installer
#
#   bash scripts/package.sh [--no-build]
#
# Both hold Tillerset.exe, its System\ data (data/System), Tools\FLASHER.txt
# (where avrdude goes) and Tools\listComPorts.exe when the build has the port
# lister. The Windows build (build/win, or TS_WIN_BUILD) is brought up to date
# first unless --no-build is given.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=1
for arg in "$@"; do
  case "$arg" in
    --no-build) build=0 ;;
    --help | -h) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package: unknown argument $arg" >&2; exit 2 ;;
  esac
done
say() { echo "package: $*"; }

bash scripts/deps.sh
win_build=${TS_WIN_BUILD:-$root/build/win}
out=$root/build/package
if [ $build -eq 1 ]; then
  say "building the Windows programs in $win_build"
  cmake --preset win -B "$win_build" >/dev/null
  targets=(Tillerset)
  [ -d tools/list_com_ports ] && targets+=(list_com_ports)
  cmake --build "$win_build" -j2 --target "${targets[@]}" >/dev/null
fi
[ -f "$win_build/Tillerset.exe" ] || { echo "package: no $win_build/Tillerset.exe" >&2; exit 1; }

# The version as the build made it from the project's version.
version_header=$win_build/generated/tillerset_version.h
version=$(sed -n 's/^#define TS_VERSION_TEXT "\(.*\)"$/\1/p' "$version_header" 2>/dev/null)
[[ $version =~ ^[0-9]+\.[0-9]+$ ]] || { echo "package: no version in $version_header" >&2; exit 1; }

# ---- the files, as they lie in the install folder
stage=$out/stage/Tillerset
rm -rf "$out/stage"
mkdir -p "$stage/Tools"
cp "$win_build/Tillerset.exe" "$stage/"
cp -R data/System "$stage/System"
cp packaging/FLASHER.txt "$stage/Tools/"
if [ -f "$win_build/list_com_ports.exe" ]; then
  cp "$win_build/list_com_ports.exe" "$stage/Tools/listComPorts.exe"
else
  say "no list_com_ports.exe in the build: Tools\\listComPorts.exe left out"
fi

# ---- setup.exe: every staged file is installed, and removed again by the
# uninstaller by name, so nothing the user added is ever touched.
files=$out/files.nsh
{
  echo '!macro INSTALL_FILES'
  (cd "$stage" && find . -type d | LC_ALL=C sort) | while read -r dir; do
    dir=${dir#.}
    win=${dir//\//\\}
    echo "  SetOutPath \"\$INSTDIR$win\""
    (cd "$stage$dir" && find . -maxdepth 1 -type f | LC_ALL=C sort) | while read -r f; do
      f=${f#./}
      echo "  File \"$stage$dir/$f\""
    done
  done
  echo '!macroend'
  echo '!macro UNINSTALL_FILES'
  (cd "$stage" && find . -type f | LC_ALL=C sort) | while read -r f; do
    f=${f#./}
    echo "  Delete \"\$INSTDIR\\${f//\//\\}\""
  done
  # Deepest folders first; RMDir leaves any folder that still holds a file.
  (cd "$stage" && find . -mindepth 1 -type d | LC_ALL=C sort -r) | while read -r dir; do
    dir=${dir#./}
    echo "  RMDir \"\$INSTDIR\\${dir//\//\\}\""
  done
  echo '!macroend'
} >"$files"
size_kb=$(du -sk "$stage" | cut -f1)
rm -f "$out/setup.exe"
makensis -V2 -NOCD -DVERSION="$version" -DSTAGE="$stage" -DFILES="$files" -DSIZE_KB="$size_kb" \
  -DOUTFILE="$out/setup.exe" -DICON="$root/src/app/res/tillerset.ico" packaging/tillerset.nsi
say "installer: $out/setup.exe"

# ---- the zip: a Tillerset folder to unpack anywhere the user can write.
zip=$out/Tillerset-$version.zip
rm -f "$zip"
(cd "$out/stage" && zip -qr -X "$zip" Tillerset)
say "zip: $zip"
