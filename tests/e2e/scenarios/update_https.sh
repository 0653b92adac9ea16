# Updates over HTTPS from Debian's nginx on 127.0.0.1 with a certificate for
# "localhost". A test authority made here is added to the machine's trusted
# roots for the run (and removed again whatever happens); a second authority
# is never trusted.
#   an untrusted certificate: the automatic check stays silent and logs it,
#     "Check now" says the certificate is not trusted, nothing is offered;
#   a server that never answers: "Check now" gives up after the fetch's bound;
#   a trusted one: the firmware is offered; a script naming it on http:// is
#     refused with its message, nothing fetched; named on https:// it is
#     fetched over HTTPS and the flasher gets the exact file.

responsive_within $E2E_BOUND_FLASH "a flash holds the window while the board resets and the flasher runs"

anchors=/usr/local/share/ca-certificates
[ -w "$anchors" ] && command -v update-ca-certificates >/dev/null ||
  scenario_skip "the trusted roots cannot be changed here (root and ca-certificates needed)"
command -v openssl >/dev/null || scenario_skip "no openssl to make the test authorities"
# A run ended by KILL left its authority behind: take away those whose run is gone.
for stale in "$anchors"/tillerset-e2e-*.crt; do
  [ -e "$stale" ] || continue
  pid=${stale##*-}; pid=${pid%.crt}
  kill -0 "$pid" 2>/dev/null || { rm -f "$stale"; stale_removed=1; }
done
anchor=$anchors/tillerset-e2e-$$.crt
untrust() {
  rm -f "$anchor"
  update-ca-certificates >/dev/null 2>&1
}
trap untrust EXIT
trap 'exit 143' TERM INT HUP

pki=$SCENARIO_DIR/pki
mkdir -p "$pki"
make_authority() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tillerset test authority $1" \
    -keyout "$pki/$1-ca.key" -out "$pki/$1-ca.crt" >/dev/null 2>&1
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$pki/$1.key" -out "$pki/$1.csr" \
    >/dev/null 2>&1
  printf 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n' >"$pki/ext.cnf"
  openssl x509 -req -in "$pki/$1.csr" -CA "$pki/$1-ca.crt" -CAkey "$pki/$1-ca.key" -CAcreateserial -days 2 \
    -extfile "$pki/ext.cnf" -out "$pki/$1.crt" >/dev/null 2>&1 || fail "no certificate from authority $1"
}
make_authority trusted
make_authority untrusted
cp "$pki/trusted-ca.crt" "$anchor"
update-ca-certificates >/dev/null 2>&1 || fail "update-ca-certificates failed"
check_true "the test authority is among the trusted roots" \
  grep -qF "$(sed -n 2p "$pki/trusted-ca.crt")" /etc/ssl/certs/ca-certificates.crt

# nginx with its stock types on two ports of 127.0.0.1 other than 443, one per
# certificate; another port pair when one is taken.
SERVER_ROOT=$SCENARIO_DIR/server
dir=$SCENARIO_DIR/nginx
SERVER_LOG=$dir/access.log
mkdir -p "$SERVER_ROOT" "$dir"
for attempt in 1 2 3 4 5; do
  good_port=$((20000 + RANDOM % 20000)); bad_port=$((good_port + 1))
  printf '%s\n' "user root; error_log $dir/error.log; pid $dir/nginx.pid; events {}" \
    "http { include /etc/nginx/mime.types; default_type application/octet-stream; access_log $SERVER_LOG;" \
    "  client_body_temp_path $dir/body; proxy_temp_path $dir/proxy; fastcgi_temp_path $dir/fcgi;" \
    "  uwsgi_temp_path $dir/uwsgi; scgi_temp_path $dir/scgi;" \
    "  server { listen 127.0.0.1:$good_port ssl; root $SERVER_ROOT;" \
    "    ssl_certificate $pki/trusted.crt; ssl_certificate_key $pki/trusted.key; }" \
    "  server { listen 127.0.0.1:$bad_port ssl; root $SERVER_ROOT;" \
    "    ssl_certificate $pki/untrusted.crt; ssl_certificate_key $pki/untrusted.key; } }" >"$dir/nginx.conf"
  rm -f "$dir/nginx.pid"
  /usr/sbin/nginx -p "$dir" -c "$dir/nginx.conf" -g 'daemon off;' >"$dir/nginx.out" 2>&1 9>&- &
  SERVER_PID=$!
  track_pid "$SERVER_PID"
  for i in $(seq 1 100); do
    [ -s "$dir/nginx.pid" ] && break
    kill -0 "$SERVER_PID" 2>/dev/null || break
    sleep 0.05
  done
  [ -s "$dir/nginx.pid" ] && break
done
[ -s "$dir/nginx.pid" ] || { fail "nginx did not start: $(cat "$dir/nginx.out" "$dir/error.log")"; scenario_end; }
step "nginx on 127.0.0.1:$good_port (trusted) and :$bad_port (untrusted)"

