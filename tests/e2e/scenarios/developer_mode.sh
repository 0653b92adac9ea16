# "dev" with "/" or "-" in any case switches developer mode on; longer words,
# a doubled dash and a missing prefix do not.

responsive_within $E2E_BOUND_COMMAND "no board and no drive port"
run_with() {
  local expect=$1
  shift
  step "arguments: $*"
  start_program "$@"
  wait_window || return
  end_with_escape "exit code with $*"
  if [ "$expect" = on ]; then
    check_true "developer mode on with $*" log_has "developer mode on"
  else
    check_true "developer mode off with $*" test "$(log_text | grep -c 'developer mode on')" -eq 0
  fi
}
run_with on -DEV
run_with on /dev
run_with off --dev
run_with off -devx
run_with off dev
run_with on -noxinput /DeV
check_true "XInput filter noted with -noxinput" log_has "XInput filter on"
