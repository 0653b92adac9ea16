# "Advanced Settings" with a port chosen but no board behind it: refused with
# the message, no dialog, and the page goes on working.

responsive_within $E2E_BOUND_COMMAND "the refusal"
write_config DEVICE_COM_PORT=7

step "start with nothing on COM7"
start_and_wait
check_answer "status line" "Disconnected" get-text $IDC_DEVICE_STATUS

step "Advanced Settings is refused"
driver click $IDC_ADVANCED_SETTINGS >/dev/null
check_eq "the message" "Could not find the wheel device, please connect it and check firmware version" \
  "$(driver find-msgbox 10)"
check_true "closed with OK" driver click-msgbox IDOK
check_true "the box is gone" driver wait-gone msgbox 5
check_eq "no dialog opened" "" "$(driver list-windows | grep 'Advanced Settings')"
end_with_escape
