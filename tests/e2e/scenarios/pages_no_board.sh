# No board and no port chosen: the page keeps its resource texts, "Advanced
# Settings" explains that the wheel was not found and opens nothing, and the
# checkboxes and the port list still work.

responsive_within $E2E_BOUND_COMMAND "no board"

step "start without config.ini"
start_and_wait
check_answer "status line" "Disconnected" get-text $IDC_DEVICE_STATUS
check_answer "firmware version not read" "0.0" get-text $IDC_FIRMWARE_VERSION
check_answer "software version" "0.21" get-text $IDC_SOFTWARE_VERSION
check_match "no port chosen" '^0 None$' "$(driver get-combo $IDC_WHEEL_PORT)"

step "Advanced Settings without a board"
driver click $IDC_ADVANCED_SETTINGS >/dev/null
text=$(driver find-msgbox 10)
check_eq "the message" "Could not find the wheel device, please connect it and check firmware version" "$text"
check_true "it can be closed" driver click-msgbox IDOK
check_true "the box is gone" driver wait-gone msgbox 5
check_true "the window stays" driver wait-window "Kestra Wheel Configuration" 5

step "check boxes reach config.ini"
driver click $IDC_AUTO_UPDATE >/dev/null
driver click $IDC_DETECT_GAME >/dev/null
# A click is posted; its effect is waited for, not slept for.
check_answer "update check box" "1" is-checked $IDC_AUTO_UPDATE
check_answer "game detection box" "1" is-checked $IDC_DETECT_GAME
end_with_escape
check_true "FLAGS=3 saved" grep -q 'FLAGS=3' "$SCENARIO_DIR/config.ini"
