# "Check now" against an update server that takes the request and never
# answers: the fetch runs off the window's thread, so the window answers
# within 100 ms all the while (asked every 50 ms); the button reads
# "Checking..." greyed, and a second click starts no second request; after
# the fetch's 2000 ms bound "Check now" says the server could not be reached
# and the button is back. The automatic check against the same server shows
# nothing.

responsive_within $E2E_BOUND_COMMAND "the check fetches off the window's thread"

start_update_server
printf '%s\r\n' "[SERVER]" "ADRESS=$SERVER_HOST" "[UPDATE]" "VERSION=0,0,0,21" >"$SERVER_ROOT/ts_servers.ini"
no_box() { ! driver find-msgbox 1 >/dev/null 2>&1; }
hanging() { server_requests_since 1 | grep -c -- '-> hanging'; }
server "hang on"

step "the automatic check against the hung server"
write_config_with_server FLAGS=1
start_and_wait
check_true "it asked" wait_request 1 'ts_servers.ini'
check_true "the button shows the check" driver wait-text 2039 "Checking..."
check_true "and is back after the bound" driver wait-text 2039 "Check now"
check_true "nothing shown" no_box
check_true "the reason is logged" log_has "The server did not answer in time."

step "Check now against the hung server"
driver click 2039 >/dev/null
check_true "the button says it is checking" driver wait-text 2039 "Checking..."
check_eq "and is greyed" 0 "$(driver is-enabled 2039)"
driver click 2039 >/dev/null
ping=$(driver ping-window 1.5)
longest=$(sed -n 's/.*longest \([0-9]*\) ms.*/\1/p' <<<"$ping")
step "the window while the check waits: $ping"
check_true "it answered within 100 ms (+ Wine's slack)" test "${longest:-99999}" -le $((100 + E2E_SLACK_MS))
check_eq "Check now says so" "Could not reach the update server" "$(driver find-msgbox 10)"
check_eq "one request for the two clicks" 2 "$(hanging)"
driver click-msgbox IDOK >/dev/null
check_true "the box is gone" driver wait-gone msgbox 10
check_eq "the button is back" "Check now" "$(driver get-text 2039)"
check_eq "and can be pressed" 1 "$(driver is-enabled 2039)"
end_with_escape
