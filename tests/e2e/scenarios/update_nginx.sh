# The update check against Debian's nginx with its stock configuration and
# types, serving the update files: the online script comes as
# application/octet-stream among nginx's other headers and is read. The
# automatic check offers the new tool with both versions and "Skip this
# version"; skipped, it stays quiet about that version after a restart (kept
# in config.ini), while "Check now" still offers it, without a skip. A script
# nginx does not have makes "Check now" say the server could not be reached.

responsive_within $E2E_BOUND_COMMAND "the check fetches off the window's thread"

start_nginx_server
printf '%s\r\n' "[SERVER]" "ADRESS=$SERVER_HOST" "[UPDATE]" "VERSION=0,0,0,22" \
  "UPDATE=0,0,0,0,\"http://$SERVER_HOST/base/\",setup.exe" >"$SERVER_ROOT/ts_servers.ini"
no_box() { ! driver find-msgbox 1 >/dev/null 2>&1; }
requests() { grep -c 'ts_servers.ini' "$SERVER_LOG"; }
question="New configuration tool available, do you want to download it ?"
versions="Tillerset 0.21 → 0.22"

step "nginx's own headers for the script"
headers=$(nginx_headers ts_servers.ini)
check_true "status 200" grep -q '^HTTP/1.1 200' <<<"$headers"
check_true "the stock type of .ini" grep -qx 'Content-Type: application/octet-stream' <<<"$headers"
after_type() { sed -n '/^Content-Type/,$p' <<<"$headers" | grep -q '^Content-Length'; }
check_true "other headers after the type" after_type

step "start: the automatic check offers the new tool, with a skip"
write_config_with_server FLAGS=1
start_and_wait
offer=$(driver find-msgbox 15)
check_eq "the question" "$question" "$(head -n1 <<<"$offer")"
check_eq "the versions" "$versions" "$(tail -n1 <<<"$offer")"
driver click-msgbox 1011 >/dev/null  # "Skip this version"
check_true "the box is gone" driver wait-gone msgbox 10
check_true "the skip is logged" log_has "Tillerset 0.22 is skipped by the automatic check"
end_with_escape
check_true "kept in config.ini" grep -q '^SKIP_VERSION=22' <(tr -d '\r' <"$SCENARIO_DIR/config.ini")

step "restart: the automatic check asks and keeps quiet"
before=$(requests)
start_and_wait
for i in $(seq 1 200); do [ "$(requests)" -gt "$before" ] && break; sleep 0.05; done
check_eq "nginx was asked again" "$((before + 1))" "$(requests)"
settle 1
check_true "no offer for the skipped version" no_box

step "Check now still offers it, without a skip"
driver click 2039 >/dev/null
offer=$(driver find-msgbox 10)
check_eq "the question" "$question" "$(head -n1 <<<"$offer")"
check_eq "the versions" "$versions" "$(tail -n1 <<<"$offer")"
no_skip() { ! driver click-msgbox 1011 >/dev/null 2>&1; }
check_true "no skip button" no_skip
driver click-msgbox IDNO >/dev/null
check_true "the box is gone" driver wait-gone msgbox 10
check_eq "the button is back" "Check now" "$(driver get-text 2039)"

step "a script nginx does not have"
rm -f "$SERVER_ROOT/ts_servers.ini"
driver click 2039 >/dev/null
check_eq "Check now says so" "Could not reach the update server" "$(driver find-msgbox 10)"
driver click-msgbox IDOK >/dev/null
check_true "the box is gone" driver wait-gone msgbox 10
check_true "the reason is logged" log_has "The server did not answer with status 200."
end_with_escape
