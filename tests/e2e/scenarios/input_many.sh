# Seventeen force-feedback controllers: sixteen are listed, in order. The
# program never asks DirectInput for an effect, not at start, not while the
# effect sliders move, not while the controller's sliders move.

responsive_within $E2E_BOUND_COMMAND "seventeen controllers enumerated at start"
source "$TS_SOURCE_DIR/tests/e2e/input_lib.sh"
use_dinput_double
script=()
for n in $(seq 1 17); do script+=("$(dinput_device "Wheel $n" "$n" slider0=$((n * 100)))"); done
dinput_script "${script[@]}"

start_and_wait -dev
expected=$(for n in $(seq 1 16); do echo "Wheel $n"; done)
check_answer "sixteen listed" "$expected" list-combo $IDC_GAMING_DEVICE
check_answer "the first is chosen" "0 Wheel 1" get-combo $IDC_GAMING_DEVICE
check_true "and read" driver wait-text $IDC_SLIDER0 100
check_true "the seventeenth was opened and let go" grep -q 'Device.Release 2118778897,.* -> 0' "$DINPUT_LOG"

step "effect sliders and the controller's sliders move"
for value in 10 64 127; do
  for slider in 2021 2031 2046 2049 2063 2055 2059 2032 2058 2044 2072 2038 2050 2062 2066; do
    driver set-slider "$slider" "$value" >/dev/null
  done
done
check_true "the last move is shown" driver wait-text $IDC_USER_INERTIA_VALUE "100 %"
script[0]="$(dinput_device "Wheel 1" 1 slider0=5000 slider1=6000)"
dinput_script "${script[@]}"
check_true "the controller's sliders are read" driver wait-text $IDC_SLIDER1 6000
end_with_escape
check_eq "no effect call at all" "" "$(grep EFFECT "$DINPUT_LOG")"
