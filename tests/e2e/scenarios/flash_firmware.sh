# Firmware from the update server onto the stand-in board, the program in a
# folder whose name has a space. The board is found by the real port lister
# (a fake USB device COM7 in the prefix), the flasher is the stand-in that
# records what it was given (Tools\avrdude.exe). FW_VERSION 1.6 is newer
# than the board's 1.5: the offer, then
#   a corrupt HEX, a firmware path with a folder and a failing flasher each
#   end in a message that names the step (only the last one reaches the
#   board, and no settings are offered back after it: nothing was flashed);
#   a good flash: the 80,653-byte HEX fetched whole and written, the 1200-baud
#   open and close, the bootloader's port, the flasher's exact arguments and
#   file, the board back with new firmware and its defaults, its settings put
#   back on Yes.

responsive_within $E2E_BOUND_FLASH "the board read whole before the reset and on its return; a flash runs tick by tick"

start_board 7 --bootloader "$SCENARIO_DIR/board/boot" --bootloader-ms 4000 --set 17=100
start_update_server

# 1792 records of 16 bytes: the whole application area, 80,653 bytes of text.
make_hex() {
  awk -v corrupt="${2:-0}" 'BEGIN {
    srand(7)
    for (a = 0; a < 28672; a += 16) {
      line = sprintf(":10%04X00", a); sum = 16 + int(a / 256) + a % 256
      for (i = 0; i < 16; i++) { b = int(rand() * 256); line = line sprintf("%02X", b); sum += b }
      cs = (256 - sum % 256) % 256
      if (corrupt && a == 4096) cs = (cs + 1) % 256
      printf "%s%02X\r\n", line, cs
    }
    printf ":00000001FF\r\n"
  }' >"$1"
}
make_hex "$SERVER_ROOT/wheel_1_6.hex"
make_hex "$SERVER_ROOT/corrupt.hex" 1
mkdir -p "$SERVER_ROOT/fw" && cp "$SERVER_ROOT/wheel_1_6.hex" "$SERVER_ROOT/fw/wheel_1_6.hex"
check_eq "the firmware file is over 80,000 bytes" 80653 "$(wc -c <"$SERVER_ROOT/wheel_1_6.hex")"
online_script() {
  printf '%s\r\n' "[SERVER]" "ADRESS=$SERVER_HOST" "[UPDATE]" "VERSION=0,0,0,21" "FW_VERSION=0,0,1,6" \
    "FW_UPDATE=0,0,0,0,$SERVER_HOST,$1" >"$SERVER_ROOT/ts_servers.ini"
}

# The program's folder, as an install has it, and the stand-in flasher.
program_dir="$SCENARIO_DIR/My Wheel"
program_in "$program_dir"
flasher_tools "$program_dir"
write_config_with_server FLAGS=0   # no DEVICE_COM_PORT: the lister finds the board
mv "$SCENARIO_DIR/config.ini" "$program_dir/config.ini"
plog() { tr -d '\r' <"$program_dir/Log.txt" 2>/dev/null; }
plog_has() { plog | grep -qF -- "$1"; }
no_reset_since() { ! tail -n +"$1" "$TRANSCRIPT" | grep -q '1200-baud open'; }

start_flashing_program() {
  start_in "$program_dir" "$program_dir/Tillerset.exe"
  wait_window || scenario_end
  check_match "the lister found the board on COM7" '^[0-9]+ COM7$' "$(driver get-combo $IDC_WHEEL_PORT)"
  check_true "the board's firmware version" driver wait-text $IDC_FIRMWARE_VERSION "$1"
}

# Check now, Yes to the firmware; prints nothing.
accept_firmware() {
  driver click $IDC_CHECK_NOW >/dev/null
  local offer
  offer=$(driver find-msgbox 10)
  check_eq "the offer" "New firmware available, do you want to download it ?" "$(head -n1 <<<"$offer")"
  check_eq "with both versions" "Firmware 1.5 → 1.6" "$(tail -n1 <<<"$offer")"
  driver click-msgbox IDYES >/dev/null
}
expect_failure_box() {
  local text
  text=$(driver -t 30 find-msgbox 30)
  check_match "$1: the failure message" "$2" "$(printf '%s' "$text" | tr -s '\r\n' ' ')"
  driver click-msgbox IDOK >/dev/null
  driver wait-gone msgbox 10 >/dev/null
}

step "a flasher that fails"
export TS_FLASHER_EXIT=1
start_flashing_program 1.5

