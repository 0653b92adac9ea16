# A flash that takes its time, in its own window, with the bootloader on the
# board's own COM number, then the same board stranded in its bootloader at
# the next start. The flasher stand-in runs 6 s drawing avrdude's progress:
#   the "Firmware Update" window shows the stages and its bar moves forward
#   while the main window keeps answering (asked every 50 ms for 2 s while
#   the flasher writes);
#   the bootloader is found by its USB ids on COM7, where the board was;
#   the settings are offered back only after the flash (No, then kept);
#   at the next start the board waits in its bootloader on COM9 and no board
#   answers: the last downloaded firmware (1.6) is offered and written there
#   without a reset.

# The whole run's bound is the start's (the lister and the board read before
# the window is free); the flash itself is asked about while the flasher writes.
responsive_within $E2E_BOUND_FLASH "the board read whole before the reset and on its return; a flash runs tick by tick"

start_board 7 --bootloader "$SCENARIO_DIR/board/boot" --bootloader-ms 12000 --set 17=100
start_update_server

awk 'BEGIN {
  for (a = 0; a < 4096; a += 16) {
    line = sprintf(":10%04X00", a); sum = 16 + int(a / 256) + a % 256
    for (i = 0; i < 16; i++) { b = (a + i * 7) % 256; line = line sprintf("%02X", b); sum += b }
    printf "%s%02X\r\n", line, (256 - sum % 256) % 256
  }
  printf ":00000001FF\r\n"
}' >"$SERVER_ROOT/wheel_1_6.hex"
printf '%s\r\n' "[SERVER]" "ADRESS=$SERVER_HOST" "[UPDATE]" "VERSION=0,0,0,21" "FW_VERSION=0,0,1,6" \
  "FW_UPDATE=0,0,0,0,$SERVER_HOST,wheel_1_6.hex" >"$SERVER_ROOT/ts_servers.ini"

program_dir="$SCENARIO_DIR/prog"
program_in "$program_dir"
flasher_tools "$program_dir"
write_config_with_server FLAGS=0
mv "$SCENARIO_DIR/config.ini" "$program_dir/config.ini"
export TS_FLASHER_EXIT=0 TS_FLASHER_MS=6000

step "a slow flash, the bootloader on COM7"
start_in "$program_dir" "$program_dir/Tillerset.exe"
wait_window || scenario_end
check_true "the board answers" driver wait-text $IDC_FIRMWARE_VERSION "1.5"
from=$(($(transcript_lines) + 1))
driver click $IDC_CHECK_NOW >/dev/null
check_match "the offer" '^New firmware available, do you want to download it \?' "$(driver find-msgbox 10 "New firmware")"
driver click-msgbox IDYES >/dev/null
wait_for 20 has_since "$TRANSCRIPT" "$from" '#  bootloader on '
# Windows gives the bootloader the board's number: COM7 is now the bootloader.
link_com 7 "$SCENARIO_DIR/board/boot"
add_port_device 7 'USB\VID_2341&PID_0036' 'Arduino Leonardo bootloader (COM7)'
check_true "the Firmware Update window" driver wait-window "Firmware Update" 10
# The driver's target lasts one chain: each look at the window names it.
in_flash() { driver -w "Firmware Update" "$@"; }
stages=""
positions=""
pinged=""
for i in $(seq 1 60); do
  stage=$(in_flash get-text 1901) || break
  [ -n "$stage" ] || break
  case "$stages" in *"$stage"*) ;; *) stages="$stages$stage|" ;; esac
  positions="$positions $(in_flash get-progress 1902)"
  [ "$stage" = "Writing the firmware..." ] && note=$(in_flash get-text 1903)
  if [ "$stage" = "Writing the firmware..." ] && [ -z "$pinged" ]; then
    # The main window while the flasher writes: asked every 50 ms for 2 s.
    pinged=$(driver ping-window 2)
    echo "main window while writing: $pinged"
    longest=$(printf '%s' "$pinged" | sed -n 's/.*longest \([0-9]*\) ms.*/\1/p')
    check_true "the main window answers within 100 ms while the flasher writes (${longest:-?} ms, $(e2e_allowance_text))" \
      test "${longest:-99999}" -le "$(e2e_allowed 100)"
  fi
  sleep 0.2
