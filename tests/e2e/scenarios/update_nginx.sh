# Debian's nginx (stock configuration) serves the online script, as
# application/octet-stream among other headers. The automatic check offers the
# new tool with both versions and "Skip this version"; skipped (config.ini), it
# stays quiet after a restart, while "Check now" offers it without a skip. A
# missing script: "Could not reach the update server".

responsive_within $E2E_BOUND_COMMAND "the check fetches off the window's thread"

start_nginx_server
printf '%s\r\n' "[SERVER]" "[UPDATE]" "VERSION=0,0,0,22" >"$SERVER_ROOT/ts_servers.ini"
headers=$(exec 3<>"/dev/tcp/$SERVER_HOST/80" && printf 'GET /ts_servers.ini HTTP/1.0\r\n\r\n' >&3 && timeout 5 cat <&3)
check_match "nginx's own headers, the type not last" 'Content-Type: application/octet-stream.*Content-Length' \
  "$(tr -d '\r' <<<"$headers" | sed '/^$/q' | tr '\n' ' ')"
requests() { grep -c 'GET http://[^ ]*/ts_servers.ini HTTP/1.0" 200' "$SERVER_LOG"; }
offer_is() {
  local offer
  offer=$(driver find-msgbox 15)
  check_eq "$1" "New configuration tool available, do you want to download it ?|Tillerset 0.21 → 0.22" \
    "$(sed -n '1p;$p' <<<"$offer" | paste -sd'|')"
}

step "start: the automatic check offers the new tool; Skip this version"
write_config_with_server FLAGS=1
start_and_wait
offer_is "the offer with both versions"
driver click-msgbox 1011 >/dev/null
check_true "the box is gone" driver wait-gone msgbox 10
end_with_escape
check_true "kept in config.ini" grep -q '^SKIP_VERSION=22' <(tr -d '\r' <"$SCENARIO_DIR/config.ini")

step "restart: the automatic check asks and keeps quiet; Check now still offers it"
start_and_wait
asked_twice() { [ "$(requests)" -ge 2 ]; }
wait_for 10 asked_twice
check_eq "nginx was asked again" 2 "$(requests)"
settle 1
check_true "no offer" no_box
driver click $IDC_CHECK_NOW >/dev/null
offer_is "Check now's offer"
no_skip() { ! driver click-msgbox 1011 >/dev/null 2>&1; }
check_true "no skip there" no_skip
driver click-msgbox IDNO >/dev/null

step "a script nginx does not have"
rm -f "$SERVER_ROOT/ts_servers.ini"
driver click $IDC_CHECK_NOW >/dev/null
check_eq "Check now says so" "Could not reach the update server" "$(driver find-msgbox 10)"
driver click-msgbox IDOK >/dev/null
end_with_escape