step "a corrupt HEX"
online_script corrupt.hex
from=$(($(transcript_lines) + 1))
accept_firmware
expect_failure_box "corrupt" '^Could not flash the firmware: corrupt.hex is not firmware for the wheel \(line 257: a record with a wrong checksum\)\. Nothing was changed on the wheel\.$'
check_true "the firmware was fetched" wait_request 1 'corrupt.hex'
check_true "nothing reached the board" no_reset_since "$from"
check_true "the flasher did not run" test ! -e "$program_dir/flasher.args"
check_true "the log says why" plog_has "FlashFirmware: corrupt.hex is not firmware for the board (line 257: a record with a wrong checksum)"

step "a firmware path with a folder"
online_script fw/wheel_1_6.hex
accept_firmware
expect_failure_box "folder" '^Could not flash the firmware: "fw/wheel_1_6.hex" is not a plain .hex file name\. Nothing was changed'
check_true "not even fetched" test -z "$(server_requests_since 1 | grep 'fw/')"
check_true "nothing reached the board" no_reset_since "$from"
check_true "the flasher did not run" test ! -e "$program_dir/flasher.args"

step "the flasher fails"
online_script wheel_1_6.hex
from=$(($(transcript_lines) + 1))
accept_firmware
follow_bootloader 9 "$from"
expect_failure_box "failing flasher" '^Could not flash the firmware: avrdude on COM9 ended with exit code 1\. The wheel may be waiting in its bootloader'
check_true "the flasher ran" test -s "$program_dir/flasher.args"
check_true "its exit code was looked at" plog_has "FlashFirmware: avrdude ended with exit code 1"
check_true "the board answers again" driver wait-text $IDC_FIRMWARE_VERSION "1.5"
settle 1.5
check_true "no settings offered back: nothing was flashed" no_box
check_true "the backup waits for the next flash" test -s "$program_dir/BoardBackup.ini"
end_with_escape
rm -f "$program_dir/flasher.args" "$program_dir/flasher.hex" "$program_dir/wheel_1_6.hex"

step "a good flash"
export TS_FLASHER_EXIT=0
start_flashing_program 1.5
from=$(($(transcript_lines) + 1))
requests_from=$(($(server_log_lines) + 1))
# New firmware: the board comes back as 1.6 with its default settings.
BOOTLOADER_HOOK='board "version 1.6"; board defaults; driver list-windows >"$SCENARIO_DIR/windows.txt"'
accept_firmware
follow_bootloader 9 "$from"
BOOTLOADER_HOOK=
check_true "the flash runs in its own window" grep -q '"Firmware Update"' "$SCENARIO_DIR/windows.txt"
check_true "the 1200-baud open and close" bash -c "tail -n +$from '$TRANSCRIPT' | grep -q '1200-baud open: bootloader reset'"
check_true "the firmware fetched whole" bash -c "tail -n +$requests_from '$SERVER_LOG' | grep -q 'wheel_1_6.hex HTTP/1.0.*-> 200 80653 bytes'"
check_true "written whole in the program's folder" cmp -s "$SERVER_ROOT/wheel_1_6.hex" "$program_dir/wheel_1_6.hex"
check_eq "the flasher's arguments" "avrdude
-CTools\\avrdude.conf
-v
-patmega32u4
-cavr109
-PCOM9
-b57600
-D
-Uflash:w:wheel_1_6.hex:i" "$(tr -d '\r' <"$program_dir/flasher.args")"
check_true "the flasher got the served file" cmp -s "$SERVER_ROOT/wheel_1_6.hex" "$program_dir/flasher.hex"
check_true "the log has the command line" plog_has 'Tools\avrdude -CTools\avrdude.conf -v -patmega32u4 -cavr109 -PCOM9 -b57600 -D-Uflash:w:wheel_1_6.hex:i'

step "the board back: its settings put back"
restore_from=$(($(transcript_lines) + 1))
check_eq "the question" \
  "The firmware was updated. Do you want to put your previous wheel settings back ?" "$(driver -t 20 find-msgbox 20)"
driver click-msgbox IDYES >/dev/null
check_true "Main Gain 100 written back" wait_received "$restore_from" '^50 11 01 64$' 1
driver wait-gone msgbox 10 >/dev/null
check_true "the new firmware's version" driver wait-text $IDC_FIRMWARE_VERSION "1.6"
check_true "all 69 settings" wait_for 5 plog_has "RestoreBoardSettings: 69 settings put back"
check_true "the backup has done its job" test ! -e "$program_dir/BoardBackup.ini"
check_true "no failure message" no_box
end_with_escape
