# "Start with Windows" writes the user's Run entry (the program's full path in
# quotes, then -tray) and takes it away again; the tray menu shows the same
# switch. -tray starts the program hidden in the notification area.

responsive_within $E2E_BOUND_COMMAND "a check box"
run_entry() {
  timeout 60 "$TS_WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Tillerset 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *Tillerset *REG_SZ *//p'
}

start_and_wait
check_eq "off at first" 0 "$(driver is-checked 2208)"
driver click 2208 >/dev/null
check_eq "ticked" 1 "$(wait_answer 1 is-checked 2208)"
check_match "the entry: the quoted path, then -tray" '^"[A-Z]:\\.*\\Tillerset\.exe" -tray$' "$(run_entry)"
driver click 2208 >/dev/null
check_eq "unticked" 0 "$(wait_answer 0 is-checked 2208)"
check_eq "the entry is gone" "" "$(run_entry)"
driver post-command 32781 >/dev/null
check_eq "the tray menu's command ticks it again" 1 "$(wait_answer 1 is-checked 2208)"
check_match "and writes the entry" 'Tillerset\.exe" -tray$' "$(run_entry)"
end_with_escape

step "-tray"
start_program -tray
tray=$(driver find-hidden class:TS_INTERFACE_TRAY 20)
check_eq "the icon is in the notification area" 1 "$(driver tray-icon "0x$tray" 131)"
frame=$(driver find-hidden "class:#32770" 5)
check_eq "the window stays hidden" 0 "$(driver -w "0x$frame" is-shown)"
driver -w "0x$frame" post-command 32772 >/dev/null
wait_exit "$PROGRAM_PID" 15
check_eq "Exit from the tray menu" 0 "$EXIT_CODE"
