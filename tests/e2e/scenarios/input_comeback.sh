# Controllers that fail and come back: one that could not be activated at
# start (its objects not enumerable) is activated by picking it again; an
# unplugged one is taken for lost input whatever its acquire answers
# (DIERR_UNPLUGGED, DIERR_NOTACQUIRED, DIERR_OTHERAPPHASPRIO, E_FAIL), and is
# read again when it is back.

responsive_within $E2E_BOUND_COMMAND "controllers that fail and come back"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
wheel() { dinput_device "Kestra Wheel" 1 "$@"; }
write_config "USED_DEVICE_GUID=$(dinput_guid 1)"
dinput_script "$(wheel x=100 objects=fail)"

step "the wheel cannot be activated at start"
start_and_wait -dev
check_true "the failure is logged" wait_log "InitGamingInput: the controller could not be activated"
check_eq "it is listed and chosen" "0 Kestra Wheel" "$(driver get-combo 1042)"
check_eq "its axes are off" 0 "$(driver is-enabled 1010)"

step "it works again and the user picks it again"
dinput_script "$(wheel x=100)"
driver select-combo 1042 "Kestra Wheel" >/dev/null
check_eq "its axes are the user's again" 1 "$(wait_answer 1 is-enabled 1010)"
check_true "it is read" driver wait-text 1010 100

generation=1
for answer in unplugged notacquired otherapp fail; do
  step "unplugged, acquire answers $answer"
  lost_before=$(log_text | grep -c 'ReadGamingInput: input lost')
  dinput_script "$(wheel x=200 lost=1 acquire=$answer generation=$generation)"
  for i in $(seq 1 100); do
    [ "$(log_text | grep -c 'ReadGamingInput: input lost')" -gt "$lost_before" ] && break
    sleep 0.05
  done
  check_true "taken for lost input" test "$(log_text | grep -c 'ReadGamingInput: input lost')" -gt "$lost_before"
  generation=$((generation + 1))
  dinput_script "$(wheel x=$((300 + generation)) generation=$generation)"
  device_change
  check_true "read again when it is back" driver wait-text 1010 $((300 + generation))
done
end_with_escape
