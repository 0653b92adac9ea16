# "Reset to default" with the stand-in board holding the user's tuning: asked
# first (No sends nothing); on Yes the page and the dialog show the board's
# defaults at once and the profile keeps the tuning.

responsive_within $E2E_BOUND_DEFAULTS "Reset to default: \"D\", 400 ms, then the whole table read back"
start_board 7 --status 8 --set 8=1234 --set 17=77 --set 34=7
write_config DEVICE_COM_PORT=7
start_and_wait
check_true "the wheel is ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"

step "Reset to default: No, then Yes"
driver click $IDC_ADVANCED_SETTINGS >/dev/null && driver wait-window "Advanced Settings" 10 >/dev/null
for answer in IDNO IDYES; do
  from=$(($(transcript_lines) + 1))
  driver -w "Advanced Settings" post-command 3 >/dev/null
  check_eq "asked" "Reset every setting of the wheel to its default?" "$(driver find-msgbox 10)"
  driver click-msgbox "$answer" >/dev/null
  [ $answer = IDNO ] && settle 0.5 && check_eq "No sends nothing" "" "$(received_since "$from")"
done
check_true "\"D\" sent" wait_received "$from" '^44$' 1
check_answer "encoder Invert" "0" -w "Advanced Settings" is-checked $IDC_ENCODER_INVERT
check_answer "angle" "900 °" get-text $IDC_MAX_ANGLE_VALUE
check_eq "Main Gain, Invert, Manual" "50 % 0 0" "$(driver get-text $IDC_MAIN_GAIN_VALUE) $(driver is-checked $IDC_INVERT) $(driver is-checked $IDC_MANUAL)"
driver -w "Advanced Settings" click 2 >/dev/null
end_with_escape
check_match "the profile kept its tuning" '^PROFILE=Default,NoLife.exe,7,1234,77,' "$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep PROFILE)"
