# "Reset to default" in the Advanced Settings with the stand-in board on
# COM7 holding the user's own tuning: it asks first (No sends nothing); on
# Yes the board gets "D" and everything it then has is on screen at once:
# the main page's angle, gains, "Invert" and "Manual", the dialog's encoder
# "Invert". The selected profile keeps the user's values, in the file too.

responsive_within $E2E_BOUND_DEFAULTS "Reset to default: \"D\", 400 ms, then the whole table read back"

# 1234 degrees, Main Gain 77 (60 %), Spring 66 (51 %), Invert + Manual +
# the encoder turned.
start_board 7 --status 8 --set 8=1234 --set 17=77 --set 18=66 --set 34=7
write_config DEVICE_COM_PORT=7

adv() { driver -w "Advanced Settings" "$@"; }
press_reset() {
  adv post-command 3 >/dev/null
  check_eq "the question" "Reset every setting of the wheel to its default?" "$(driver find-msgbox 10)"
}

step "start: the page shows the board's tuning"
start_and_wait
check_true "the wheel is ready" driver -t 10 wait-text 2088 "Ready"
check_eq "angle" "1234" "$(driver get-slider 2037)"
check_eq "Main Gain" "60 %" "$(driver get-text 2029)"
check_eq "Invert" "1" "$(driver is-checked 2121)"
check_eq "Manual" "1" "$(driver is-checked 2126)"
driver click 2123 >/dev/null
driver wait-window "Advanced Settings" 10 >/dev/null || { fail "the dialog did not open"; scenario_end; }
check_eq "encoder Invert" "1" "$(adv is-checked 1079)"

step "No: nothing sent, nothing changed"
from=$(($(transcript_lines) + 1))
press_reset
check_true "answered No" driver click-msgbox IDNO
check_true "the box is gone" driver wait-gone msgbox 5
settle 0.5
check_eq "nothing sent" "" "$(received_since "$from" | grep -E '^(44|50)( |$)')"
check_eq "angle kept" "1234" "$(driver get-slider 2037)"

step "Yes: the board's defaults on every page"
from=$(($(transcript_lines) + 1))
press_reset
check_true "answered Yes" driver click-msgbox IDYES
check_true "\"D\" sent" wait_received "$from" '^44$' 1
check_eq "the dialog's encoder Invert" "0" "$(wait_answer 0 -w "Advanced Settings" is-checked 1079)"
check_eq "angle" "900" "$(wait_answer 900 get-slider 2037)"
check_eq "angle text" "900 °" "$(driver get-text 2023)"
check_eq "Main Gain" "50 %" "$(driver get-text 2029)"
check_eq "Spring" "39 %" "$(driver get-text 2035)"
check_eq "Invert" "0" "$(driver is-checked 2121)"
check_eq "Manual" "0" "$(driver is-checked 2126)"
import -window root "$SCENARIO_DIR/after-reset.png"
adv click 2 >/dev/null
check_true "the dialog closes" driver wait-gone "Advanced Settings" 10

step "exit: the profile kept the user's values"
end_with_escape
check_match "Default keeps 1234, 77, 66 and its flags" '^PROFILE=Default,NoLife.exe,7,1234,77,66,' \
  "$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep '^PROFILE=')"
