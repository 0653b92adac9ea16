# The Advanced Settings dialog with the stand-in board on COM7 and, in
# developer mode, the stand-in drive on COM5: the lists offer what the
# board's mapping leaves free, a pin chosen is written at once, a command
# mode chosen changes the lists before "Ok", Cancel writes nothing more (and
# the unsent mode is forgotten), an encoder text that is no number is
# refused, and "Ok" writes the motor settings to the board and the encoder to
# the drive.

responsive_within $E2E_BOUND_DEFAULTS "\"Ok\" writes four parameters and the drive two; Reset to default waits 400 ms and reads the whole table back"

# The stand-in board's buttons 1..8 sit on D0..D7 (PWM+Dir, encoder 10000
# counts); no analog inputs.
start_board 7 --status 8 --set 72=-1 --set 73=-1
start_drive 5
write_config DEVICE_COM_PORT=7 SM_COM_PORT=5

adv() { driver -w "Advanced Settings" "$@"; }
open_dialog() {
  driver click $IDC_ADVANCED_SETTINGS >/dev/null
  driver wait-window "Advanced Settings" 10 >/dev/null || { fail "the dialog did not open"; scenario_end; }
}
# Whether list $1 offers item $2: yes or no. (The driver is read outside
# pipelines: a pipeline's subshell cannot talk to it.)
offers() {
  local items
  items=$(adv list-combo "$1")
  if grep -qxF -- "$2" <<<"$items"; then echo yes; else echo no; fi
}
# Waits until list $1 offers (want=yes) or no longer offers (want=no) item $2.
wait_offer() {
  local id=$1 item=$2 want=$3 deadline=$((SECONDS + 10)) has
  while :; do
    has=$(offers "$id" "$item")
    [ "$has" = "$want" ] && return 0
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.05
  done
}
board_writes() { received_since "$1" | grep '^50 '; }

step "start in developer mode"
start_and_wait -dev
check_true "the wheel is ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
check_true "the drive link is up" wait_drive 1 '\(read 490\)'

step "the dialog shows the board's settings"
open_dialog
check_eq "Button 1" "1 D0" "$(adv get-combo $IDC_MAPPING_FIRST)"
check_eq "Button 8" "1 D7" "$(adv get-combo $((IDC_MAPPING_FIRST + 7)))"
check_eq "Button 32" "0 None" "$(adv get-combo $((IDC_MAPPING_FIRST + 31)))"
check_eq "command mode" "1 PWM+Dir" "$(adv get-combo $IDC_COMMAND_MODE)"
check_eq "PWM frequency" "0 4 KHz" "$(adv get-combo $IDC_PWM_FREQUENCY)"
check_eq "encoder pulses per revolution" "2500" "$(adv get-text $IDC_ENCODER_PPR)"
# Free for button 32: D8, D9, D12, D13 (D0..D7 are buttons, D10 and D11 the
# PWM+Dir outputs), A0..A5, and the ladders of every analog pin whose pin is
# free (not A6 on D4, not A10 on D10).
expected="None D8 D9 D12 D13 A0 A1 A2 A3 A4 A5"
for pin in A0 A1 A2 A3 A4 A5 A8 A9 A11; do
  for place in 1 2 3 4; do expected+=" $pin ($place)"; done
done
items=$(adv list-combo $((IDC_MAPPING_FIRST + 31)))
check_eq "what Button 32 offers" "$expected" "$(paste -sd' ' <<<"$items")"
check_eq "no game controller: the X axis is off" "0" "$(adv is-enabled $IDC_AXIS_X)"
import -window root "$SCENARIO_DIR/advanced-settings.png"

