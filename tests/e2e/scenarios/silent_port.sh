# A port that opens but where nothing answers (another device, a board in its
# bootloader): the program keeps probing it once a second, and the window
# keeps answering meanwhile: the handshake's reply is awaited tick by tick,
# never by holding the window for its 500 ms. PING_SECONDS sets how long the
# window is watched (5 s here; the figures in the docs come from 30 s).

responsive_within $E2E_BOUND_COMMAND "the probe goes out and its reply is awaited tick by tick"

start_board 7 --silent
write_config DEVICE_COM_PORT=7

step "start with a silent device on COM7"
start_and_wait
check_true "the port opens, nobody answers" driver wait-text $IDC_DEVICE_STATUS "Connected"

step "the window answers while the probes go on"
from=$(($(transcript_lines) + 1))
ping=$(driver ping-window "${PING_SECONDS:-5}")
echo "$ping"
read -r _ asks _ longest _ _ within _ _ blocked _ _ <<<"$ping"
check_true "probes keep going out" test "$(received_since "$from" | grep -c '^6f 72 76 65 6e 6b 3f$')" -ge 3
check_true "answered within 100 ms at least 90 % of the time ($within %)" awk -v w="$within" 'BEGIN { exit !(w >= 90) }'
check_true "never held for a probe's whole reply window ($longest ms)" test "$longest" -lt 400
end_with_escape
