# Shell functions of the game-controller scenarios (sourced after lib.sh):
# the DirectInput stand-in (dinput8.dll built from tests/e2e/dinput_double)
# beside the program, its script and its call log, and pixels of a screenshot.

# Puts the stand-in dinput8.dll beside the program and makes Wine load it
# instead of its own. Sets DINPUT_SCRIPT and DINPUT_LOG.
use_dinput_double() {
  local dll=$TS_WIN_BUILD/dinput8.dll
  [ -f "$dll" ] || { fail "no $dll (build the Windows configuration)"; scenario_end; }
  cp -f "$dll" "$SCENARIO_DIR/dinput8.dll"
  export WINEDLLOVERRIDES="mscoree,mshtml=;dinput8=n"
  DINPUT_SCRIPT=$SCENARIO_DIR/dinput8_double.txt
  DINPUT_LOG=$SCENARIO_DIR/dinput8_double.log
  : >"$DINPUT_SCRIPT"
}

# Replaces the stand-in's script with the lines given (one argument a line).
# The stand-in reads it on every call, so the swap is atomic.
dinput_script() {
  printf '%s\n' "$@" >"$DINPUT_SCRIPT.new"
  mv -f "$DINPUT_SCRIPT.new" "$DINPUT_SCRIPT"
}

# A controller's script lines: dinput_device NAME INSTANCE-NUMBER [key=value...]
# The instance GUID is 2118778880+N,1,2,3,4,5,6,7,8,9,N (as config.ini writes it).
dinput_device() {
  local name=$1 n=$2
  shift 2
  printf '%s\n' "[device]" "name=$name" "instance=$(dinput_guid "$n")" "product=0x2341,0x8036" "$@"
}
dinput_guid() { echo "$((2118778880 + $1)),1,2,3,4,5,6,7,8,9,$1"; }

dinput_log_lines() { [ -f "$DINPUT_LOG" ] && wc -l <"$DINPUT_LOG" || echo 0; }
dinput_log_since() { tail -n +"$1" "$DINPUT_LOG" 2>/dev/null; }

# Waits (at most 10 s) until the stand-in's log from line $1 on has a line
# matching regex $2.
dinput_logged_since() { dinput_log_since "$1" | grep -qE -- "$2"; }
wait_dinput_log() { wait_for 10 dinput_logged_since "$@"; }

# Tells the frame that devices came or went, as Windows does.
device_change() { driver post-message 0x219 7 0 >/dev/null; }  # WM_DEVICECHANGE, DBT_DEVNODES_CHANGED

# ---- pixels

# Takes a screenshot of the display into $1 and notes the main page's client
# origin on the screen (PAGE_X, PAGE_Y).
screenshot() {
  local origin
  origin=$(driver client-origin) || { fail "no client origin"; return 1; }
  PAGE_X=${origin% *}
  PAGE_Y=${origin#* }
  SHOT=$1
  import -window root "$SHOT" 2>/dev/null || { fail "no screenshot"; return 1; }
}

# The colour at page pixel (x, y) of the last screenshot: "R,G,B".
pixel() {
  convert "$SHOT" -format "%[fx:int(255*p{$((PAGE_X + $1)),$((PAGE_Y + $2))}.r)],%[fx:int(255*p{$((PAGE_X + $1)),$((PAGE_Y + $2))}.g)],%[fx:int(255*p{$((PAGE_X + $1)),$((PAGE_Y + $2))}.b)]" info: 2>/dev/null
}

# How many pixels of page column x from y0 to y1 (inclusive) are pure red.
red_in_column() {
  local x=$1 y0=$2 y1=$3
  convert "$SHOT" -crop "1x$((y1 - y0 + 1))+$((PAGE_X + x))+$((PAGE_Y + y0))" +repage txt:- 2>/dev/null |
    grep -c '#FF0000'
}

# Waits (at most 10 s) until the picture shows what check function $1 wants,
# taking a new screenshot each time; the picture follows the controller
# within a tick or two.
wait_picture() {
  local check=$1 i
  for i in $(seq 1 40); do
    screenshot "$SCENARIO_DIR/picture.png" && "$check" && return 0
    sleep 0.25
  done
  return 1
}