step "a pin chosen is written at once"
from=$(($(transcript_lines) + 1))
adv select-combo $((IDC_MAPPING_FIRST + 8)) D9 >/dev/null
check_true "P 44 1 9 sent" wait_received "$from" '^50 2c 01 09$' 1
check_true "Button 10 no longer offers D9" wait_offer $((IDC_MAPPING_FIRST + 9)) D9 no
adv select-combo $((IDC_MAPPING_FIRST + 9)) "A3 (1)" >/dev/null
check_true "P 45 1 0x8c sent" wait_received "$from" '^50 2d 01 8c$' 1
check_true "Button 11 no longer offers A3 (1)" wait_offer $((IDC_MAPPING_FIRST + 10)) "A3 (1)" no
check_true "nor the plain A3" wait_offer $((IDC_MAPPING_FIRST + 10)) A3 no
check_true "but still A3 (2)" wait_offer $((IDC_MAPPING_FIRST + 10)) "A3 (2)" yes
check_eq "Button 9" "2 D9" "$(adv get-combo $((IDC_MAPPING_FIRST + 8)))"

step "VNH5019 takes its pins at once; Cancel writes nothing more"
from=$(($(transcript_lines) + 1))
adv select-combo $IDC_COMMAND_MODE VNH5019 >/dev/null
check_true "Button 32 no longer offers D8" wait_offer $((IDC_MAPPING_FIRST + 31)) D8 no
for pin in D9 D12 A0 A1 "A0 (1)" "A8 (2)" "A9 (3)" "A11 (4)"; do
  check_eq "nor $pin" "no" "$(offers $((IDC_MAPPING_FIRST + 31)) "$pin")"
done
check_true "D13 stays" wait_offer $((IDC_MAPPING_FIRST + 31)) D13 yes
adv click 2 >/dev/null
check_true "the dialog closes" driver wait-gone "Advanced Settings" 10
settle 0.5
check_eq "nothing written" "" "$(board_writes "$from")"

step "opened again: the board's pins, the mode it has"
open_dialog
check_eq "Button 9 as written" "2 D9" "$(adv get-combo $((IDC_MAPPING_FIRST + 8)))"
shown=$(adv get-combo $((IDC_MAPPING_FIRST + 9)))
check_eq "Button 10 as written" "A3 (1)" "${shown#* }"
check_eq "command mode not sent, not kept" "1 PWM+Dir" "$(adv get-combo $IDC_COMMAND_MODE)"

step "an encoder text that is no number is refused"
from=$(($(transcript_lines) + 1))
adv set-text $IDC_ENCODER_PPR "1O24" >/dev/null
adv click 1 >/dev/null
check_eq "the message" "Encoder PPR must be a whole number from 1 to 536870911" "$(driver find-msgbox 10)"
check_true "closed with OK" driver click-msgbox IDOK
check_true "the box is gone" driver wait-gone msgbox 5
check_true "the dialog stays" driver wait-window "Advanced Settings" 5
check_eq "nothing written" "" "$(board_writes "$from")"

step "Ok writes the motor settings, then the encoder to the drive"
from=$(($(transcript_lines) + 1))
drive_from=$(($(wc -l <"$DRIVE_TRANSCRIPT") + 1))
adv select-combo $IDC_PWM_FREQUENCY "8 KHz" >/dev/null
adv set-text $IDC_ENCODER_PPR 1024 >/dev/null
adv click $IDC_ENCODER_INVERT >/dev/null
check_answer "Invert checked" "1" -w "Advanced Settings" is-checked $IDC_ENCODER_INVERT
adv click 1 >/dev/null
check_true "the dialog closes" driver wait-gone "Advanced Settings" 10
check_true "four writes" wait_received "$from" '^50 ' 4
check_eq "35, 79, 12 (4096 counts) and 34, in that order" "50 23 01 01
50 4f 01 01
50 0c 04 00 00 10 00
50 22 01 04" "$(board_writes "$from")"
check_true "the drive got 565 = 1024" wait_drive "$drive_from" "565 := 1024"
check_true "then 554 = 1" wait_drive "$drive_from" "554 := 1"
check_eq "in that order" "565 554" \
  "$(tail -n +"$drive_from" "$DRIVE_TRANSCRIPT" | grep -oE '(565|554) := [0-9]+' | cut -d' ' -f1 | paste -sd' ')"

step "exit"
end_with_escape
