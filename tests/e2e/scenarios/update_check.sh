# The update check against the update server on port 80, which config.ini
# names: the automatic check with everything current shows nothing, "Check
# now" says "No update available", a newer tool is offered (VERSION 0,0,0,21
# is this version, 0,0,0,22 is newer), No changes nothing, Yes opens the
# download address with the language code in it (the shell's call observed
# through the browser it would start) and ends the program normally. Every
# request's bytes are checked in the server's log.

responsive_within $E2E_BOUND_UPDATE_CHECK "an update check waits at most 2000 ms for its answer"

start_update_server
use_recorder_browser
online_script() {
  printf '%s\r\n' "[SERVER]" "ADRESS=$SERVER_HOST" "PORT=80" "[UPDATE]" "$@" >"$SERVER_ROOT/ts_servers.ini"
}
request_bytes() { server_requests_since 1 | sed -n 's/^[0-9.]* [0-9.:]* "\(.*\)" -> .*$/\1/p'; }
expected_request="GET http://$SERVER_HOST/ts_servers.ini HTTP/1.0\\r\\nUser-Agent:CustomClient/1.0\\r\\n\\r\\n"

online_script "VERSION=0,0,0,21" "FW_VERSION=0,0,0,0"
write_config_with_server FLAGS=1

step "start: the automatic check asks the server once and shows nothing"
start_and_wait
check_true "the automatic check asked for the online script" wait_request 1 'ts_servers.ini'
settle 1
check_true "no message box after the automatic check" no_box
check_eq "one request" "1" "$(server_requests_since 1 | wc -l)"
check_eq "the request bytes, exactly" "$expected_request" "$(request_bytes | head -n1)"

step "Check now with everything current"
driver click $IDC_CHECK_NOW >/dev/null
answer_box "the answer" "No update available"

step "a newer tool, No"
online_script "VERSION=0,0,0,22" "UPDATE=0,0,0,0,\"http://$SERVER_HOST/base/\",setup.exe"
driver click $IDC_CHECK_NOW >/dev/null
offer=$(driver find-msgbox 10)
check_eq "the offer" "New configuration tool available, do you want to download it ?" "$(head -n1 <<<"$offer")"
check_eq "with both versions" "Tillerset 0.21 → 0.22" "$(tail -n1 <<<"$offer")"
driver click-msgbox IDNO >/dev/null
check_true "the box is gone" driver wait-gone msgbox 10
settle 0.5
check_true "nothing more is shown" no_box
check_true "nothing was opened" test ! -e "$RECORDED"
check_true "the program runs on" is_running "$PROGRAM_PID"

step "a newer tool, Yes"
driver click $IDC_CHECK_NOW >/dev/null
offer=$(driver find-msgbox 10)
check_eq "the offer again" "New configuration tool available, do you want to download it ?" "$(head -n1 <<<"$offer")"
driver click-msgbox IDYES >/dev/null
wait_exit "$PROGRAM_PID" 20
check_eq "the program ends normally" 0 "$EXIT_CODE"
wait_for 5 test -s "$RECORDED"
check_eq "the shell opened the download address with the language code" \
  "http://$SERVER_HOST/base/1033/setup.exe" "$(tr -d '\r' <"$RECORDED" 2>/dev/null)"
check_true "the settings were written at the exit" grep -q 'FLAGS=1' "$SCENARIO_DIR/config.ini"
check_true "the exit kept the update server" grep -q "SERVER=$SERVER_HOST" "$SCENARIO_DIR/config.ini"

step "every request"
check_eq "four requests" "4" "$(request_bytes | wc -l)"
check_eq "all with the same bytes" "$expected_request" "$(request_bytes | sort -u)"
