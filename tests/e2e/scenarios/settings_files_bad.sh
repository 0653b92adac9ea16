# config.ini and GameProfiles.ini as a user may leave them: damaged, huge, or
# plain binary. The program starts, keeps what it can read, and never replaces
# a file it could not read whole without keeping a copy of it first.

responsive_within $E2E_BOUND_PROFILE "a profile applied at start"

start_board 7 --status 8
cfg=$SCENARIO_DIR/config.ini
profiles=$SCENARIO_DIR/GameProfiles.ini

step "damaged: a good line, then junk and brackets"
printf '[Config]\r\nDEVICE_COM_PORT=7\r\nFLAGS=2\r\n\x01\x02 [[ ]] "unclosed\r\nGAME_PROFILE_ID=zz\r\n' >"$cfg"
printf '[GameProfiles]\r\nPROFILE=Default,NoLife.exe,0,900,100,127,127,127,127,127,127,127,0,0,0,0,16\r\nPROFILE=Half,half.exe,1\r\nPROFILE\r\n' >"$profiles"
start_and_wait
check_true "the port it could read is used" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
check_answer "Detect Game from FLAGS=2" "1" is-checked $IDC_DETECT_GAME
check_answer "Main Gain from the Default line" "78 %" get-text $IDC_MAIN_GAIN_VALUE
end_with_escape
check_match "config.ini keeps the port" 'DEVICE_COM_PORT=7' "$(file_text "$cfg")"
check_true "Default kept as it was" grep -q '^PROFILE=Default,NoLife.exe,0,900,100,' <(file_text "$profiles")
check_true "nothing to copy aside: both were read whole" test ! -e "$cfg.bak" -a ! -e "$profiles.bak"

step "huge: a config.ini larger than the program's memory"
rm -f "$cfg" "$profiles"
{ printf '[Config]\r\nDEVICE_COM_PORT=7\r\n// '; head -c 40000000 /dev/zero | tr '\0' 'x'; printf '\r\n'; } >"$cfg"
cp "$cfg" "$SCENARIO_DIR/huge.orig"
start_and_wait
end_with_escape
check_true "the unreadable file is kept byte for byte as config.ini.bak" cmp -s "$cfg.bak" "$SCENARIO_DIR/huge.orig"
check_true "the log says where the copy is" log_has "config.ini could not be read; a copy is kept as"
check_true "a config.ini is written anew" grep -q '^\[Config\]' <(file_text "$cfg")
rm -f "$SCENARIO_DIR/huge.orig" "$cfg.bak"

step "binary: GameProfiles.ini full of random bytes"
write_config DEVICE_COM_PORT=7
head -c 4096 /dev/urandom | tr -d '\000\032' >"$profiles"
cp "$profiles" "$SCENARIO_DIR/binary.orig"
start_and_wait
check_answer "only Default in the list" "Default" list-combo $IDC_PROFILE_LIST
end_with_escape
size=$(stat -c %s "$SCENARIO_DIR/binary.orig")
check_true "the binary bytes are all still there, in front" cmp -s -n "$size" "$profiles" "$SCENARIO_DIR/binary.orig"
check_true "then the profiles section" grep -aq '^\[GameProfiles\]' <(tail -c +$((size + 1)) "$profiles" | tr -d '\r')
