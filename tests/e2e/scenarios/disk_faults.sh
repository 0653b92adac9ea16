# The disk fails the save at exit: a full disk (a small tmpfs as the program's
# folder), and a folder where nothing can be created or replaced any more.
# config.ini and GameProfiles.ini stay whole as they were, no temporary file is
# left, and the failure is in Log.txt where the log can still be written.

responsive_within $E2E_BOUND_COMMAND "slider writes and the saves at exit"

start_board 7 --status 8
config=$'[Config]\r\nDEVICE_COM_PORT=7\r\n\r\n'
profiles=$'[GameProfiles]\r\nPROFILE=Default,NoLife.exe,0,900,64,127,127,127,127,127,127,127,0,0,0,0,16\r\n\r\n'

# Starts the program in folder $1 with the two files, moves Main Gain (saved
# while it runs, then once more so there is something to save at exit); $2
# spoils the folder in between and Escape ends it.
run_and_spoil() {
  local app=$1 spoil=$2 i
  program_in "$app"
  printf '%s' "$config" >"$app/config.ini"
  printf '%s' "$profiles" >"$app/GameProfiles.ini"
  start_in "$app" "$app/Tillerset.exe"
  wait_window || return
  check_true "Ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
  local from=$(($(transcript_lines) + 1))
  driver set-slider $IDC_MAIN_GAIN_SLIDER 100 >/dev/null
  wait_received "$from" '^50 11 01 64$' 1
  wait_for 10 grep -q ',900,100,' "$app/GameProfiles.ini"
  local saved_config saved_profiles
  saved_config=$(cat "$app/config.ini") saved_profiles=$(cat "$app/GameProfiles.ini")
  check_true "saved while running" grep -q ',900,100,' <<<"$saved_profiles"
  $spoil "$app"
  from=$(($(transcript_lines) + 1))
  driver set-slider $IDC_MAIN_GAIN_SLIDER 50 >/dev/null
  wait_received "$from" '^50 11 01 32$' 1
  driver send-key ESCAPE >/dev/null
  wait_exit "$PROGRAM_PID" 15
  check_eq "exit code" 1 "$EXIT_CODE"
  check_eq "config.ini as it was saved" "$saved_config" "$(cat "$app/config.ini")"
  check_eq "GameProfiles.ini as it was saved" "$saved_profiles" "$(cat "$app/GameProfiles.ini")"
  check_eq "no temporary file left" "" "$(cd "$app" && ls ./*.tmp 2>/dev/null)"
}

fill_disk() { dd if=/dev/zero of="$1/filler" bs=4k 2>/dev/null || true; }

step "a full disk at exit"
full=$SCENARIO_DIR/full
if mount_small_disk "$full" 16384; then
  run_and_spoil "$full" fill_disk
  check_true "the failed save is logged" grep -q 'WriteSection: Could not write' <(tr -d '\r' <"$full/Log.txt")
else
  echo "note: no tmpfs can be mounted here; the full disk is covered natively (a failed write leaves the old file)"
fi

step "a folder where nothing can be created any more"
frozen=$SCENARIO_DIR/frozen
# Whether this file system lets a folder be frozen at all (overlay file systems do not).
mkdir -p "$SCENARIO_DIR/try-freeze"
if chattr +i "$SCENARIO_DIR/try-freeze" 2>/dev/null; then
  chattr -i "$SCENARIO_DIR/try-freeze"
  run_and_spoil "$frozen" freeze_folder
  check_true "the failed save is logged" grep -q 'WriteSection: Could not' <(tr -d '\r' <"$frozen/Log.txt")
else
  echo "note: this file system cannot freeze a folder (chattr +i); a save into a read-only place is covered natively"
fi
