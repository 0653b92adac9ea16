# What a newcomer meets on screen, in developer mode with the stand-in board
# and a game controller from the DirectInput stand-in: a help line under the
# pointer on a slider, two-digit button numbers clear of their boxes in the
# wheel-state picture, and the strip's texts whole (screenshots kept).

responsive_within $E2E_BOUND_DRIVE "the strip's drive link tried on a port with no drive"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
start_board 7 --status 8
write_config DEVICE_COM_PORT=7
dinput_script "$(dinput_device "Kestra Wheel" 1 x=32767 pressed=9)"

start_and_wait -dev
check_true "the board is ready" driver -t 10 wait-text 2088 "Ready"

step "a help line under the pointer on the Sine slider"
origin=$(driver client-origin)
# The slider's middle, dialog units (329, 142) of the main page (643 x 235).
pages=$(driver list-pages)
read -r _ _ page_w page_h <<<"$pages"
x=$((${origin% *} + 329 * page_w / 643))
y=$((${origin#* } + 142 * page_h / 235))
driver move-cursor "$x" "$y" >/dev/null
settle 0.3
driver move-cursor $((x + 3)) $((y + 1)) >/dev/null
# A shown tooltip window of the program (its text does not cross to another
# process under Wine; the screenshot shows it, the unit tests check it).
tip_shown() {
  local windows
  windows=$(driver list-windows)
  grep -q " tooltips_class32 " <<<"$windows"
}
for _ in $(seq 1 100); do tip_shown && break; sleep 0.1; done
check_true "the Sine slider's line" tip_shown
import -window root "$SCENARIO_DIR/tooltip.png"
driver move-cursor 0 0 >/dev/null

step "two-digit button numbers stay clear of their frames"
# Pixels that are not white in page column x from y0 to y1 (inclusive).
dark_in_column() {
  convert "$SHOT" -crop "1x$(($3 - $2 + 1))+$((PAGE_X + $1))+$((PAGE_Y + $2))" +repage txt:- 2>/dev/null |
    grep -vc -e '#FFFFFF' -e '^#'
}
screenshot "$SCENARIO_DIR/page.png"
for i in 11 16 17 24 25 32; do  # released buttons of rows 2 to 4, both ends
  x=$((120 + (i - 1) % 8 * 25))
  y=$((140 + (i - 1) / 8 * 23))
  for column in $((x + 1)) $((x + 2)) $((x + 17)) $((x + 18)); do
    check_eq "button $i, column $((column - x)) of its box" "0" "$(dark_in_column "$column" $((y + 1)) $((y + 16)))"
  done
done

step "exit"
end_with_escape