done
echo "stages: $stages"
echo "bar: $positions"
check_match "the stages in words" 'Waiting for its bootloader\.\.\.\|Writing the firmware\.\.\.\|Verifying the firmware\.\.\.\|' "$stages"
check_true "the bar moves forward" bash -c "echo '$positions' | tr ' ' '\n' | awk 'NF { if (\$1 < last) exit 1; last = \$1; n[\$1] = 1 } END { if (length(n) < 5) exit 1 }'"
check_eq "why there is no cancel" "Do not unplug the wheel" "${note:-}"
wait_for 10 grep -qs -- '-PCOM' "$program_dir/flasher.args"
check_true "the flasher wrote on COM7" grep -qx -- '-PCOM7' "$program_dir/flasher.args"
wait_for 20 has_since "$TRANSCRIPT" "$from" '#  back as the board on '
remove_port_device 7
add_port_device 7 'USB\VID_2341&PID_8036&MI_00' 'Arduino Leonardo (COM7)'
link_com 7 "$SCENARIO_DIR/board/tty"
check_eq "the settings offered back after the flash" \
  "The firmware was updated. Do you want to put your previous wheel settings back ?" "$(driver -t 30 find-msgbox 30)"
driver click-msgbox IDNO >/dev/null
check_match "keep them" '^Keep your previous wheel settings saved' "$(driver -t 10 find-msgbox 10)"
driver click-msgbox IDYES >/dev/null
driver wait-gone msgbox 10 >/dev/null
check_true "the avrdude output in the log" bash -c "tr -d '\r' <'$program_dir/Log.txt' | grep -q 'avrdude: avrdude: 28672 bytes of flash verified'"
end_with_escape

step "stranded in its bootloader at the next start"
from=$(($(transcript_lines) + 1))
stty -F "$SCENARIO_DIR/board/tty" 1200 2>/dev/null
wait_for 10 has_since "$TRANSCRIPT" "$from" '#  bootloader on '
link_com 9 "$SCENARIO_DIR/board/boot"
add_port_device 9 'USB\VID_2341&PID_0036' 'Arduino Leonardo bootloader (COM9)'
rm -f "$program_dir/flasher.args"
boot_from=$(($(transcript_lines) + 1))
start_in "$program_dir" "$program_dir/Tillerset.exe"
wait_window || scenario_end
check_eq "the last firmware offered" \
  "Your wheel is waiting in its bootloader on COM9 and no firmware runs on it. Do you want to write the firmware 1.6 that was downloaded last ?" \
  "$(driver -t 30 find-msgbox 30)"
driver click-msgbox IDYES >/dev/null
wait_for 10 test -s "$program_dir/flasher.args"
check_true "written on the bootloader's port" grep -qx -- '-PCOM9' "$program_dir/flasher.args"
check_true "the firmware that was downloaded" grep -qx -- '-Uflash:w:wheel_1_6.hex:i' "$program_dir/flasher.args"
check_true "no reset: it was in its bootloader already" bash -c "! tail -n +$boot_from '$TRANSCRIPT' | grep -q '1200-baud open'"
wait_for 20 has_since "$TRANSCRIPT" "$from" '#  back as the board on '
remove_port_device 9
rm -f "$WINEPREFIX/dosdevices/com9"
check_eq "the kept settings offered back after the recovery" \
  "The firmware was updated. Do you want to put your previous wheel settings back ?" "$(driver -t 30 find-msgbox 30)"
driver click-msgbox IDNO >/dev/null
driver -t 10 find-msgbox 10 >/dev/null
driver click-msgbox IDYES >/dev/null
driver wait-gone msgbox 10 >/dev/null
end_with_escape
