# Updates over HTTPS from Debian's nginx on 127.0.0.1 with certificates for
# "localhost": one from a test authority added to the machine's trusted roots
# for the run (and removed again whatever happens), one from an authority
# never trusted.
#   untrusted: the automatic check stays silent and logs it, "Check now" says
#     the certificate is not trusted, nothing is offered;
#   a server that never answers: "Check now" gives up after the fetch's bound;
#   trusted: a script naming the firmware on http:// is refused with its
#     message; named on https:// it comes over HTTPS and the flasher gets it.

responsive_within $E2E_BOUND_FLASH "a flash holds the window while the board resets and the flasher runs"

anchors=/usr/local/share/ca-certificates
[ -w "$anchors" ] && command -v update-ca-certificates >/dev/null && command -v openssl >/dev/null ||
  scenario_skip "the trusted roots cannot be changed here (root, openssl and ca-certificates needed)"
# A run ended by KILL left its authority behind: take away those whose run is gone.
for stale in "$anchors"/tillerset-e2e-*.crt; do
  pid=${stale##*-}
  [ ! -e "$stale" ] || kill -0 "${pid%.crt}" 2>/dev/null || rm -f "$stale"
done
anchor=$anchors/tillerset-e2e-$$.crt
trap 'rm -f "$anchor"; update-ca-certificates >/dev/null 2>&1' EXIT
trap 'exit 143' TERM INT HUP

pki=$SCENARIO_DIR/pki
mkdir -p "$pki"
printf 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n' >"$pki/ext.cnf"
for ca in trusted untrusted; do
  { openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tillerset test authority $ca" \
      -keyout "$pki/$ca-ca.key" -out "$pki/$ca-ca.crt" &&
    openssl req -newkey rsa:2048 -nodes -subj /CN=localhost -keyout "$pki/$ca.key" -out "$pki/$ca.csr" &&
    openssl x509 -req -in "$pki/$ca.csr" -CA "$pki/$ca-ca.crt" -CAkey "$pki/$ca-ca.key" -CAcreateserial \
      -days 2 -extfile "$pki/ext.cnf" -out "$pki/$ca.crt"; } >/dev/null 2>&1 || fail "no certificate from $ca"
done
cp "$pki/trusted-ca.crt" "$anchor"
update-ca-certificates >/dev/null 2>&1 || fail "update-ca-certificates failed"
check_true "the test authority is among the trusted roots" \
  grep -qF "$(sed -n 2p "$pki/trusted-ca.crt")" /etc/ssl/certs/ca-certificates.crt

# nginx with its stock types on two high ports of 127.0.0.1, one per
# certificate (other ports when they are taken).
SERVER_ROOT=$SCENARIO_DIR/server
dir=$SCENARIO_DIR/nginx
SERVER_LOG=$dir/access.log
mkdir -p "$SERVER_ROOT" "$dir"
tls_server() { echo "server { listen 127.0.0.1:$1 ssl; root $SERVER_ROOT; ssl_certificate $pki/$2.crt;" \
  "ssl_certificate_key $pki/$2.key; }"; }
for attempt in 1 2 3 4 5; do
  good_port=$((20000 + RANDOM % 20000)); bad_port=$((good_port + 1)); hung_port=$((good_port + 2))
  printf '%s\n' "user root; error_log $dir/error.log; pid $dir/nginx.pid; events {}" \
    "http { include /etc/nginx/mime.types; default_type application/octet-stream; access_log $SERVER_LOG;" \
    "  client_body_temp_path $dir/body; proxy_temp_path $dir/proxy; fastcgi_temp_path $dir/fcgi;" \
    "  uwsgi_temp_path $dir/uwsgi; scgi_temp_path $dir/scgi;" \
    "$(tls_server "$good_port" trusted) $(tls_server "$bad_port" untrusted) }" >"$dir/nginx.conf"
  rm -f "$dir/nginx.pid"
  /usr/sbin/nginx -p "$dir" -c "$dir/nginx.conf" -g 'daemon off;' >"$dir/nginx.out" 2>&1 9>&- &
  track_pid $!
  for i in $(seq 1 100); do [ -s "$dir/nginx.pid" ] || { kill -0 $! 2>/dev/null && sleep 0.05; } || break; done
  [ -s "$dir/nginx.pid" ] && break
done
[ -s "$dir/nginx.pid" ] || { fail "nginx did not start: $(cat "$dir/nginx.out" "$dir/error.log")"; scenario_end; }
step "nginx on 127.0.0.1:$good_port (trusted) and :$bad_port (untrusted)"

awk 'BEGIN { srand(11); for (a = 0; a < 4096; a += 16) {
  line = sprintf(":10%04X00", a); sum = 16 + int(a / 256) + a % 256
  for (i = 0; i < 16; i++) { b = int(rand() * 256); line = line sprintf("%02X", b); sum += b }
  printf "%s%02X\r\n", line, (256 - sum % 256) % 256 }
  printf ":00000001FF\r\n" }' >"$SERVER_ROOT/wheel_1_6.hex"
