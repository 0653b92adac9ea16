# The update server failing in the ways the client has not met above: it
# closes in the middle of its answer, it sends 5 MB, it sends garbage as the
# online script. "Check now" each time: no body where the answer is not
# whole or too big (logged, nothing shown), garbage read as a script without
# the keys ("No update available"), and the window keeps answering.

responsive_within $E2E_BOUND_UPDATE_CHECK "an update check waits at most 2000 ms for its answer"

start_update_server
printf '%s\r\n' "[SERVER]" "ADRESS=$SERVER_HOST" "[UPDATE]" "VERSION=0,0,0,21" >"$SERVER_ROOT/ts_servers.ini"
no_box() { ! driver find-msgbox 1 >/dev/null 2>&1; }
write_config_with_server FLAGS=0
start_and_wait

# Check now; waits for text $2 in the log (from where it stood before).
check_now() {
  local what=$1 text=$2 from i
  from=$(($(log_text | wc -l) + 1))
  driver click $IDC_CHECK_NOW >/dev/null
  local seen=0
  for i in $(seq 1 100); do
    log_text | tail -n +"$from" | grep -qF -- "$text" && { seen=1; break; }
    sleep 0.05
  done
  check_eq "$what: logged \"$text\"" 1 "$seen"
}

step "the answer cut after its headers"
server "cut 60"
check_now "cut" "Could not read Online script"
check_true "nothing shown" no_box
server "cut -1"

step "5 MB"
server "large 5000000"
check_now "5 MB" "The server's answer is too large."
check_true "nothing shown" no_box
server "large 0"

step "garbage as the online script"
head -c 6000 /dev/urandom >"$SERVER_ROOT/ts_servers.ini"
driver click $IDC_CHECK_NOW >/dev/null
check_eq "read as a script without the keys" "No update available" "$(driver find-msgbox 10)"
driver click-msgbox IDOK >/dev/null
check_true "the box is gone" driver wait-gone msgbox 10
end_with_escape
