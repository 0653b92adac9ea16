# No board and no port chosen: the page keeps its resource texts, "Advanced
# Settings" explains that the wheel was not found and opens nothing, and the
# checkboxes and the port list still work.

responsive_within $E2E_BOUND_COMMAND "no board"

step "start without config.ini"
start_and_wait
check_eq "status line" "Disconnected" "$(driver get-text 2088)"
check_eq "firmware version not read" "0.0" "$(driver get-text 2077)"
check_eq "software version" "0.21" "$(driver get-text 2095)"
check_match "no port chosen" '^0 None$' "$(driver get-combo 1041)"

step "Advanced Settings without a board"
driver click 2123 >/dev/null
text=$(driver find-msgbox 10)
check_eq "the message" "Could not find the wheel device, please connect it and check firmware version" "$text"
check_true "it can be closed" driver click-msgbox IDOK
check_true "the box is gone" driver wait-gone msgbox 5
check_true "the window stays" driver wait-window "Kestra Wheel Configuration" 5

step "check boxes reach config.ini"
driver click 2041 >/dev/null
driver click 2128 >/dev/null
# A click is posted; its effect is waited for, not slept for.
check_eq "update check box" "1" "$(wait_answer 1 is-checked 2041)"
check_eq "game detection box" "1" "$(wait_answer 1 is-checked 2128)"
end_with_escape
check_true "FLAGS=3 saved" grep -q 'FLAGS=3' "$SCENARIO_DIR/config.ini"