make_hex() {
  awk 'BEGIN {
    srand(11)
    for (a = 0; a < 4096; a += 16) {
      line = sprintf(":10%04X00", a); sum = 16 + int(a / 256) + a % 256
      for (i = 0; i < 16; i++) { b = int(rand() * 256); line = line sprintf("%02X", b); sum += b }
      printf "%s%02X\r\n", line, (256 - sum % 256) % 256
    }
    printf ":00000001FF\r\n"
  }' >"$1"
}
make_hex "$SERVER_ROOT/wheel_1_6.hex"
online_script() {
  printf '%s\r\n' "[SERVER]" "[UPDATE]" "VERSION=0,0,0,21" "FW_VERSION=0,0,1,6" \
    "FW_UPDATE=0,0,0,0,$1,wheel_1_6.hex" >"$SERVER_ROOT/ts_servers.ini"
}
requests() { grep -c "\"GET /$1 HTTP/1.1\" 200" "$SERVER_LOG" 2>/dev/null; }
no_box() { ! driver find-msgbox 1 >/dev/null 2>&1; }

start_board 7 --bootloader "$SCENARIO_DIR/board/boot" --bootloader-ms 3000
mkdir -p "$SCENARIO_DIR/Tools"
cp "$TS_WIN_BUILD/list_com_ports.exe" "$SCENARIO_DIR/Tools/listComPorts.exe"
cp "$TS_WIN_BUILD/test_flasher.exe" "$SCENARIO_DIR/Tools/avrdude.exe"
export TS_FLASHER_RECORD=flasher TS_FLASHER_EXIT=0
add_port_device 7 'USB\VID_2341&PID_8036&MI_00' 'Arduino Leonardo (COM7)'
with_server() {
  write_config "$@"
  printf '[Update]\r\nSERVER="%s"\r\n\r\n' "$SERVER" >>"$SCENARIO_DIR/config.ini"
}

step "an authority Windows does not trust"
online_script "\"https://localhost:$good_port\""
SERVER=https://localhost:$bad_port
with_server FLAGS=1
start_and_wait
check_true "the automatic check logs the refusal" \
  wait_log "FetchText: https://localhost:$bad_port/ts_servers.ini: The server's certificate is not trusted."
settle 1
check_true "and shows nothing" no_box
driver click 2039 >/dev/null
check_eq "Check now says why" "The update server's certificate is not trusted" "$(driver find-msgbox 10)"
driver click-msgbox IDOK >/dev/null
driver wait-gone msgbox 10 >/dev/null
check_eq "nothing served" 0 "$(requests ts_servers.ini)"
end_with_escape

step "a server that takes the connection and never answers"
hung_port=$((bad_port + 1))
"${TS_NATIVE_BUILD:-$TS_SOURCE_DIR/build/native}/update_server" --root "$SERVER_ROOT" --port "$hung_port" --hang \
  >"$SCENARIO_DIR/hung.out" 2>&1 9>&- &
track_pid $!
for i in $(seq 1 100); do grep -q '^serving' "$SCENARIO_DIR/hung.out" && break; sleep 0.05; done
SERVER=https://localhost:$hung_port
with_server FLAGS=0
start_and_wait
started=$(date +%s%N)
driver click 2039 >/dev/null
check_eq "Check now gives up" "Could not reach the update server" "$(driver find-msgbox 10)"
waited=$((($(date +%s%N) - started) / 1000000))
check_true "within the fetch's bound of 2000 ms (took $waited ms)" test "$waited" -lt 3500
check_true "and says why in the log" log_has "FetchText: https://localhost:$hung_port/ts_servers.ini: The server did not answer in time."
driver click-msgbox IDOK >/dev/null
driver wait-gone msgbox 10 >/dev/null
end_with_escape

step "a trusted authority; the script names the firmware on http://"
online_script localhost
SERVER=https://localhost:$good_port
with_server FLAGS=0
start_and_wait
check_true "the board's firmware version" driver wait-text 2077 1.5
driver click 2039 >/dev/null
offer=$(driver find-msgbox 10)
check_eq "the offer" "New firmware available, do you want to download it ?" "$(head -n1 <<<"$offer")"
check_eq "the script came over HTTPS" 1 "$(requests ts_servers.ini)"
driver click-msgbox IDYES >/dev/null
check_eq "refused with its message" \
  "The update server names the firmware on an address that is not https://; it is not downloaded" \
  "$(driver find-msgbox 10)"
driver click-msgbox IDOK >/dev/null
driver wait-gone msgbox 10 >/dev/null
check_true "and a log line" log_has "is refused: the online script came over HTTPS"
check_eq "nothing fetched" 0 "$(requests wheel_1_6.hex)"

step "the firmware on https://: fetched over HTTPS and flashed"
online_script "\"https://localhost:$good_port\""
from=$(($(transcript_lines) + 1))
driver click 2039 >/dev/null
offer=$(driver find-msgbox 10)
check_eq "the offer" "New firmware available, do you want to download it ?" "$(head -n1 <<<"$offer")"
driver click-msgbox IDYES >/dev/null
follow_bootloader 9 "$from"
check_eq "the firmware came over HTTPS" 1 "$(requests wheel_1_6.hex)"
check_true "the flasher got the exact file" cmp -s "$SERVER_ROOT/wheel_1_6.hex" "$SCENARIO_DIR/flasher.hex"
check_match "on the bootloader's port" 'PCOM9' "$(tr -d '\r' <"$SCENARIO_DIR/flasher.args" | paste -sd' ')"
check_eq "the settings question once the board is back" \
  "The firmware was updated. Do you want to put your previous wheel settings back ?" "$(driver -t 20 find-msgbox 20)"
driver click-msgbox IDNO >/dev/null
driver wait-gone msgbox 10 >/dev/null
end_with_escape
