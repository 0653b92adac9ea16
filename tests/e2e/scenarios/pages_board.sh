# The main page with the stand-in board behind COM7 (config.ini names it):
# the board's values on the page, the status line and firmware version, a
# moved slider written once per scroll notification, "Invert" twice, "Manual",
# and "Center Wheel" sent only once the wheel is ready.

responsive_within $E2E_BOUND_COMMAND "slider writes, Invert, Manual, Center Wheel"

# Status 1 ("Calibrating Dir") keeps the link at "Wheel Found" until told otherwise.
start_board 7 --status 1
write_config DEVICE_COM_PORT=7

step "start with the board on COM7"
start_and_wait

step "the board's values on the page"
check_answer "Max Angle 900" "900 °" get-text $IDC_MAX_ANGLE_VALUE
check_answer "Main Gain 64" "50 %" get-text $IDC_MAIN_GAIN_VALUE
check_answer "Filter 16" "50 %" get-text $IDC_FILTER_VALUE
check_answer "Constant 127" "100 %" get-text $IDC_CONSTANT_VALUE
check_answer "Main Gain slider position" "64" get-slider $IDC_MAIN_GAIN_SLIDER
check_answer "Max Angle slider position" "900" get-slider $IDC_MAX_ANGLE_SLIDER
check_answer "software version" "0.21" get-text $IDC_SOFTWARE_VERSION
check_match "COM7 chosen in the port list" '^[0-9]+ COM7$' "$(driver get-combo $IDC_WHEEL_PORT)"
check_answer "Force table is disabled" "0" is-enabled $IDC_FORCE_TABLE_SLIDER
check_true "status line while the board calibrates" driver wait-text $IDC_DEVICE_STATUS "Calibrating Dir"
check_true "firmware version shown" driver wait-text $IDC_FIRMWARE_VERSION "1.5"

step "Center Wheel is not sent before the wheel is ready"
from=$(($(transcript_lines) + 1))
driver click $IDC_CENTER_WHEEL >/dev/null
wait_next_poll
check_eq "no c while calibrating" "" "$(received_since "$from" | grep -x '63')"

step "the wheel becomes ready"
board "status 8"
check_true "status line reaches Ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
check_answer "no external gain on this board" "---" get-text $IDC_EXTERNAL_GAIN
from=$(($(transcript_lines) + 1))
driver click $IDC_CENTER_WHEEL >/dev/null
check_true "c sent once ready" wait_received "$from" '^63$' 1
check_eq "and only once" "1" "$(received_since "$from" | grep -cx '63')"

step "Main Gain moved to 100"
from=$(($(transcript_lines) + 1))
# set-slider posts two scroll notifications (thumb position, end of tracking).
driver set-slider $IDC_MAIN_GAIN_SLIDER 100 >/dev/null
check_true "label follows" driver wait-text $IDC_MAIN_GAIN_VALUE "78 %"
wait_received "$from" '^50 ' 2
wait_next_poll
check_eq "one write per notification" "50 11 01 64
50 11 01 64" "$(received_since "$from" | grep '^50 ')"

# Clicks check box $1 ("$2") on and off again; the board must receive the two
# writes of parameter 34 given in $4 ($3 says what they mean).
click_twice() {
  local id=$1 name=$2 what=$3 writes=$4
  check_answer "$name starts unchecked" "0" is-checked "$id"
  local from=$(($(transcript_lines) + 1))
  driver click "$id" >/dev/null
  wait_received "$from" '^50 22 ' 1
  check_answer "$name checked" "1" is-checked "$id"
  driver click "$id" >/dev/null
  wait_received "$from" '^50 22 ' 2
  wait_next_poll
  check_eq "$what" "$writes" "$(received_since "$from" | grep '^50 ')"
}

step "Invert twice"
click_twice 2121 Invert "bit 0 set with bit 2 flipped, then both back" "50 22 01 05
50 22 01 00"

step "Manual"
click_twice 2126 Manual "bit 1 set, then cleared" "50 22 01 02
50 22 01 00"

step "exit"
end_with_escape
check_true "config.ini keeps COM7" grep -q 'DEVICE_COM_PORT=7' "$SCENARIO_DIR/config.ini"