online_script() {
  printf '%s\r\n' "[UPDATE]" "FW_VERSION=0,0,1,6" "FW_UPDATE=0,0,0,0,$1,wheel_1_6.hex" >"$SERVER_ROOT/ts_servers.ini"
}
requests() { grep -c "\"GET /$1 HTTP/1.1\" 200" "$SERVER_LOG"; }
start_with_server() {
  write_config "FLAGS=$2"
  printf '[Update]\r\nSERVER="https://localhost:%s"\r\n\r\n' "$1" >>"$SCENARIO_DIR/config.ini"
  start_and_wait
}

start_board 7 --bootloader "$SCENARIO_DIR/board/boot" --bootloader-ms 3000
flasher_tools "$SCENARIO_DIR"
export TS_FLASHER_EXIT=0

step "an authority Windows does not trust"
online_script "\"https://localhost:$good_port\""
start_with_server "$bad_port" 1
check_true "the automatic check logs the refusal" \
  wait_log "FetchText: https://localhost:$bad_port/ts_servers.ini: The server's certificate is not trusted."
settle 1
check_true "and shows nothing" no_box
driver click 2039 >/dev/null
answer_box "Check now says why" "The update server's certificate is not trusted"
check_eq "nothing served" 0 "$(requests ts_servers.ini)"
end_with_escape

step "a server that takes the connection and never answers"
"${TS_NATIVE_BUILD:-$TS_SOURCE_DIR/build/native}/update_server" --root "$SERVER_ROOT" --port "$hung_port" --hang \
  >"$SCENARIO_DIR/hung.out" 2>&1 9>&- &
track_pid $!
wait_for 5 grep -q '^serving' "$SCENARIO_DIR/hung.out"
start_with_server "$hung_port" 0
started=$(date +%s%N)
driver click 2039 >/dev/null
answer_box "Check now gives up" "Could not reach the update server"
waited=$((($(date +%s%N) - started) / 1000000))
check_true "within the fetch's bound of 2000 ms (took $waited ms with the box)" test "$waited" -lt 3500
check_true "the log says why" log_has "localhost:$hung_port/ts_servers.ini: The server did not answer in time."
end_with_escape

step "a trusted authority; the script names the firmware on http://"
online_script localhost
start_with_server "$good_port" 0
check_true "the board's firmware version" driver wait-text 2077 1.5
driver click 2039 >/dev/null
answer_box "the offer" $'New firmware available, do you want to download it ?\n\nFirmware 1.5 → 1.6' IDYES
check_eq "the script came over HTTPS" 1 "$(requests ts_servers.ini)"
answer_box "refused with its message" \
  "The update server names the firmware on an address that is not https://; it is not downloaded"
check_true "and a log line" log_has "is refused: the online script came over HTTPS"
check_eq "nothing fetched" 0 "$(requests wheel_1_6.hex)"

step "the firmware on https://: fetched over HTTPS and flashed"
online_script "\"https://localhost:$good_port\""
from=$(($(transcript_lines) + 1))
driver click 2039 >/dev/null
answer_box "the offer" $'New firmware available, do you want to download it ?\n\nFirmware 1.5 → 1.6' IDYES
follow_bootloader 9 "$from"
check_eq "the firmware came over HTTPS" 1 "$(requests wheel_1_6.hex)"
check_true "the flasher got the exact file" cmp -s "$SERVER_ROOT/wheel_1_6.hex" "$SCENARIO_DIR/flasher.hex"
check_match "on the bootloader's port" 'PCOM9' "$(tr -d '\r' <"$SCENARIO_DIR/flasher.args" | paste -sd' ')"
answer_box "the settings question once the board is back" \
  "The firmware was updated. Do you want to put your previous wheel settings back ?" IDNO
# "No" is followed by the question whether to keep the backup: an Escape sent
# while it shows would go to the box, not to the window.
check_match "keep them" '^Keep your previous wheel settings saved' "$(driver -t 10 find-msgbox 10)"
driver click-msgbox IDNO >/dev/null
driver wait-gone msgbox 10 >/dev/null
end_with_escape
