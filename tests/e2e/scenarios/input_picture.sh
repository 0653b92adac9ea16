# The wheel-state picture on the main page, checked on screenshots: the
# pointer turned by X (900 degrees of steering, from the stand-in board),
# pressed buttons filled red (button 33 never shows), pedal bars of Y, Z and
# X rotation as high as their values say.

responsive_within $E2E_BOUND_COMMAND "the picture drawn off screen and copied"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
start_board 7 --status 8
write_config DEVICE_COM_PORT=7
wheel() { dinput_script "$(dinput_device "Kestra Wheel" 1 "$@")"; }
wheel x=32767 y=65535 z=32768 rx=0 pressed=0,2,31,32

start_and_wait
check_true "the board is ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
check_answer "900 degrees of steering" "900 °" get-text $IDC_MAX_ANGLE_VALUE

red() { [ "$(pixel "$1" "$2")" = "255,0,0" ]; }
not_red() { ! red "$1" "$2"; }
# Red pixels of a pedal's bar: column x inside the frame, rows 141..178. A bar
# of height h fills rows 180-h..178.
bar() { red_in_column "$1" 141 178; }

# Red pixels of row y from x0 to x1 (inclusive).
red_in_row() {
  convert "$SHOT" -crop "$(($3 - $2 + 1))x1+$((PAGE_X + $2))+$((PAGE_Y + $1))" +repage txt:- 2>/dev/null |
    grep -c '#FF0000'
}
# At 0 degrees the pointer's back edge lies across row 145 and its tip points
# down to (30, 175).
centred() { [ "$(red_in_row 145 15 45)" -ge 25 ]; }
step "X at the centre: pointer at 0 degrees, buttons 1, 3 and 32, bars 37, 18, 0"
check_true "the pointer's back edge lies across" wait_picture centred
check_true "the tip points down" red 30 173
check_true "button 1 filled" red 122 150
check_true "button 2 not" not_red 147 150
check_true "button 3 filled" red 172 150
check_true "button 32 filled" red 297 219
check_eq "Y bar (65535: height 38)" 37 "$(bar 64)"
check_eq "Z bar (32768: height 19)" 18 "$(bar 84)"
check_eq "X rotation bar (0)" 0 "$(bar 104)"
check_eq "nothing below button 32's row (button 33)" "0" \
  "$(convert "$SHOT" -crop "200x10+$((PAGE_X + 120))+$((PAGE_Y + 229))" +repage txt:- | grep -c '#FF0000')"
cp "$SHOT" "$SCENARIO_DIR/centre.png"

# X = 0 with 900: -449 degrees, turned by -359: the tip points right to
# (49, 155) and the back edge stands upright at x = 20.
turned() { [ "$(red_in_column 20 140 170)" -ge 20 ]; }
step "X at 0: the pointer turns, the buttons and bars follow"
wheel x=0 y=0 z=65534 rx=20000 pressed=1
check_true "the back edge stands upright" wait_picture turned
check_true "the tip points right" red 47 155
check_true "no longer across row 145" test "$(red_in_row 145 15 45)" -lt 10
check_true "button 1 released" not_red 122 150
check_true "button 2 filled" red 147 150
check_eq "Y bar (0)" 0 "$(bar 64)"
check_eq "Z bar (65534: height 37)" 36 "$(bar 84)"
check_eq "X rotation bar (20000: height 11)" 10 "$(bar 104)"
cp "$SHOT" "$SCENARIO_DIR/turned.png"

step "hidden and shown again, the still controller's picture is painted again"
frame=$(driver wait-window "Kestra Wheel Configuration" 5)
driver minimize >/dev/null
driver wait-gone "Kestra Wheel Configuration" 10 || fail "frame still shown after minimising"
driver -w "0x$frame" post-command $IDM_RESTORE >/dev/null
wait_window "Kestra Wheel Configuration" 10
button2() { red 147 150; }
check_true "button 2 filled again" wait_picture button2
check_eq "Z bar again" 36 "$(bar 84)"
check_true "the pointer again" test "$(red_in_column 20 140 170)" -ge 20
end_with_escape
