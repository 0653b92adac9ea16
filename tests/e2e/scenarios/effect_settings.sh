# The force-feedback effect settings, row by row as the page is built: each
# gain slider (0..127, shown in percent) writes its own board parameter once
# per scroll notification, the filter shows 0..100 %, "Force table" stays
# disabled, and no effect object is ever asked of DirectInput.

responsive_within $E2E_BOUND_COMMAND "one write per slider notification"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
dinput_script "$(dinput_device "Kestra Wheel" 1)"
start_board 7 --status 8
write_config DEVICE_COM_PORT=7
start_and_wait
check_true "the board is ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"

# group, setting, trackbar, label, board parameter
rows=(
  "Game Main-Gain 2021 2029 17" "Game Spring 2031 2035 18" "Game Friction 2046 2048 19"
  "Game Damper 2049 2053 20" "Game Inertia 2063 2124 21" "Game Constant 2055 2057 22"
  "Game Sine 2059 2067 23" "Desktop Spring 2032 2036 26" "Desktop Damper 2058 2061 27"
  "Stop Spring 2044 2070 28" "Stop Damper 2072 2075 29" "User Spring 2038 2042 30"
  "User Friction 2050 2054 31" "User Damper 2062 2065 32" "User Inertia 2066 2125 33"
)
for row in "${rows[@]}"; do
  read -r group name slider label number <<<"$row"
  hex=$(printf '%02x' "$number")
  from=$(($(transcript_lines) + 1))
  driver set-slider "$slider" 64 >/dev/null
  check_true "$group $name shows 50 %" driver wait-text "$label" "50 %"
  wait_received "$from" "^50 $hex 01 40$" 2
  check_eq "$group $name writes parameter $number, once per notification" "50 $hex 01 40
50 $hex 01 40" "$(received_since "$from" | grep '^50 ')"
done

step "the range ends at 127 (100 %) and 0 (0 %)"
driver set-slider $IDC_MAIN_GAIN_SLIDER 500 >/dev/null
check_true "Main Gain at most 127" driver wait-text $IDC_MAIN_GAIN_VALUE "100 %"
check_answer "its position" 127 get-slider $IDC_MAIN_GAIN_SLIDER
driver set-slider $IDC_MAIN_GAIN_SLIDER 0 >/dev/null
check_true "Main Gain 0" driver wait-text $IDC_MAIN_GAIN_VALUE "0 %"

step "the filter and the force table"
from=$(($(transcript_lines) + 1))
driver set-slider $IDC_FILTER_SLIDER 31 >/dev/null
check_true "Filter 31 shows 100 %" driver wait-text $IDC_FILTER_VALUE "100 %"
check_true "parameter 77 written" wait_received "$from" '^50 4d 01 1f$' 1
driver set-slider $IDC_FILTER_SLIDER 1 >/dev/null
check_true "Filter 1 shows 0 %" driver wait-text $IDC_FILTER_VALUE "0 %"
check_eq "Force table disabled (text, slider, value)" "0 0 0" \
  "$(driver is-enabled $IDC_FORCE_TABLE_TEXT) $(driver is-enabled $IDC_FORCE_TABLE_SLIDER) $(driver is-enabled $IDC_FORCE_TABLE_VALUE)"
end_with_escape
check_eq "no effect object was asked for" "" "$(grep EFFECT "$DINPUT_LOG")"
