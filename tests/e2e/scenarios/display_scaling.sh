# Display scaling (LogPixels 120 and 144, as most laptops run): the
# wheel-state picture is placed from the page's layout and scaled with it, so
# it is drawn inside the Status box, below "Device Status :" and "External
# Gain :", and neither text is painted over. The frame's pictures (main
# page and developer strip) are kept for a look (TS_E2E_SCREEN=2048x1536x24
# shows all of it at 144 DPI).

responsive_within $E2E_BOUND_COMMAND "a page at any display scaling"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
dinput_script "$(dinput_device "Kestra Wheel" 1 x=32767 pressed=0,31)"
start_board 7
write_config DEVICE_COM_PORT=7

# Pixels of the last screenshot in a screen rectangle "x y w h" whose colour
# (ImageMagick's "#RRGGBB") matches the regex.
count_in() {
  local x y w h
  read -r x y w h <<<"$1"
  convert "$SHOT" -crop "${w}x${h}+${x}+${y}" +repage txt:- 2>/dev/null | grep -cE "$2"
}
red='#FF0000'
dark='#[0-4][0-9A-F][0-4][0-9A-F][0-4][0-9A-F] '

for dpi in 120 144; do
  step "LogPixels $dpi"
  timeout 60 "$TS_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1 ||
    fail "cannot set LogPixels"
  start_and_wait -dev
  check_true "the board is ready" driver -t 10 wait-text 2088 "Ready"
  status=$(driver control-rect 2085)
  gain=$(driver control-rect 2118)
  read -r _ gain_y _ gain_h <<<"$gain"
  page=$(driver window-rect)
  read -r page_x page_y page_w page_h _ <<<"$page"
  above="$page_x $page_y $page_w $((gain_y + gain_h - page_y))"
  below="$page_x $((gain_y + gain_h)) $page_w $((page_y + page_h - gain_y - gain_h))"
  drawn() { screenshot "$SCENARIO_DIR/main-$dpi.png" && [ "$(count_in "$below" "$red")" -ge 40 ]; }
  check_true "the picture is drawn (pointer and buttons 1 and 32 red)" wait_picture drawn
  convert "$SHOT" -crop "${page_w}x${page_h}+${page_x}+${page_y}" +repage "$SCENARIO_DIR/frame-$dpi.png" 2>/dev/null
  check_eq "nothing of it above the end of \"External Gain :\"" 0 "$(count_in "$above" "$red")"
  check_true "\"Device Status :\" still shows" test "$(count_in "$status" "$dark")" -ge 20
  check_true "\"External Gain :\" still shows" test "$(count_in "$gain" "$dark")" -ge 20
  driver -w "Kestra Wheel Configuration" send-key ESCAPE >/dev/null
  wait_exit "$PROGRAM_PID" 15
done
