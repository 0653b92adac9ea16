# "setup.exe /S" installs for this user alone, without elevation, into the
# user's own programs folder, with a Start-menu shortcut and an entry in the
# list of programs. The program started from the shortcut's target, from a
# prompt in another folder, shows its window and writes config.ini,
# GameProfiles.ini and Log.txt in its install folder, nowhere else.

responsive_within $E2E_BOUND_COMMAND "the installed program started and ended"
need_package
check_true "the installer asks for no elevation" grep -qa 'requestedExecutionLevel level="asInvoker"' "$SETUP_EXE"

step "setup.exe /S"
start_exe "$SETUP_EXE" /S
wait_exit "$PROGRAM_PID" 60
check_eq "setup.exe exit code" 0 "$EXIT_CODE"
user_dir=$(wine_user_dir) || { fail "no user folder in the prefix"; scenario_end; }
user=$(basename "$user_dir")
install=$user_dir/AppData/Local/Programs/Tillerset
win_install="C:\\users\\$user\\AppData\\Local\\Programs\\Tillerset"
for f in Tillerset.exe uninstall.exe System/Resources/Scripts/system.ini System/Resources/Scripts/Exec.xml \
  Tools/FLASHER.txt; do
  check_true "installed: $f" test -f "$install/$f"
done
if [ -f "$TS_WIN_BUILD/list_com_ports.exe" ]; then
  check_true "installed: Tools/listComPorts.exe" cmp -s "$TS_WIN_BUILD/list_com_ports.exe" "$install/Tools/listComPorts.exe"
fi
zip=$(ls "$(dirname "$SETUP_EXE")"/Tillerset-*.zip 2>/dev/null | head -n1)
check_eq "the zip holds the installed files" \
  "$(cd "$install" && find . -type f ! -name uninstall.exe | sed 's|^\./|Tillerset/|' | LC_ALL=C sort | xargs)" \
  "$(unzip -Z1 "$zip" 2>/dev/null | grep -v '/$' | LC_ALL=C sort | xargs)"
check_true "the program is the one built" cmp -s "$TS_EXE" "$install/Tillerset.exe"
check_true "no settings shipped" test ! -e "$install/config.ini" -a ! -e "$install/GameProfiles.ini"
check_true "nothing under Program Files" test ! -e "$WINEPREFIX/drive_c/Program Files/Tillerset" -a \
  ! -e "$WINEPREFIX/drive_c/Program Files (x86)/Tillerset"

key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tillerset'
uninstall=$("$TS_WINE" reg query "$key" /v UninstallString 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
check_eq "in the user's list of programs" "\"$win_install\\uninstall.exe\"" "$uninstall"
name=$("$TS_WINE" reg query "$key" /v DisplayName 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
check_eq "listed as" "Tillerset" "$name"

step "the Start-menu shortcut"
lnk="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tillerset.lnk"
check_true "shortcut in the user's Start menu" test -f "$lnk"
mapfile -t shortcut < <(driver shortcut-target \
  "C:\\users\\$user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Tillerset.lnk")
check_eq "shortcut target" "$win_install\\Tillerset.exe" "${shortcut[0]:-}"
check_eq "shortcut working folder" "$win_install" "${shortcut[1]:-}"

step "started from a prompt in another folder"
elsewhere=$SCENARIO_DIR/elsewhere
start_in "$elsewhere" "${shortcut[0]}"
wait_window || scenario_end
check_match "window title" '^Kestra Wheel Configuration' "$(driver get-title)"
end_with_escape
for f in config.ini GameProfiles.ini Log.txt; do
  check_true "$f written in the install folder" test -s "$install/$f"
done
check_true "Log.txt is this run's" grep -q 'Exec Log Init' "$install/Log.txt"
check_eq "nothing written in the start folder" "" "$(ls -A "$elsewhere")"

step "opened through the shell, as a click on the shortcut does"
rm -f "$install/Log.txt"
start_in "$elsewhere" start /wait /unix "$lnk"
wait_window || scenario_end
# start hands back its own exit code here, not the program's.
driver send-key ESCAPE >/dev/null
wait_exit "$PROGRAM_PID" 15
check_true "Log.txt written in the install folder again" grep -q 'Exec Log Init' "$install/Log.txt"
check_eq "still nothing in the start folder" "" "$(ls -A "$elsewhere")"
