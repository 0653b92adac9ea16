# "Reset Board" (2050 on the developer strip; the main page has a slider with
# the same id): the wheel's port closed, opened at 1200 baud and closed again,
# which the board takes as the way into its bootloader; the status refresh
# then finds the board again.

responsive_within $E2E_BOUND_BULK_READ "the board found again after its reset is read whole"

start_board 7 --status 8
write_config DEVICE_COM_PORT=7

start_program -dev
wait_window || scenario_end
check_true "the board is ready" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
from=$(($(transcript_lines) + 1))
driver click-page 1 $IDC_RESET_BOARD >/dev/null
check_true "the board saw the 1200-baud open and close" wait_transcript "$from" "1200-baud open: bootloader reset"
check_true "the refresh probes the board again" wait_transcript "$from" "probe"
check_true "and it is ready again" driver -t 10 wait-text $IDC_DEVICE_STATUS "Ready"
end_with_escape
