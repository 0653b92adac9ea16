#!/usr/bin/env bash
# Builds Tillerset.exe and runs it under Wine.
#
#   bash scripts/run.sh [--headless] [--keep] [program options, e.g. -dev]
#
# - Installs what is missing (scripts/deps.sh), builds the Windows programs in
#   build/win, and runs from build/run/app, which keeps config.ini,
#   GameProfiles.ini and Log.txt between runs (the files under data/ are
#   copied there first).
# - Wheel: a board plugged in (USB 2341:8036, /dev/ttyACM*) becomes COM7;
#   otherwise the stand-in board (tools/standin_board) plays the wheel on
#   COM7 and the DirectInput stand-in (tests/e2e/dinput_double) its game
#   controller. Without a config.ini of your own, one naming COM7 is written.
# - Drive, in developer mode (-dev): a USB-RS485 adapter (0403:6001,
#   /dev/ttyUSB*) becomes COM3; otherwise the stand-in drive
#   (tools/standin_drive) plays the servo drive on COM3. A config.ini written
#   here names COM3 as the drive's port too.
# - Display: your own when DISPLAY works; otherwise (or with --headless) a
#   private Xvfb. Either way a screenshot of the window lands in
#   build/run/screenshot.png. Headless runs close the program after the
#   screenshot unless --keep is given (then Ctrl+C ends it).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# shellcheck source=../tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh"

headless=0
keep=0
program_args=()
for arg in "$@"; do
  case "$arg" in
    --headless) headless=1 ;;
    --keep) keep=1 ;;
    --help | -h)
      # The comment block at the top, whatever its length.
      awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"
      exit 0
      ;;
    *) program_args+=("$arg") ;;
  esac
done

say() { echo "run: $*"; }

bash scripts/deps.sh || exit 1

win_build=$root/build/win
say "building Tillerset.exe in $win_build"
cmake --preset win >/dev/null || exit 1
cmake --build "$win_build" -j"$(nproc)" --target Tillerset ts_driver list_com_ports dinput8_double >/dev/null || {
  echo "run: the Windows build failed; run: cmake --build $win_build" >&2
  exit 1
}

run=$root/build/run
app=$run/app
mkdir -p "$app"
cp "$win_build/Tillerset.exe" "$app/"
# The port lister, where an install has it (the board and the drive's adapter
# are found by their USB ids with it).
mkdir -p "$app/Tools"
cp "$win_build/list_com_ports.exe" "$app/Tools/listComPorts.exe"
if [ -d data ]; then
  # data/System/Resources/Scripts/... and the like go next to the program.
  cp -R data/. "$app/"
fi

