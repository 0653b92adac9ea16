# The linearity editor's markers follow the game controller: with the
# DirectInput stand-in reporting the board's wheel, the "Linearity" button of
# X is on, and the editor's input bar and output bar (red) grow and shrink with
# the X value the controller reports, read by the editor's own 33 ms timer.

responsive_within $E2E_BOUND_DIALOG "the Advanced Settings opening: fifty controls and 36 lists made"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
wheel() { dinput_script "$(dinput_device "Kestra Wheel" 1 axes=X,Y,Z "$@")"; }
wheel x=16384

start_board 7 --status 8 --set 80=4096
write_config DEVICE_COM_PORT=7 "USED_DEVICE_GUID=$(dinput_guid 1)"

# Red pixels of a screen area.
red_pixels() {
  convert "$1" -crop "$2" +repage -depth 8 txt:- |
    awk -F'[(),]' '/^[0-9]/ { if ($3 > 200 && $4 < 60 && $5 < 60) n++ } END { print n + 0 }'
}

step "start with the wheel as game controller"
start_and_wait
check_true "the wheel is ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
driver click $IDC_ADVANCED_SETTINGS >/dev/null
driver wait-window "Advanced Settings" 10 >/dev/null || { fail "no Advanced Settings"; scenario_end; }
check_answer "Linearity of X is on" "1" -w "Advanced Settings" is-enabled $IDC_LINEARITY_X
check_answer "Linearity of Rx is off: the wheel has no Rx" "0" -w "Advanced Settings" is-enabled $IDC_LINEARITY_RX
driver -w "Advanced Settings" click $IDC_LINEARITY_X >/dev/null
driver wait-window "Linearity Editor" 10 >/dev/null || { fail "no Linearity Editor"; scenario_end; }

# The bars as the editor draws them: the input bar from x 16 to 16 + w * X / 65535
# between y h + 10 and h + 20, the output bar at x 1..9 up from y h + 5.
read -r wx wy ww wh cw ch < <(driver -w "Linearity Editor" window-rect)
border=$(((ww - cw) / 2))
cx=$((wx + border))
cy=$((wy + wh - ch - border))
w=$((cw - 30))
h=$((ch - 100))
bars() {
  settle 0.5
  local shot=$SCENARIO_DIR/markers-$1.png
  import -window root "$shot"
  INPUT_BAR=$(red_pixels "$shot" "$((w + 4))x1+$((cx + 14))+$((cy + h + 15))")
  OUTPUT_BAR=$(red_pixels "$shot" "1x$((h + 4))+$((cx + 5))+$((cy + 2))")
}
near() { [ "$1" -ge $(($2 - 4)) ] && [ "$1" -le $(($2 + 4)) ]; }

step "X at a quarter"
bars quarter
check_true "input bar a quarter of $w ($INPUT_BAR)" near "$INPUT_BAR" $((w * 16384 / 65535))
check_true "output bar a quarter of $h ($OUTPUT_BAR)" near "$OUTPUT_BAR" $((h * 16384 / 65535))

step "X at three quarters"
wheel x=49151
bars three-quarters
check_true "input bar three quarters of $w ($INPUT_BAR)" near "$INPUT_BAR" $((w * 49151 / 65535))
check_true "output bar three quarters of $h ($OUTPUT_BAR)" near "$OUTPUT_BAR" $((h * 49151 / 65535))

driver -w "Linearity Editor" click 1 >/dev/null
check_true "the editor closes" driver wait-gone "Linearity Editor" 10
driver -w "Advanced Settings" click 2 >/dev/null
check_true "the Advanced Settings close" driver wait-gone "Advanced Settings" 10
end_with_escape
