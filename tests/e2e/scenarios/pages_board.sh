# The main page with the stand-in board behind COM7 (config.ini names it):
# the board's values on the page, the status line and firmware version, a
# moved slider written once per scroll notification, "Invert" twice, "Manual",
# and "Center Wheel" sent only once the wheel is ready.

native=${TS_NATIVE_BUILD:-$TS_SOURCE_DIR/build/native}
board_exe=$native/standin_board
if [ ! -x "$board_exe" ]; then
  step "building the stand-in board in $native"
  cmake -S "$TS_SOURCE_DIR" -B "$native" >/dev/null && cmake --build "$native" --target standin_board -j2 >/dev/null ||
    { fail "cannot build standin_board"; return 0 2>/dev/null || exit 1; }
fi

board_dir=$SCENARIO_DIR/board
mkdir -p "$board_dir"
transcript=$board_dir/transcript.txt
control=$board_dir/control
# Status 1 ("Calibrating Dir") keeps the link at "Wheel Found" until told otherwise.
"$board_exe" --link "$board_dir/tty" --transcript "$transcript" --control "$control" --status 1 \
  >"$board_dir/board.out" 2>"$board_dir/board.err" &
BOARD_PID=$!
track_pid "$BOARD_PID"
for _ in $(seq 1 100); do [ -L "$board_dir/tty" ] && [ -p "$control" ] && break; sleep 0.05; done
[ -L "$board_dir/tty" ] || fail "the stand-in board did not come up"
ln -sfn "$board_dir/tty" "$WINEPREFIX/dosdevices/com7"
printf '[Config]\r\nDEVICE_COM_PORT=7\r\n\r\n' >"$SCENARIO_DIR/config.ini"

board() { echo "$*" >"$control"; sleep 0.2; }
lines() { wc -l <"$transcript"; }
# Host-to-board commands of the transcript from line $1 on, as hex bytes.
received_since() {
  tail -n +"$1" "$transcript" | sed -n 's/^[0-9.]* < \([0-9a-f][0-9a-f]\( [0-9a-f][0-9a-f]\)*\)  .*$/\1/p'
}
# Waits until the commands since line $1 matching regex $2 number $3.
wait_received() {
  local from=$1 regex=$2 count=$3 i
  for i in $(seq 1 100); do
    [ "$(received_since "$from" | grep -cE "$regex")" -ge "$count" ] && return 0
    sleep 0.05
  done
  return 1
}

step "start with the board on COM7"
start_program
wait_window || return 0 2>/dev/null || exit 1

step "the board's values on the page"
check_eq "Max Angle 900" "900 °" "$(driver get-text 2023)"
check_eq "Main Gain 64" "50 %" "$(driver get-text 2029)"
check_eq "Filter 16" "50 %" "$(driver get-text 1078)"
check_eq "Constant 127" "100 %" "$(driver get-text 2057)"
check_eq "Main Gain slider position" "64" "$(driver get-slider 2021)"
check_eq "Max Angle slider position" "900" "$(driver get-slider 2037)"
check_eq "software version" "0.21" "$(driver get-text 2095)"
check_match "COM7 chosen in the port list" '^[0-9]+ COM7$' "$(driver get-combo 1041)"
check_eq "Force table is disabled" "0" "$(driver is-enabled 2069)"
check_true "status line while the board calibrates" driver wait-text 2088 "Calibrating Dir"
check_true "firmware version shown" driver wait-text 2077 "1.5"

step "Center Wheel is not sent before the wheel is ready"
from=$(($(lines) + 1))
driver click 2019 >/dev/null
sleep 0.5
check_eq "no c while calibrating" "" "$(received_since "$from" | grep -x '63')"

step "the wheel becomes ready"
board "status 8"
check_true "status line reaches Ready" driver -t 5 wait-text 2088 "Ready"
check_eq "no external gain on this board" "---" "$(driver get-text 2043)"
from=$(($(lines) + 1))
driver click 2019 >/dev/null
check_true "c sent once ready" wait_received "$from" '^63$' 1
check_eq "and only once" "1" "$(received_since "$from" | grep -cx '63')"

step "Main Gain moved to 100"
from=$(($(lines) + 1))
# set-slider posts two scroll notifications (thumb position, end of tracking).
driver set-slider 2021 100 >/dev/null
check_true "label follows" driver wait-text 2029 "78 %"
wait_received "$from" '^50 ' 2
sleep 0.3
check_eq "one write per notification" "50 11 01 64
50 11 01 64" "$(received_since "$from" | grep '^50 ')"

step "Invert twice"
check_eq "Invert starts unchecked" "0" "$(driver is-checked 2121)"
from=$(($(lines) + 1))
driver click 2121 >/dev/null
wait_received "$from" '^50 22 ' 1
check_eq "Invert checked" "1" "$(driver is-checked 2121)"
driver click 2121 >/dev/null
wait_received "$from" '^50 22 ' 2
sleep 0.3
check_eq "bit 0 set with bit 2 flipped, then both back" "50 22 01 05
50 22 01 00" "$(received_since "$from" | grep '^50 ')"

step "Manual"
from=$(($(lines) + 1))
driver click 2126 >/dev/null
wait_received "$from" '^50 22 ' 1
driver click 2126 >/dev/null
wait_received "$from" '^50 22 ' 2
sleep 0.3
check_eq "bit 1 set, then cleared" "50 22 01 02
50 22 01 00" "$(received_since "$from" | grep '^50 ')"

step "exit"
driver send-key ESCAPE >/dev/null
wait_exit "$PROGRAM_PID" 15
check_eq "exit code" 1 "$EXIT_CODE"
check_true "config.ini keeps COM7" grep -q 'DEVICE_COM_PORT=7' "$SCENARIO_DIR/config.ini"
