# The HTTP client's edges against the update server on port 80 ("Check now"
# each time, nothing shown when the online script cannot be read): a URL over
# 255 characters is refused without connecting; an answer after 2.5 s, or
# none at all, gives no body and the window waits no longer than the 2000 ms
# bound (measured by asking it for an answer all the while); "text/plain;
# charset=utf-8" gives no body; a 404 page gives no body; an empty body is an
# online script without keys ("No update available").

responsive_within $E2E_BOUND_UPDATE_CHECK "a late or hung server holds the check for its 2000 ms bound"

start_update_server
online_script() {
  printf '%s\r\n' "[SERVER]" "ADRESS=$SERVER_HOST" "[UPDATE]" "$@" >"$SERVER_ROOT/ts_servers.ini"
}
no_box() { ! driver find-msgbox 1 >/dev/null 2>&1; }
online_script "VERSION=0,0,0,21"

step "a host name that makes the URL longer than 255 characters"
long_host=$(printf 'a%.0s' $(seq 1 250))
write_config FLAGS=0
printf '[Update]\r\nSERVER=%s\r\n\r\n' "$long_host" >>"$SCENARIO_DIR/config.ini"
start_and_wait
driver click $IDC_CHECK_NOW >/dev/null
for i in $(seq 1 100); do log_has "Could not read Online script" && break; sleep 0.05; done
check_true "refused" log_has "http://$long_host/ts_servers.ini: Host or URL string is too long."
check_true "no connection was made" test -z "$(server_requests_since 1)"
check_true "nothing shown" no_box
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
  longest=$(driver answer-time 4)
  step "$what: the window kept a caller waiting at most $longest ms"
  check_true "$what: no longer than the bound (and not until the answer at 2.5 s)" test "${longest:-99999}" -lt 2500
  check_true "$what: no body" bash -c "tr -d '\r' <'$SCENARIO_DIR/Log.txt' | tail -n +$from | grep -q 'The server did not answer in time.'"
  check_true "$what: nothing shown" no_box
}
server "late 2500"
late_check "an answer after 2.5 s"
server "normal"
server "hang on"
late_check "no answer at all"
server "normal"

step "text/plain with a charset"
server "content-type text/plain; charset=utf-8"
driver click $IDC_CHECK_NOW >/dev/null
for i in $(seq 1 100); do log_has "has no text/plain body" && break; sleep 0.05; done
check_true "no body" log_has "http://$SERVER_HOST/ts_servers.ini: The server's answer has no text/plain body."
check_true "nothing shown" no_box
server "normal"

step "a 404 page (text/plain too)"
mv "$SERVER_ROOT/ts_servers.ini" "$SERVER_ROOT/moved.ini"
driver click $IDC_CHECK_NOW >/dev/null
for i in $(seq 1 100); do log_has "did not answer with status 200" && break; sleep 0.05; done
check_true "no body" log_has "http://$SERVER_HOST/ts_servers.ini: The server did not answer with status 200."
check_true "nothing shown" no_box

step "an empty body"
: >"$SERVER_ROOT/ts_servers.ini"
driver click $IDC_CHECK_NOW >/dev/null
check_eq "an online script without keys" "No update available" "$(driver find-msgbox 10)"
driver click-msgbox IDOK >/dev/null
check_true "the box is gone" driver wait-gone msgbox 10
end_with_escape
