# The HTTP client's edges against the update server on port 80 ("Check now"
# each time, "Could not reach the update server" when the online script
# cannot be read): a URL over 255 characters is refused without connecting;
# an answer after 2.5 s, or none at all, gives no body while the window
# answers within 100 ms (the fetch runs off its thread; asked every 50 ms) and
# "Check now" reads "Checking...", greyed, a second click asking nothing more;
# "text/plain; charset=utf-8" gives the body; a 404 page gives no body; an
# empty body is an online script without keys ("No update available").

responsive_within $E2E_BOUND_COMMAND "the check fetches off the window's thread"

start_update_server
online_script() {
  printf '%s\r\n' "[SERVER]" "ADRESS=$SERVER_HOST" "[UPDATE]" "$@" >"$SERVER_ROOT/ts_servers.ini"
}
unreachable_box() { answer_box "$1: Check now says so" "Could not reach the update server"; }
online_script "VERSION=0,0,0,21"

step "a host name that makes the URL longer than 255 characters"
long_host=$(printf 'a%.0s' $(seq 1 250))
write_config FLAGS=0
printf '[Update]\r\nSERVER=%s\r\n\r\n' "$long_host" >>"$SCENARIO_DIR/config.ini"
start_and_wait
driver click $IDC_CHECK_NOW >/dev/null
wait_log "Could not read Online script" 5
check_true "refused" log_has "http://$long_host/ts_servers.ini: Host or URL string is too long."
check_true "no connection was made" test -z "$(server_requests_since 1)"
unreachable_box "too long"
end_with_escape

step "the update server by its address"
write_config_with_server FLAGS=0
start_and_wait

# Check now against a server that answers late or not at all: the longest
# time the window keeps a caller waiting meanwhile, and what the log says.
late_check() {
  local what=$1 from longest
  from=$(($(log_text | wc -l) + 1))
  driver click $IDC_CHECK_NOW >/dev/null
  check_true "$what: the button says so" driver wait-text $IDC_CHECK_NOW "Checking..."
  check_answer "$what: greyed" 0 is-enabled $IDC_CHECK_NOW
  driver click $IDC_CHECK_NOW >/dev/null
  ping=$(driver ping-window 1.5)
  longest=$(sed -n 's/.*longest \([0-9]*\) ms.*/\1/p' <<<"$ping")
  step "$what: the window meanwhile: $ping"
  check_true "$what: it answered within 100 ms ($(e2e_allowance_text))" test "${longest:-99999}" -le "$(e2e_allowed 100)"
  unreachable_box "$what"
  check_true "$what: no body" bash -c "tr -d '\r' <'$SCENARIO_DIR/Log.txt' | tail -n +$from | grep -q 'The server did not answer in time.'"
}
server "late 2500"
late_check "an answer after 2.5 s"
server "normal"
server "hang on"
late_check "no answer at all"
check_eq "one request for the two clicks" 1 "$(server_requests_since 1 | grep -c -- '-> hanging')"
check_answer "the button is back" "Check now" get-text $IDC_CHECK_NOW
server "normal"

step "text/plain with a charset"
server "content-type text/plain; charset=utf-8"
driver click $IDC_CHECK_NOW >/dev/null
answer_box "read" "No update available"
server "normal"

step "a 404 page (text/plain too)"
mv "$SERVER_ROOT/ts_servers.ini" "$SERVER_ROOT/moved.ini"
driver click $IDC_CHECK_NOW >/dev/null
unreachable_box "404"
check_true "no body" log_has "http://$SERVER_HOST/ts_servers.ini: The server did not answer with status 200."

step "an empty body"
: >"$SERVER_ROOT/ts_servers.ini"
driver click $IDC_CHECK_NOW >/dev/null
answer_box "an online script without keys" "No update available"
end_with_escape
