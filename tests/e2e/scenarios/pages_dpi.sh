# The main page with its bottom row (Save Board..., Load Board..., Export...,
# Import..., Start with Windows) at 96, 120 and 144 DPI: the page grows with
# the text size and the frame's client area stays the whole page, so every
# button stays on it. A screenshot of each is kept (main-DPI.png).

responsive_within $E2E_BOUND_COMMAND "no board"

for dpi in 96 120 144; do
  step "$dpi DPI"
  timeout 60 "$TS_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  start_and_wait
  read -r _ _ width height <<<"$(driver list-pages)"
  sizes+=("$width $height")
  # (driver output is captured first: the driver cannot be piped into.)
  rect=$(driver window-rect)
  controls=$(driver list-controls)
  check_eq "the frame's client area is the page at $dpi DPI" "$width $height" "$(awk '{print $5, $6}' <<<"$rect")"
  check_eq "the bottom row is there" "Save Board... Load Board... Export... Import... Start with Windows" \
    "$(awk '$1 == 2206 || $1 == 2207 || $1 == 2202 || $1 == 2203 || $1 == 2208' <<<"$controls" |
      sed 's/^[0-9]* *[A-Za-z]* "\(.*\)"$/\1/' | paste -sd' ')"
  import -window root "$SCENARIO_DIR/main-$dpi.png"
  end_with_escape
done
read -r w96 h96 <<<"${sizes[0]}"
read -r w144 h144 <<<"${sizes[2]}"
check_true "the page grows with the DPI (${sizes[*]})" test $((h144 * 100 / h96)) -ge 140 -a $((w144 * 100 / w96)) -ge 140
