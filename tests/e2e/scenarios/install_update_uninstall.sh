# The user's files outlive the program: an install over an existing one keeps
# config.ini and GameProfiles.ini byte for byte (and the flasher put into
# Tools\), and "uninstall.exe /S" removes the program, its shortcut and its
# entry in the list of programs but leaves the user's files where they were.

responsive_within $E2E_BOUND_COMMAND "the installed program started and ended"
need_package
user_dir=$(wine_user_dir) || { fail "no user folder in the prefix"; scenario_end; }
install=$user_dir/AppData/Local/Programs/Tillerset
lnk="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tillerset.lnk"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tillerset'

install_silently() {
  start_exe "$SETUP_EXE" /S
  wait_exit "$PROGRAM_PID" 60
  check_eq "setup.exe exit code ($1)" 0 "$EXIT_CODE"
}

step "first install and a first run"
install_silently "first install"
start_in "$SCENARIO_DIR/elsewhere" "$install/Tillerset.exe"
wait_window || scenario_end
end_with_escape
check_true "config.ini written" test -s "$install/config.ini"
check_true "GameProfiles.ini written" test -s "$install/GameProfiles.ini"
# The user's own settings and flasher.
printf '[Config]\r\nDEVICE_COM_PORT=9\r\nFLAGS=3\r\n\r\n' >"$install/config.ini"
printf '[GameProfiles]\r\nPROFILE="Rally",rally.exe,64,50,40,30,20,10,0,127,127,900,16,0,0,0,0\r\n\r\n' \
  >"$install/GameProfiles.ini"
cp "$TS_IDLE" "$install/Tools/avrdude.exe"
printf 'user flasher configuration\n' >"$install/Tools/avrdude.conf"
user_files=(config.ini GameProfiles.ini Log.txt Tools/avrdude.exe Tools/avrdude.conf)
mkdir -p "$SCENARIO_DIR/before"
for f in "${user_files[@]}"; do cp "$install/$f" "$SCENARIO_DIR/before/${f//\//_}"; done
# Same user files, byte for byte? Usage: same_files WHEN
same_files() {
  local f
  for f in "${user_files[@]}"; do
    check_true "$f kept byte for byte ($1)" cmp -s "$SCENARIO_DIR/before/${f//\//_}" "$install/$f"
  done
}

step "an update refuses while the program runs"
start_in "$SCENARIO_DIR/elsewhere" "$install/Tillerset.exe"
running=$PROGRAM_PID
wait_window || scenario_end
start_exe "$SETUP_EXE" /S
wait_exit "$PROGRAM_PID" 60
check_eq "setup.exe exit code while Tillerset runs" 2 "$EXIT_CODE"
check_true "the running copy is left alone" is_running "$running"
driver send-key ESCAPE >/dev/null
wait_exit "$running" 15
cp "$SCENARIO_DIR/before/config.ini" "$install/config.ini"
cp "$SCENARIO_DIR/before/GameProfiles.ini" "$install/GameProfiles.ini"
cp "$SCENARIO_DIR/before/Log.txt" "$install/Log.txt"

step "install over it"
echo stale >"$install/Tillerset.exe"  # the update must bring the program back
install_silently "update"
same_files "update"
check_true "the program replaced by the update" cmp -s "$TS_EXE" "$install/Tillerset.exe"
check_true "shortcut still there" test -f "$lnk"

step "uninstall.exe /S"
start_exe "$install/uninstall.exe" /S
wait_exit "$PROGRAM_PID" 60
# The uninstaller runs on from a copy of itself in the temporary folder; the
# entry in the list of programs is the last thing it removes.
listed() { "$TS_WINE" reg query "$key" >/dev/null 2>&1; }
unlisted() { ! listed; }
check_true "no longer in the list of programs" wait_for 20 unlisted
for f in Tillerset.exe uninstall.exe System Tools/FLASHER.txt; do
  check_true "removed: $f" test ! -e "$install/$f"
done
check_true "shortcut removed" test ! -e "$lnk"
same_files "uninstall"
check_eq "nothing else left" "GameProfiles.ini Log.txt Tools config.ini" "$(ls -A "$install" | LC_ALL=C sort | xargs)"
check_eq "and only the flasher in Tools" "avrdude.conf avrdude.exe" "$(ls -A "$install/Tools" | LC_ALL=C sort | xargs)"