board_pid=""
drive_pid=""
xvfb_started=0
program_pid=""
prefix=""
cleanup() {
  [ -n "$program_pid" ] && e2e_kill_pid "$program_pid"
  [ -n "$prefix" ] && e2e_stop_prefix "$prefix"
  [ -n "$board_pid" ] && e2e_kill_pid "$board_pid"
  [ -n "$drive_pid" ] && e2e_kill_pid "$drive_pid"
  [ $xvfb_started -eq 1 ] && e2e_stop_xvfb "$run"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ---- display and Wine prefix
if [ $headless -eq 0 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  say "using your display $DISPLAY"
  prefix=$run/prefix
  e2e_make_template "$prefix" managed || exit 1
else
  e2e_start_xvfb "$run" || exit 1
  xvfb_started=1
  headless=1
  say "no usable display: running on a private Xvfb ($DISPLAY)"
  prefix=$run/prefix-headless
  e2e_make_template "$prefix" || exit 1
fi
export WINEPREFIX=$prefix

# The device node of a plugged-in USB serial device (sysfs class glob $1,
# vendor $2, product $3, $4 levels from the tty's device to the USB device),
# or nothing.
find_usb_tty() {
  local tty usb
  for tty in /sys/class/tty/$1; do
    [ -e "$tty/device" ] || continue
    usb=$(readlink -f "$tty/device/$4")
    if [ "$(cat "$usb/idVendor" 2>/dev/null)" = "$2" ] && [ "$(cat "$usb/idProduct" 2>/dev/null)" = "$3" ]; then
      echo "/dev/$(basename "$tty")"
      return 0
    fi
  done
}

# play NAME LINK WHAT: the stand-in tools/standin_NAME on a pseudo-terminal
# that LINK (a COM port of the prefix) names; its PID in STANDIN_PID.
play() {
  local name=$1 link=$2 what=$3 native=$root/build/native
  STANDIN_PID=""
  if [ ! -x "$native/standin_$name" ]; then
    say "building the stand-in $name in $native"
    { cmake --preset native >/dev/null && cmake --build "$native" --target "standin_$name" -j"$(nproc)" >/dev/null; } ||
      { say "could not build the stand-in $name; running without $what"; return 1; }
  fi
  mkdir -p "$run/$name"
  rm -f "$run/$name/tty"
  "$native/standin_$name" --link "$run/$name/tty" --transcript "$run/$name/transcript.txt" \
    >"$run/$name/$name.out" 2>"$run/$name/$name.err" &
  STANDIN_PID=$!
  for _ in $(seq 1 100); do [ -L "$run/$name/tty" ] && break; sleep 0.05; done
  if [ -L "$run/$name/tty" ]; then
    ln -sfn "$run/$name/tty" "$link"
    say "no $what plugged in: the stand-in $name plays it on $(basename "$link" | tr a-z A-Z) (transcript: $run/$name/transcript.txt)"
  else
    say "the stand-in $name did not start (see $run/$name/$name.err)"
  fi
}

# ---- the wheel on COM7
com7=$prefix/dosdevices/com7
rm -f "$com7"
real_board=$(find_usb_tty 'ttyACM*' 2341 8036 ..)
if [ -n "$real_board" ]; then
  say "wheel board found at $real_board: it is COM7"
  ln -sfn "$real_board" "$com7"
  # Its game controller is the real one: no stand-in DLL left from a run without it.
  rm -f "$app/dinput8.dll" "$app/dinput8_double.txt"
else
  play board "$com7" "wheel" && board_pid=$STANDIN_PID
  # The board's game controller comes from the DirectInput stand-in: a wheel
  # turned a little, a pedal half down and a few buttons held, as the README's
  # picture shows.
  cp -f "$win_build/dinput8.dll" "$app/dinput8.dll"
  printf '%s\n' "[device]" "name=Kestra FFB Wheel" "instance=2118778881,1,2,3,4,5,6,7,8,9,1" \
    "product=0x2341,0x8036" "x=26000" "y=52000" "z=6000" "rx=0" "pressed=0,4,9" >"$app/dinput8_double.txt"
  export WINEDLLOVERRIDES="mscoree,mshtml=;dinput8=n"
  say "no wheel plugged in: the DirectInput stand-in plays its game controller (script: $app/dinput8_double.txt)"
fi

# ---- in developer mode, the servo drive on COM3
developer=0
for arg in "${program_args[@]}"; do
  case "${arg,,}" in -dev | /dev) developer=1 ;; esac
done
com3=$prefix/dosdevices/com3
if [ $developer -eq 1 ]; then
  rm -f "$com3"
  real_drive=$(find_usb_tty 'ttyUSB*' 0403 6001 ../..)
  if [ -n "$real_drive" ]; then
    say "RS485 adapter found at $real_drive: it is COM3"
    ln -sfn "$real_drive" "$com3"
  else
    play drive "$com3" "drive" && drive_pid=$STANDIN_PID
  fi
fi
if [ -L "$com7" ] && [ ! -f "$app/config.ini" ]; then
  sm_line=""
  [ -L "$com3" ] && sm_line='SM_COM_PORT=3\r\n'
  printf "[Config]\r\nDEVICE_COM_PORT=7\r\n${sm_line}\r\n" >"$app/config.ini"
  say "wrote $app/config.ini naming COM7${sm_line:+ and the drive on COM3}"
fi

# ---- run
say "starting Tillerset.exe ${program_args[*]:-} in $app"
(cd "$app" && exec "$TS_WINE" "$app/Tillerset.exe" "${program_args[@]}") >"$run/wine.log" 2>&1 &
program_pid=$!

shot=$run/screenshot.png
rm -f "$shot"
if timeout 120 "$TS_WINE" "$win_build/ts_driver.exe" wait-window "Kestra Wheel Configuration" 60 >/dev/null 2>>"$run/wine.log"; then
  sleep 1  # let the pages paint
  window=$(xwininfo -root -tree 2>/dev/null | grep '"Kestra Wheel Configuration' | awk '{print $1}' | head -n1)
  if [ -n "$window" ] && import -frame -window "$window" "$shot" 2>/dev/null; then
    say "screenshot of the window: $shot"
  elif import -window root "$shot" 2>/dev/null; then
    say "screenshot of the screen: $shot"
  fi
else
  say "the window did not appear within 60 s (see $run/wine.log and $app/Log.txt)"
fi

if [ $headless -eq 1 ] && [ $keep -eq 0 ]; then
  timeout 30 "$TS_WINE" "$win_build/ts_driver.exe" send-key ESCAPE >/dev/null 2>&1
  for _ in $(seq 1 300); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$program_pid" 2>/dev/null && say "the program did not end on Escape; stopping it"
else
  say "running; close the window (or press Ctrl+C) to end"
fi
closed_by_us=0
code=0
if kill -0 "$program_pid" 2>/dev/null && [ $headless -eq 1 ] && [ $keep -eq 0 ]; then
  code=timeout
else
  wait "$program_pid"
  code=$?
  program_pid=""
  [ $headless -eq 1 ] && [ $keep -eq 0 ] && closed_by_us=1
fi
[ -f "$shot" ] && say "screenshot: $shot"
if [ $closed_by_us -eq 1 ]; then
  # Escape ends the window the way its close box does; the exit code says
  # only that it was closed, not that anything failed.
  say "Tillerset.exe was closed after its screenshot, as a run without a display does (--keep leaves it running); its log: $app/Log.txt"
elif [ "$code" = timeout ]; then
  say "Tillerset.exe did not close after its screenshot and was stopped; its log: $app/Log.txt"
else
  say "Tillerset.exe ended (exit code $code); its log: $app/Log.txt"
fi
exit 0
