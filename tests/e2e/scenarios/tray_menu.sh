# The tray menu on a desktop that has a notification area (Wine's virtual
# desktop "shell" with its taskbar): the wheel icon shows in the tray, a
# right-click opens the menu at the cursor with "Restore" in bold, and the
# menu works from the keyboard: "Calibrate" sends "r" without restoring,
# "Live Forces" opens its window,
# "Exit" ends the program. Checked on the screen's pixels, and the screenshot
# is kept (tray-menu.png).

responsive_within $E2E_BOUND_COMMAND "the tray menu is modal"
start_board 7 --status 8
write_config DEVICE_COM_PORT=7
cp -f "$TS_EXE" "$SCENARIO_DIR/Tillerset.exe"
start_exe explorer /desktop=shell,1024x768 Tillerset.exe
driver use-desktop shell >/dev/null || { fail "no desktop \"shell\""; scenario_end; }
wait_window "Kestra Wheel Configuration" 30 || scenario_end
frame=$(driver wait-window "Kestra Wheel Configuration" 5)

# Pixels of a screen area as "x y r g b" lines (8-bit channels).
pixels() {
  local shot=$1 geometry=$2
  convert "$shot" -crop "$geometry" +repage -depth 8 txt:- |
    sed -n 's/^\([0-9]*\),\([0-9]*\): *(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3 \4 \5/p'
}
# Mean length of the horizontal runs of dark pixels in each of N equal bands
# of rows: bold text has thicker strokes, so longer runs.
dark_runs() {
  awk -v bands="$1" -v height="$2" '
    { dark = ($3 + $4 + $5) < 300
      band = int($2 * bands / height)
      if (dark) { n[band]++; if (!(was && py == $2 && px == $1 - 1)) runs[band]++ }
      was = dark; px = $1; py = $2 }
    END { for (b = 0; b < bands; b++) printf "%d %.2f\n", n[b], runs[b] ? n[b] / runs[b] : 0 }'
}

step "minimise into the tray"
minimise_to_tray
settle 0.5
import -window root "$SCENARIO_DIR/tray.png"
# The taskbar runs along the bottom of the 1024x768 desktop; the icon sits at
# its right end. The wheel's red top marker must be there.
red=$(pixels "$SCENARIO_DIR/tray.png" 48x24+976+744 | awk '$3 > 150 && $4 < 90 && $5 < 100' | wc -l)
check_true "the wheel icon shows in the tray ($red red pixels)" test "$red" -ge 2

step "right-click on the icon"
driver move-cursor 900 700
driver -w "0x$tray" post-message "registered:Server tray notification" 131 0x205  # WM_RBUTTONUP
driver wait-window "class:#32768" 10 >/dev/null || fail "no menu after the right-click"
read -r mx my mw mh _ < <(driver -w "class:#32768" window-rect)
check_true "menu at the cursor (${mx},${my} ${mw}x${mh})" test "$mx" -le 900 -a $((mx + mw)) -ge 900 -a $((my + mh)) -ge 690
settle 0.5
shot=$SCENARIO_DIR/tray-menu.png
import -window root "$shot"
geometry=$((mw - 4))x$((mh - 4))+$((mx + 2))+$((my + 2))
light=$(pixels "$shot" "$geometry" | awk '($3 + $4 + $5) > 600' | wc -l)
check_true "the menu is drawn there ($light light pixels of $(((mw - 4) * (mh - 4))))" \
  test $((light * 100)) -ge $(((mw - 4) * (mh - 4) * 70))
mapfile -t rows < <(pixels "$shot" "$geometry" | dark_runs 6 $((mh - 4)))
check_eq "six items with text" 6 "$(printf '%s\n' "${rows[@]}" | awk '$1 >= 20' | wc -l)"
check_true "the first item, Restore, is bold (runs: ${rows[*]})" \
  awk -v r0="${rows[0]#* }" -v r1="${rows[1]#* }" -v r2="${rows[2]#* }" -v r3="${rows[3]#* }" \
  'BEGIN { m = r1; if (r2 > m) m = r2; if (r3 > m) m = r3; exit !(r0 > 1.3 * m) }'

step "Calibrate, chosen with the keyboard"
from=$(($(transcript_lines) + 1))
driver -w "class:#32768" send-key 0x28 + -w "class:#32768" send-key 0x28 + -w "class:#32768" send-key RETURN >/dev/null
driver wait-gone "class:#32768" 10 || fail "the menu stayed open"
check_true "r sent to the board" wait_received "$from" '^72$' 1
check_answer "frame still hidden" 0 -w "0x$frame" is-shown
check_answer "icon still there" 1 tray-icon "0x$tray" $kTrayIconId

step "Live Forces, chosen with the keyboard"
driver -w "0x$tray" post-message "registered:Server tray notification" 131 0x205
driver wait-window "class:#32768" 10 >/dev/null || fail "no menu for Live Forces"
driver -w "class:#32768" send-key 0x28 + -w "class:#32768" send-key 0x28 + -w "class:#32768" send-key 0x28 \
  + -w "class:#32768" send-key RETURN >/dev/null
check_true "the Live Forces window opens" driver -t 10 wait-window "Live Forces"
driver -w "Live Forces" click 2 >/dev/null
check_true "and closes" driver wait-gone "Live Forces" 10

step "Exit, chosen with the keyboard"
driver -w "0x$tray" post-message "registered:Server tray notification" 131 0x205
driver wait-window "class:#32768" 10 >/dev/null || fail "no menu after the second right-click"
driver -w "class:#32768" send-key 0x26 + -w "class:#32768" send-key RETURN >/dev/null  # up wraps to Exit
tray_gone() { [ -z "$(driver find-hidden class:TS_INTERFACE_TRAY 0 2>/dev/null)" ]; }
wait_for 10 tray_gone
check_answer "icon removed" 0 tray-icon "0x$tray" $kTrayIconId
frame_gone() { ! driver -t 0 -w "0x$frame" get-title >/dev/null 2>&1; }
check_true "frame gone" wait_for 10 frame_gone
check_true "config.ini written at exit" wait_for 10 grep -qs 'FLAGS=' "$SCENARIO_DIR/config.ini"
