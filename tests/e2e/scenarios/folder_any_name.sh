# A folder name the Western ANSI code page cannot hold: settings and log stay in the
# program's folder, and its own Tools\listComPorts.exe runs, never C:\Tools' one.

responsive_within $E2E_BOUND_COMMAND "a start from a folder of any name"
export LC_ALL=C.UTF-8  # Wine's ANSI code page is then the Western one
drive_c=$WINEPREFIX/drive_c
folder="$drive_c/users/Тимур Ünï/Tillerset"
program_in "$folder"
install_lister "$folder"
# In another order than the program writes it: rewritten, it was read there.
printf '[Config]\r\nWINDOW_DURATION=37\r\nFLAGS=2\r\n\r\n' >"$folder/config.ini"
mkdir -p "$drive_c/Tools"  # a program there leaves C:\trap.args behind
cp -f "$TS_WIN_BUILD/test_flasher.exe" "$drive_c/Tools/listComPorts.exe"
export TS_FLASHER_RECORD='C:\trap'

start_in "$SCENARIO_DIR" "$folder/Tillerset.exe" -dev
wait_window || scenario_end
end_with_escape
check_match "config.ini read and written back there" $'FLAGS=2\nWINDOW_DURATION=37\nDEVICE_COM_PORT' "$(file_text "$folder/config.ini")"
check_true "GameProfiles.ini and Log.txt there" test -f "$folder/GameProfiles.ini" -a -f "$folder/Log.txt"
check_true "nothing written to C:\\" test ! -e "$drive_c/config.ini" -a ! -e "$drive_c/GameProfiles.ini" -a ! -e "$drive_c/Log.txt"
check_true "nothing started from C:\\Tools" test ! -e "$drive_c/trap.args"
