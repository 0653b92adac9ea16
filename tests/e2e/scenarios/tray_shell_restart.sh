# A shell that restarts forgets every icon and says "TaskbarCreated": the
# hidden frame's icon is added again; when the new shell does not take it,
# the frame comes back minimised on the taskbar instead of staying hidden
# with no way back.

responsive_within $E2E_BOUND_COMMAND "the icon added again"
start_and_wait
frame=$(driver wait-window "Kestra Wheel Configuration" 5)
driver minimize
driver wait-gone "Kestra Wheel Configuration" 10 || fail "frame still shown after minimising"
tray=$(driver find-hidden class:TS_INTERFACE_TRAY 10)
check_answer "icon in the notification area" 1 tray-icon "0x$tray" $kTrayIconId

step "the shell restarts and takes the icon again"
driver tray-delete "0x$tray" $kTrayIconId
check_answer "icon lost" 0 tray-icon "0x$tray" $kTrayIconId
driver -w "0x$tray" post-message registered:TaskbarCreated 0 0
check_answer "icon added again" 1 tray-icon "0x$tray" $kTrayIconId
check_answer "frame still hidden" 0 -w "0x$frame" is-shown

step "the same message while the shell still holds the icon"
driver -w "0x$tray" post-message registered:TaskbarCreated 0 0
settle 0.5
check_answer "frame still hidden" 0 -w "0x$frame" is-shown
check_answer "icon still there" 1 tray-icon "0x$tray" $kTrayIconId

step "the shell restarts and refuses the icon"
shell_out=$SCENARIO_DIR/refuse-tray.out
timeout -k 2 60 "$TS_WINE" "$TS_DRIVER" refuse-tray 3 >"$shell_out" 2>>"$SCENARIO_DIR/driver.log" &
shell_pid=$!
track_pid "$shell_pid"
for _ in $(seq 1 200); do grep -q ready "$shell_out" && break; sleep 0.05; done
check_true "the refusing shell is up" grep -q ready "$shell_out"
driver tray-delete "0x$tray" $kTrayIconId 2>/dev/null  # through the refusing shell: only the real one holds it
driver -w "0x$tray" post-message registered:TaskbarCreated 0 0
check_answer "frame back on the taskbar" 1 -w "0x$frame" is-shown
check_answer "minimised" 1 -w "0x$frame" is-iconic
wait_exit "$shell_pid" 20

step "restore from the taskbar"
driver -w "0x$frame" restore
check_answer "frame shown normally" 0 -w "0x$frame" is-iconic
tray_gone() {
  local i
  for i in $(seq 1 50); do
    [ -z "$(driver find-hidden class:TS_INTERFACE_TRAY 0 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  return 1
}
check_true "tray window gone with the restore" tray_gone
end_with_escape
