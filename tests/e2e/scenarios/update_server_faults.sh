# The update server failing in the ways the client has not met above: it
# closes in the middle of its answer, it sends 5 MB, it sends garbage as the
# online script. "Check now" each time: no body where the answer is not
# whole or too big (logged, and "Could not reach the update server"),
# garbage read as a script without the keys ("No update available"), and the
# window keeps answering.

responsive_within $E2E_BOUND_COMMAND "the check fetches off the window's thread"

start_update_server
printf '%s\r\n' "[SERVER]" "ADRESS=$SERVER_HOST" "[UPDATE]" "VERSION=0,0,0,21" >"$SERVER_ROOT/ts_servers.ini"
write_config_with_server FLAGS=0
start_and_wait

# Check now; waits for text $2 in the log (from where it stood before).
check_now() {
  local what=$1 text=$2 from
  from=$(($(log_text | wc -l) + 1))
  driver click $IDC_CHECK_NOW >/dev/null
  logged_since() { log_text | tail -n +"$from" | grep -qF -- "$text"; }
  check_true "$what: logged \"$text\"" wait_for 5 logged_since
  answer_box "$what: Check now says so" "Could not reach the update server"
}

step "the answer cut after its headers"
server "cut 60"
check_now "cut" "Could not read Online script"
server "cut -1"

step "5 MB"
server "large 5000000"
check_now "5 MB" "The server's answer is too large."
server "large 0"

step "garbage as the online script"
head -c 6000 /dev/urandom >"$SERVER_ROOT/ts_servers.ini"
driver click $IDC_CHECK_NOW >/dev/null
answer_box "read as a script without the keys" "No update available"
end_with_escape
