# The linearity editor of the X axis at 4096 (L = 1): the curve on the
# screen is a straight diagonal (checked on the screenshot's pixels), and a
# move of the trackbar is written to the board at once. Without a game
# controller the "Linearity" buttons are off, so the editor is opened with
# the button's command.

responsive_within $E2E_BOUND_DIALOG "the Advanced Settings opening: fifty controls and 36 lists made"
start_board 7 --status 8 --set 72=-1 --set 73=-1 --set 80=4096
write_config DEVICE_COM_PORT=7

# Pixels of a screen area as "x y r g b" lines (8-bit channels).
pixels() {
  convert "$1" -crop "$2" +repage -depth 8 txt:- |
    sed -n 's/^\([0-9]*\),\([0-9]*\): *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3 \4 \5/p'
}

step "start"
start_and_wait
check_true "the wheel is ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
driver click $IDC_ADVANCED_SETTINGS >/dev/null
driver wait-window "Advanced Settings" 10 >/dev/null || { fail "no Advanced Settings"; scenario_end; }
check_answer "Linearity of X is off without a controller" "0" -w "Advanced Settings" is-enabled $IDC_LINEARITY_X

step "the editor of the X axis"
driver -w "Advanced Settings" post-command $IDC_LINEARITY_X >/dev/null
driver wait-window "Linearity Editor" 10 >/dev/null || { fail "no Linearity Editor"; scenario_end; }
ed() { driver -w "Linearity Editor" "$@"; }
check_eq "value 4096 shows 1.00" "1.00" "$(ed get-text $IDC_LINEARITY_VALUE)"
check_eq "trackbar at 4096" "4096" "$(ed get-slider $IDC_LINEARITY_SLIDER)"

step "the curve is a straight diagonal"
read -r wx wy ww wh cw ch < <(ed window-rect)
border=$(((ww - cw) / 2))
cx=$((wx + border))
cy=$((wy + wh - ch - border))
w=$((cw - 30))
h=$((ch - 100))
settle 0.5
shot=$SCENARIO_DIR/linearity-editor.png
import -window root "$shot"
# Inside the graph frame the curve is the blue, the grid dark grey: every
# blue pixel must lie on the line from (17, h + 3) to (w + 13, 7).
inside="$((w - 4))x$((h - 4))+$((cx + 17))+$((cy + 7))"
result=$(pixels "$shot" "$inside" | awk -v w="$w" -v h="$h" '
  { dark = $5 > 150 && $3 < 80; if (dark) { col[$1]++; row[$2]++; px[NR] = $1; py[NR] = $2 } }
  END {
    for (i in px) {
      x = px[i]; y = py[i]
      if (col[x] > (h - 4) * 0.6 || row[y] > (w - 4) * 0.6) continue
      X = x + 17; Y = y + 7
      expected = h + 3 - (X - 17) * (h - 4) / (w - 4)
      d = Y - expected; if (d < 0) d = -d
      if (d > 3) off++; else { on++; seen[x] = 1 }
    }
    n = 0; for (x in seen) n++
    printf "%d %d %d\n", on + 0, off + 0, n
  }')
read -r on off columns <<<"$result"
check_true "curve pixels on the diagonal ($on on, $off off)" test "$on" -ge $((w / 2)) -a "$off" -eq 0
check_true "the curve crosses the graph ($columns of $((w - 4)) columns)" test "$columns" -ge $((w * 3 / 4))

step "moving the trackbar writes at once"
from=$(($(transcript_lines) + 1))
ed set-slider $IDC_LINEARITY_SLIDER 4352 >/dev/null
check_true "P 80 2 0x1100 sent" wait_received "$from" '^50 50 02 11 00$' 1
check_true "the label follows" ed wait-text $IDC_LINEARITY_VALUE "1.06"
ed click 1 >/dev/null
check_true "the editor closes with OK" driver wait-gone "Linearity Editor" 10
check_true "the Advanced Settings stay" driver wait-window "Advanced Settings" 5
driver -w "Advanced Settings" click 2 >/dev/null
check_true "and close with Cancel" driver wait-gone "Advanced Settings" 10
end_with_escape
