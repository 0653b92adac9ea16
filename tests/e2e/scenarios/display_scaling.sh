# LogPixels 120 and 144: the wheel-state picture is drawn below "Device Status :" and
# "External Gain :", neither painted over (TS_E2E_SCREEN=2048x1536x24 shows all at 144);
# the Live Forces window keeps its graph above its controls.

responsive_within $E2E_BOUND_COMMAND "a page at any display scaling"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
dinput_script "$(dinput_device "Kestra Wheel" 1 x=32767 pressed=0,31)"
start_board 7
write_config DEVICE_COM_PORT=7
# Pixels of the last screenshot in screen rectangle "x y w h" matching a regex.
count_in() { read -r x0 y0 w0 h0 <<<"$1" && convert "$SHOT" -crop "${w0}x${h0}+$x0+$y0" +repage txt:- | grep -cE "$2"; }
dark='#[0-4][0-9A-F][0-4][0-9A-F][0-4][0-9A-F] '

for dpi in 120 144; do
  step "LogPixels $dpi"
  timeout 60 "$TS_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
  start_and_wait -dev
  check_true "the board is ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
  read -r _ gain_y _ gain_h <<<"$(driver control-rect 2118)"
  read -r x y w h _ <<<"$(driver window-rect)"
  below=$((gain_y + gain_h))
  drawn() { screenshot "$SCENARIO_DIR/main-$dpi.png" && [ "$(count_in "$x $below $w $((y + h - below))" '#FF0000')" -ge 40 ]; }
  check_true "the picture is drawn (pointer and buttons 1 and 32 red)" wait_picture drawn
  convert "$SHOT" -crop "${w}x${h}+${x}+${y}" +repage "$SCENARIO_DIR/frame-$dpi.png" 2>/dev/null
  check_eq "nothing of it above the end of \"External Gain :\"" 0 "$(count_in "$x $y $w $((below - y))" '#FF0000')"
  for id in 2085 2118; do  # "Device Status :", "External Gain :"
    check_true "text $id still shows" test "$(count_in "$(driver control-rect $id)" "$dark")" -ge 20
  done
  # Live Forces: the graph above the controls, every control inside the window.
  step "Live Forces at $dpi"
  driver click 2201 >/dev/null
  driver wait-window "Live Forces" 10 >/dev/null || fail "no Live Forces at $dpi"
  read -r fx fy fw fh _ <<<"$(driver -w "Live Forces" window-rect)"
  read -r _ gy _ gh <<<"$(driver -w "Live Forces" control-rect 2202)"
  read -r sx sy sw sh <<<"$(driver -w "Live Forces" control-rect 2208)"
  check_true "the graph ends above \"Save CSV...\" ($((gy + gh)) <= $sy)" test $((gy + gh)) -le "$sy"
  check_true "\"Save CSV...\" inside the window" test $((sx + sw)) -le $((fx + fw)) -a $((sy + sh)) -le $((fy + fh))
  screenshot "$SCENARIO_DIR/live-forces-$dpi.png" >/dev/null
  driver -w "Live Forces" click 2 >/dev/null
  driver wait-gone "Live Forces" 10 >/dev/null
  end_with_escape
done
