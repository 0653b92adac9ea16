# The board's own tuning survives a first start without it: the "Default"
# made without a board is marked in GameProfiles.ini, and at the next start
# with the board (set to 1234 °, Main Gain 77, Spring 66) it takes the board's
# values: the board keeps them, the page shows them, the file then holds them.

responsive_within $E2E_BOUND_PROFILE "a profile applied at start"

step "first start, no board"
write_config DEVICE_COM_PORT=0
start_and_wait
check_eq "no board" "Disconnected" "$(driver get-text 2088)"
end_with_escape
check_eq "Default holds placeholders, marked" "[GameProfiles]
PROFILE=Default,NoLife.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16,1" \
  "$(file_text "$SCENARIO_DIR/GameProfiles.ini")"

step "second start, with the board"
start_board 7 --set 8=1234 --set 17=77 --set 18=66
write_config DEVICE_COM_PORT=7
start_and_wait
check_true "the board is read" driver -t 10 wait-text 2023 "1234 °"
check_eq "Max Angle from the board" "1234 °" "$(driver get-text 2023)"
check_eq "Main Gain from the board" "60 %" "$(driver get-text 2029)"
check_eq "Spring from the board" "51 %" "$(driver get-text 2035)"
settle
writes=$(received_since 1 | grep '^50 ' || true)
check_eq "no placeholder angle written" "" "$(grep '^50 08 04 00 00 03 84' <<<"$writes")"
check_eq "the board's angle, if any write" "" "$(grep '^50 08 ' <<<"$writes" | grep -v '^50 08 04 00 00 04 d2$')"
check_eq "the board's Main Gain, if any write" "" "$(grep '^50 11 ' <<<"$writes" | grep -v '^50 11 01 4d$')"
check_eq "the board's Spring, if any write" "" "$(grep '^50 12 ' <<<"$writes" | grep -v '^50 12 01 42$')"
end_with_escape
check_match "Default now holds the board's values" \
  '^PROFILE=Default,NoLife.exe,0,1234,77,66,[-0-9,]*,[0-9]+$' \
  "$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep '^PROFILE=')"
check_eq "no longer marked" "17" "$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep '^PROFILE=' | tr ',' '\n' | wc -l)"
