# A per-user install under a user name that the ANSI code page of a
# Western-locale Windows cannot hold: the program finds its settings, writes
# config.ini, GameProfiles.ini and Log.txt in its own folder and starts its
# own Tools\listComPorts.exe, never one of C:\Tools\ (any local user could put
# a program there).

responsive_within $E2E_BOUND_COMMAND "a start from a folder of any name"

export LC_ALL=C.UTF-8  # Wine's ANSI code page is then the Western one
drive_c=$WINEPREFIX/drive_c
folder="$drive_c/users/Тимур Ünï/Tillerset"
program_in "$folder"
install_lister "$folder"
# In another order than the program writes it: a rewritten file shows that it
# was read and written in that folder.
printf '[Config]\r\nWINDOW_DURATION=37\r\nFLAGS=2\r\n\r\n' >"$folder/config.ini"
# A program that leaves C:\trap.args behind when it is started.
mkdir -p "$drive_c/Tools"
cp -f "$TS_WIN_BUILD/test_flasher.exe" "$drive_c/Tools/listComPorts.exe"
export TS_FLASHER_RECORD='C:\trap'

step "started from a shortcut's folder elsewhere"
start_in "$SCENARIO_DIR" "$folder/Tillerset.exe" -dev
wait_window || scenario_end
driver send-key ESCAPE >/dev/null
wait_exit "$PROGRAM_PID" 15
check_eq "exit code after Escape" 1 "$EXIT_CODE"

step "everything in the program's folder"
check_match "config.ini read and written back there" $'FLAGS=2\nWINDOW_DURATION=37\nDEVICE_COM_PORT' "$(file_text "$folder/config.ini")"
check_true "GameProfiles.ini written there" test -f "$folder/GameProfiles.ini"
check_true "Log.txt written there" test -f "$folder/Log.txt"
check_true "nothing written to C:\\" test ! -e "$drive_c/config.ini" -a ! -e "$drive_c/GameProfiles.ini" -a ! -e "$drive_c/Log.txt"
check_true "nothing started from C:\\Tools" test ! -e "$drive_c/trap.args"
