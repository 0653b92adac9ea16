# The board's own tuning survives a first start without it: at the next start
# with the board (1234 °, Main Gain 77, Spring 66) the "Default" made without
# it takes the board's values, which the board keeps and the page shows.

responsive_within $E2E_BOUND_PROFILE "a profile applied at start"

step "first start, no board"
start_and_wait
end_with_escape

step "second start, with the board"
start_board 7 --set 8=1234 --set 17=77 --set 18=66
write_config DEVICE_COM_PORT=7
start_and_wait
check_true "the board's angle shown" driver -t 10 wait-text $IDC_MAX_ANGLE_VALUE "1234 °"
check_eq "Main Gain and Spring shown" "60 % 51 %" "$(driver get-text $IDC_MAIN_GAIN_VALUE) $(driver get-text $IDC_GAME_SPRING_VALUE)"
settle 0.3
check_eq "no other angle, Main Gain or Spring written" "" \
  "$(received_since 1 | grep -E '^50 (08|11|12) ' | grep -vxE '50 08 04 00 00 04 d2|50 11 01 4d|50 12 01 42')"
end_with_escape
check_match "Default holds the board's values, no mark" '^PROFILE=Default,NoLife.exe,0,1234,77,66(,-?[0-9]+){11}$' \
  "$(file_text "$SCENARIO_DIR/GameProfiles.ini" | grep '^PROFILE=')"
