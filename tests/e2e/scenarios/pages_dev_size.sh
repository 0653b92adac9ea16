# The frame window is sized around its pages: its client area is exactly the
# main page, whatever the system's borders add outside it, and in
# developer mode the drive/state strip below the main page adds its height.
# The strip's debug level and wheel state rows are disabled.

responsive_within $E2E_BOUND_COMMAND "no board"

# Prints "width height" of the frame and of each page ("x y width height").
# (driver output is captured first: the driver cannot be piped into.)
frame_and_pages() {
  local rect
  rect=$(driver window-rect)
  FRAME=$(awk '{print $3, $4}' <<<"$rect")
  CLIENT=$(awk '{print $5, $6}' <<<"$rect")
  PAGES=$(driver list-pages)
}

step "normal mode"
start_and_wait
frame_and_pages
check_eq "one page" "1" "$(echo "$PAGES" | grep -c .)"
read -r px py pw ph <<<"$PAGES"
check_eq "main page at the top-left corner" "0 0" "$px $py"
check_eq "the frame's client area is the page" "$pw $ph" "$CLIENT"
read -r fw fh <<<"$FRAME"
check_true "the borders lie outside the page" test "$fw" -gt "$pw" -a "$fh" -gt "$ph"
check_match "title carries the version" ' \(version 0\.21\)$' "$(driver get-title)"
end_with_escape

step "developer mode"
start_and_wait -dev
frame_and_pages
check_eq "two pages" "2" "$(echo "$PAGES" | grep -c .)"
read -r mx my mw mh <<<"$(echo "$PAGES" | sed -n 1p)"
read -r sx sy sw sh <<<"$(echo "$PAGES" | sed -n 2p)"
check_eq "strip right below the main page" "0 $mh" "$sx $sy"
wide=$mw
[ "$sw" -gt "$wide" ] && wide=$sw
check_eq "frame holds both pages" "$wide $((mh + sh))" "$CLIENT"
check_answer "debug level list disabled" "0" is-enabled $IDC_DEBUG_LEVEL
check_answer "wheel state rows disabled" "0" is-enabled $IDC_X_AXIS_TEXT
check_answer "torque bandwidth label" "100 Hz" get-text $IDC_TORQUE_BW_VALUE
check_answer "statistics window label" "1.0 s" get-text $IDC_WINDOW_VALUE
check_match "debug level shows None" '^0 None$' "$(driver get-combo $IDC_DEBUG_LEVEL)"
end_with_escape
