# Shared shell functions of the end-to-end tests (sourced, not run).
#
# Two groups: the harness side (display, Wine prefix template, per-scenario
# prefixes) used by run.sh and scripts/run.sh, and the scenario side
# (start_program, driver, wait_exit, check_*, the stand-in board) used by
# scenarios/*.sh.
# Every wait here is bounded; every process started is recorded by PID so the
# harness can end exactly the processes it started.

TS_WINE=${TS_WINE:-/usr/lib/wine/wine64}
TS_WINESERVER=${TS_WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$TS_WINE" ] || TS_WINE=$(command -v wine64 || command -v wine || echo wine64)
[ -x "$TS_WINESERVER" ] || TS_WINESERVER=$(command -v wineserver || echo wineserver)
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko download prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

e2e_now() { date +%s.%N; }

# wait_for SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds, at
# most SECONDS (whole seconds); fails when it never did.
wait_for() {
  local tries=$(($1 * 20))
  shift
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.05
  done
}
e2e_since() { awk -v a="$1" -v b="$(e2e_now)" 'BEGIN { printf "%.1f", b - a }'; }

# True while PID is alive and is one of ours (a Wine program, Xvfb or a tool
# we started), so a recycled PID is never signalled.
e2e_pid_ours() {
  local pid=$1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 1
  local cmd
  cmd=$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null) || return 1
  case "$cmd" in
    *.exe* | *Xvfb* | *standin* | *update_server* | *wine* | *nginx*) return 0 ;;
  esac
  return 1
}

# Ends one process we started: TERM, then KILL after a second.
e2e_kill_pid() {
  local pid=$1 i
  e2e_pid_ours "$pid" || return 0
  kill -TERM "$pid" 2>/dev/null
  for i in 1 2 3 4 5 6 7 8 9 10; do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  return 0
}

# ---- display

# Starts a private Xvfb on a free display number (Xvfb picks it) and exports
# DISPLAY. Writes the PID to $1/xvfb.pid.
e2e_start_xvfb() {
  local dir=$1
  mkdir -p "$dir"
  rm -f "$dir/xvfb.display"
  # 9 is the e2e run's lock: long-lived children must not keep it.
  # TS_E2E_SCREEN: a larger screen for pictures of scaled displays.
  Xvfb -displayfd 3 -screen 0 "${TS_E2E_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$dir/xvfb.display" \
    >"$dir/xvfb.log" 2>&1 9>&- &
  echo $! >"$dir/xvfb.pid"
  wait_for 10 test -s "$dir/xvfb.display" ||
    { echo "e2e: Xvfb did not start (see $dir/xvfb.log)" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$dir/xvfb.display" | tr -d '[:space:]')"
}

e2e_stop_xvfb() {
  local dir=$1
  [ -f "$dir/xvfb.pid" ] && e2e_kill_pid "$(cat "$dir/xvfb.pid")"
  rm -f "$dir/xvfb.pid"
}

# ---- Wine prefixes

# Stops the wineserver of one prefix (and with it every process in it).
e2e_stop_prefix() {
  local prefix=$1
  [ -d "$prefix" ] || return 0
  WINEPREFIX=$prefix timeout 10 "$TS_WINESERVER" -k >/dev/null 2>&1
  WINEPREFIX=$prefix timeout 10 "$TS_WINESERVER" -w >/dev/null 2>&1
  return 0
}

# Builds a ready prefix once (wineboot) and keeps it; a stamp with the Wine
# version marks it complete. Usage: e2e_make_template DIR [managed]
# Without "managed" the windows are left unmanaged: with no window manager
# (Xvfb) Wine otherwise stalls ~2 s whenever a window hides. On a desktop
# with a window manager pass "managed" so the windows get their frames.
e2e_make_template() {
  local template=$1 managed=${2:-}
  local stamp="$template.ok" version
  version=$("$TS_WINE" --version 2>/dev/null)
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && [ -d "$template/drive_c" ]; then
    return 0
  fi
  rm -rf "$template" "$stamp"
  mkdir -p "$(dirname "$template")"
  echo "creating a Wine prefix in $template (once, about 20 s)"
  WINEPREFIX=$template timeout 180 "$TS_WINE" wineboot -i >"$template.log" 2>&1
  if [ "$managed" != managed ]; then
    WINEPREFIX=$template timeout 60 "$TS_WINE" reg add 'HKCU\Software\Wine\X11 Driver' \
      /v Managed /d N /f >>"$template.log" 2>&1
  fi
  WINEPREFIX=$template timeout 60 "$TS_WINESERVER" -w
  if [ ! -f "$template/system.reg" ] ||
    { [ "$managed" != managed ] && ! grep -q '"Managed"="N"' "$template/user.reg" 2>/dev/null; }; then
    echo "the Wine prefix $template is incomplete (see $template.log)" >&2
    return 1
  fi
  echo "$version" >"$stamp"
}

# Copies the template cheaply: the big, read-only system files are hard links;
# the registry and the small files Wine may rewrite are real copies.
e2e_copy_prefix() {
  local template=$1 prefix=$2
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  cp -al "$template" "$prefix" || return 1
  local f
  for f in system.reg user.reg userdef.reg .update-timestamp drive_c/windows/win.ini \
    drive_c/windows/system.ini; do
    if [ -f "$template/$f" ]; then
      rm -f "$prefix/$f"
      cp -p "$template/$f" "$prefix/$f"
    fi
  done
  rm -rf "$prefix/drive_c/users"
  [ -d "$template/drive_c/users" ] && cp -a "$template/drive_c/users" "$prefix/drive_c/users"
  return 0
}

# Starts the idle program in a prefix: the prefix's services come up and stay
# up, so the programs a scenario starts come up in a fraction of a second.
# Prints the PID.
e2e_warm_prefix() {
  local prefix=$1 idle=$2 seconds=${3:-600}
  rm -f "$prefix.warm"
  WINEPREFIX=$prefix "$TS_WINE" "$idle" "$seconds" "Z:$prefix.warm" >/dev/null 2>&1 9>&- &
  echo $!
}

# Waits (at most 30 s) until the idle program of e2e_warm_prefix has seen the
# prefix's desktop window made; false when it has not.
e2e_wait_warm() {
  local prefix=$1 i
  for i in $(seq 1 300); do
    [ -e "$prefix.warm" ] && return 0
    sleep 0.1
  done
  return 1
}

# ---- control ids

# NAME=number for the ids in the *_ids.h headers and src/app/resource.h, and
# kTrayIconId: scenarios name what they click. Usage: e2e_control_ids ROOT
e2e_control_ids() {
  local root=$1
  awk '$1 == "#define" && $2 ~ /^ID[A-Z]*_/ && $3 ~ /^[0-9]+$/ { print $2 "=" $3 }' \
    "$root"/src/*/*_ids.h "$root"/src/app/resource.h
  sed -n 's/^constexpr [a-z0-9_]* \(kTrayIconId\) = \([0-9]*\);.*$/\1=\2/p' "$root/src/app/system_tray.h"
}

# ---- scenario side

# Set by run.sh for each scenario: SCENARIO_DIR (the working folder of the
# program, where Log.txt lands), WINEPREFIX, DISPLAY, TS_EXE, TS_DRIVER, TS_IDLE.
# shellcheck disable=SC1090  # the ids, written by run.sh
[ -f "${TS_CONTROL_IDS:-}" ] && source "$TS_CONTROL_IDS"
E2E_FAILURES=0
E2E_PROGRAMS=0
E2E_WATCHES=0
E2E_START=$(e2e_now)

# ---- the window answers: every scenario states how long the program's window
# may leave a question unanswered (the longest step the program may take on
# the user-interface thread), and each window the scenario waits for is watched
# from its showing to its end by a second driver that asks it every 50 ms.
# The bounds of the steps, in ms:
E2E_BOUND_COMMAND=150        # a command with its pauses (centre 100 ms, a write 20 ms)
E2E_BOUND_PROFILE=350        # a profile applied: 15 writes 20 ms apart
E2E_BOUND_BULK_READ=450      # a board found again and read whole (~0.37 s)
E2E_BOUND_DRIVE=450          # an exchange with a silent drive (reply window + drain)
E2E_BOUND_DEFAULTS=800       # the board's defaults: "D", 400 ms, then the whole table read back (~0.37 s)
E2E_BOUND_DIALOG=700         # the Advanced Settings dialog made (50 controls, 36 lists) under Wine
E2E_BOUND_BOARD_LOAD=1900   # a board's settings loaded: 68 writes 20 ms apart, then read whole
E2E_BOUND_UPDATE_CHECK=2100  # an update check against a server that does not answer
E2E_BOUND_FLASH=450          # a flash runs tick by tick; the board read whole before the reset and on its return is the longest
# What Wine itself adds now and then on a loaded machine (window creation,
# its own services), on top of any bound.
E2E_SLACK_MS=${E2E_SLACK_MS:-400}
# A machine busy with other work (a second test run beside this one) gives
# Wine, the X server and the program a smaller share of the cores, and every
# step takes that much longer by the clock: the bound and the slack grow with
# the 1-minute load per core, at most 4 times. A quiet machine keeps them as
# they are.
e2e_stretch_pct() {
  awk -v cores="$(nproc)" '{ p = int($1 / cores * 100); print (p < 100 ? 100 : (p > 400 ? 400 : p)) }' /proc/loadavg
}
# e2e_allowed MS: the longest wait allowed for a step bounded by MS now.
e2e_allowed() { echo $((($1 + E2E_SLACK_MS) * $(e2e_stretch_pct) / 100)); }
# How a check names its allowance: "+ 400 ms" or "+ 400 ms, x1.8 for the load".
e2e_allowance_text() {
  local pct
  pct=$(e2e_stretch_pct)
  if [ "$pct" -le 100 ]; then
    echo "+ ${E2E_SLACK_MS} ms"
  else
    echo "+ ${E2E_SLACK_MS} ms, x$((pct / 100)).$((pct % 100 / 10)) for the load"
  fi
}
RESPONSIVE_MS=""
RESPONSIVE_WHY=""
# responsive_within MS WHY: the scenario's bound and the step it comes from.
responsive_within() {
  RESPONSIVE_MS=$1
  RESPONSIVE_WHY=$2
}

# Watches the frame window (or the one named) from its showing until it is
# gone, in the background; its longest waits go to watch-N.txt. Started with
# each copy of the program, so that its own start under Wine overlaps the
# program's. It asks every 50 ms, or every WATCH_INTERVAL_MS: each question
# wakes the program, which a CPU benchmark would count as the program's.
watch_window() {
  local selector=${1:-Kestra Wheel Configuration}
  E2E_WATCHES=$((E2E_WATCHES + 1))
  "$TS_WINE" "$TS_DRIVER" -w "$selector" -t 30 watch-window ${WATCH_INTERVAL_MS:-50} \
    >"$SCENARIO_DIR/watch-$E2E_WATCHES.txt" 2>>"$SCENARIO_DIR/driver.log" 9>&- &
  track_pid $!
}

# The longest wait of every watched window against the scenario's bound.
check_responsive() {
  local n file longest at
  for n in $(seq 1 "$E2E_WATCHES"); do
    file=$SCENARIO_DIR/watch-$n.txt
    read -r _ longest _ _ at _ < <(grep '^longest' "$file" 2>/dev/null | tail -1)
    # A copy that never showed its frame (a second copy) leaves nothing.
    [ -n "${longest:-}" ] || continue
    if [ -z "$RESPONSIVE_MS" ]; then
      fail "the scenario states no bound for the window's answers (responsive_within)"
      return
    fi
    local limit allowance
    limit=$(e2e_allowed "$RESPONSIVE_MS")
    allowance=$(e2e_allowance_text)
    if [ "$longest" -le "$limit" ]; then
      echo "ok: window $n answered within ${longest} ms at worst (at ${at} s; bound ${RESPONSIVE_MS} ms, $RESPONSIVE_WHY, $allowance)"
    else
      fail "window $n left a question unanswered for ${longest} ms at ${at} s (bound ${RESPONSIVE_MS} ms, $RESPONSIVE_WHY, $allowance)"
    fi
  done
}

# Transcript lines carry the seconds since the scenario began.
step() { echo "-- [$(e2e_since "$E2E_START") s] $*"; }

fail() {
  echo "FAIL: $*"
  E2E_FAILURES=$((E2E_FAILURES + 1))
  return 1
}

check_eq() {
  local what=$1 expected=$2 actual=$3
  if [ "$expected" = "$actual" ]; then
    echo "ok: $what"
  else
    fail "$what: expected [$expected], got [$actual]"
  fi
}

check_match() {
  local what=$1 regex=$2 actual=$3
  if [[ $actual =~ $regex ]]; then
    echo "ok: $what"
  else
    fail "$what: [$actual] does not match [$regex]"
  fi
}

check_true() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    fail "$what"
  fi
}

# Remembers a PID for the harness's clean-up.
track_pid() { echo "$1" >>"$SCENARIO_DIR/pids"; }

# Folders a scenario made special, undone by the harness after the scenario
# whatever happened (one command per line in $SCENARIO_DIR/undo).
# mount_small_disk DIR KIB: a tmpfs of that size at DIR. freeze_folder DIR:
# nothing can be created, renamed or removed in DIR (open files stay writable).
mount_small_disk() {
  mkdir -p "$1"
  mount -t tmpfs -o "size=${2}k" tmpfs "$1" 2>/dev/null || return 1
  echo "umount -l $1" >>"$SCENARIO_DIR/undo"
}
freeze_folder() {
  chattr +i "$1" 2>/dev/null || return 1
  echo "chattr -i $1" >>"$SCENARIO_DIR/undo"
}

# A copy of the program in a folder of its own (it works in its own folder).
# Usage: program_in FOLDER; then start_in FOLDER "$FOLDER/Tillerset.exe".
program_in() {
  mkdir -p "$1"
  cp -f "$TS_EXE" "$1/Tillerset.exe"
}

# Starts a program under Wine in the scenario folder, in the background.
# Sets PROGRAM_PID. Usage: start_exe PATH [args...]
start_exe() {
  local exe=$1
  shift
  E2E_PROGRAMS=$((E2E_PROGRAMS + 1))
  local log="$SCENARIO_DIR/program-$E2E_PROGRAMS.log"
  (cd "$SCENARIO_DIR" && exec "$TS_WINE" "$exe" "$@") >"$log" 2>&1 &
  PROGRAM_PID=$!
  track_pid "$PROGRAM_PID"
  echo "[$(e2e_since "$E2E_START") s] started $(basename "$exe") $* (pid $PROGRAM_PID)"
}

# Starts Tillerset.exe with the given arguments. The program works in its own
# folder, so it runs as a copy in the scenario folder (where its config.ini,
# GameProfiles.ini, Log.txt and Tools\ are), with the port lister in Tools\
# as an install has it (unless the scenario set up Tools\ itself).
start_program() {
  local copy=$SCENARIO_DIR/Tillerset.exe
  cmp -s "$TS_EXE" "$copy" || cp -f "$TS_EXE" "$copy"
  install_lister "$SCENARIO_DIR"
  start_exe "$copy" "$@"
  watch_window
}

# Puts the built port lister into FOLDER/Tools/listComPorts.exe, unless a
# scenario put something there already (or took it away: NO_LISTER=1).
install_lister() {
  local tools=$1/Tools lister=$TS_WIN_BUILD/list_com_ports.exe
  [ "${NO_LISTER:-0}" = 1 ] && return 0
  [ -f "$lister" ] && [ ! -e "$tools/listComPorts.exe" ] || return 0
  mkdir -p "$tools" && cp -f "$lister" "$tools/listComPorts.exe"
}

# Starts a program under Wine with another working folder. Sets PROGRAM_PID.
# Usage: start_in FOLDER EXE [args...] (EXE may be a Windows path)
start_in() {
  local folder=$1 exe=$2
  shift 2
  E2E_PROGRAMS=$((E2E_PROGRAMS + 1))
  local log="$SCENARIO_DIR/program-$E2E_PROGRAMS.log"
  mkdir -p "$folder"
  (cd "$folder" && exec "$TS_WINE" "$exe" "$@") >"$log" 2>&1 &
  PROGRAM_PID=$!
  track_pid "$PROGRAM_PID"
  echo "[$(e2e_since "$E2E_START") s] started $exe $* in $folder (pid $PROGRAM_PID)"
  case "$exe" in *Tillerset.exe | *Tillerset.exe\") watch_window ;; esac
}

# Waits for PID to end, at most SECONDS; sets EXIT_CODE. Fails on time-out.
wait_exit() {
  local pid=$1 seconds=${2:-10}
  local end=$((SECONDS + seconds))
  while kill -0 "$pid" 2>/dev/null; do
    if [ $SECONDS -ge $end ]; then
      EXIT_CODE=timeout
      fail "pid $pid still running after ${seconds}s"
      return 1
    fi
    sleep 0.05
  done
  wait "$pid" 2>/dev/null
  EXIT_CODE=$?
  echo "[$(e2e_since "$E2E_START") s] pid $pid ended with $EXIT_CODE"
  return 0
}

is_running() { kill -0 "$1" 2>/dev/null; }

# The Windows driver (driver/driver_win32.cpp lists its commands) runs as one
# long-lived process per scenario: a Wine start per command would cost far
# more than the command. Started by the harness before the scenario's lines.
driver_start() {
  coproc TS_DRIVER_PROC { exec "$TS_WINE" "$TS_DRIVER" serve 2>>"$SCENARIO_DIR/driver.log"; }
  track_pid "$TS_DRIVER_PROC_PID"
}

# driver COMMAND ARGS... [+ COMMAND ARGS...]: prints what the command prints,
# returns its exit code. The driver's own waits are bounded; the read time-out
# here is a backstop.
driver() {
  if [ -z "${TS_DRIVER_PROC_PID:-}" ] || ! kill -0 "$TS_DRIVER_PROC_PID" 2>/dev/null; then
    driver_once "$@"
    return
  fi
  echo "driver: $*" >>"$SCENARIO_DIR/driver.log"
  local IFS=$'\x1f' line
  printf '%s\n' "$*" >&"${TS_DRIVER_PROC[1]}"
  while IFS= read -r -t 90 line <&"${TS_DRIVER_PROC[0]}"; do
    if [[ $line == $'\x1f'done\ * ]]; then
      return "${line##* }"
    fi
    printf '%s\n' "$line"
  done
  echo "driver: no answer to $*" >&2
  return 1
}

# One driver process for one command chain (when no long-lived one runs).
driver_once() {
  echo "driver (once): $*" >>"$SCENARIO_DIR/driver.log"
  timeout -k 2 90 "$TS_WINE" "$TS_DRIVER" "$@" 2>>"$SCENARIO_DIR/driver.log"
}

# Waits until the frame window (or the named window) is shown.
wait_window() {
  local selector=${1:-Kestra Wheel Configuration} seconds=${2:-20}
  driver wait-window "$selector" "$seconds" >/dev/null ||
    { fail "window \"$selector\" not shown within ${seconds}s"; return 1; }
}

# Starts Tillerset.exe with the given arguments and waits for its frame; a
# frame that never shows ends the scenario.
start_and_wait() {
  start_program "$@"
  wait_window || scenario_end
}

# Minimises the frame into the notification area; sets tray (the hidden
# tray window that owns the icon).
minimise_to_tray() {
  driver minimize
  driver wait-gone "Kestra Wheel Configuration" 10 || fail "frame still shown after minimising"
  tray=$(driver find-hidden class:TS_INTERFACE_TRAY 10)
  check_answer "icon in the notification area" 1 tray-icon "0x$tray" $kTrayIconId
}

# A notification area that refuses icons (the driver plays the shell) for
# $1 seconds. Sets SHELL_PID.
start_refusing_shell() {
  local out=$SCENARIO_DIR/refuse-tray.out
  timeout -k 2 60 "$TS_WINE" "$TS_DRIVER" refuse-tray "$1" >"$out" 2>>"$SCENARIO_DIR/driver.log" &
  SHELL_PID=$!
  track_pid "$SHELL_PID"
  check_true "the refusing shell is up" wait_for 10 grep -q ready "$out"
}

# Escape on the frame ends the program with exit code 1.
end_with_escape() {
  driver send-key ESCAPE >/dev/null
  wait_exit "$PROGRAM_PID" 15
  check_eq "${1:-exit code} after Escape" 1 "$EXIT_CODE"
}

# Runs driver command $2... until it prints $1 (at most 10 s); prints the last
# answer. For what follows an action, which may come a little later.
wait_answer() {
  local expected=$1 out deadline=$((SECONDS + 10))
  shift
  while :; do
    out=$(driver "$@")
    [ "$out" = "$expected" ] || [ $SECONDS -ge $deadline ] && break
    sleep 0.05
  done
  printf '%s' "$out"
}

# check_answer WHAT EXPECTED DRIVER-ARGS...: the driver's answer, waited for.
check_answer() { check_eq "$1" "$2" "$(wait_answer "$2" "${@:3}")"; }

# Answers the message box showing $1 with button $2.
answer() {
  check_eq "message \"$1\"" "$1" "$(driver find-msgbox 10 "$1")"
  driver click-msgbox "$2" "$1" >/dev/null || fail "could not press $2 on \"$1\""
}
no_box() { ! driver find-msgbox 1 >/dev/null 2>&1; }
# answer_box WHAT TEXT [BUTTON]: the message box shows TEXT (checked as WHAT);
# BUTTON (IDOK) closes it (another box may follow at once).
answer_box() {
  check_eq "$1" "$2" "$(driver -t 20 find-msgbox 20)"
  driver click-msgbox "${3:-IDOK}" >/dev/null || fail "the box \"$2\" did not close on ${3:-IDOK}"
  driver wait-gone msgbox 10 >/dev/null
}

# Writes config.ini's [Config] section with the given KEY=VALUE lines.
write_config() {
  {
    printf '[Config]\r\n'
    printf '%s\r\n' "$@"
    printf '\r\n'
  } >"$SCENARIO_DIR/config.ini"
}

# Picks file $2 (a path of this machine) in the standard file dialog titled $1.
choose_file() {
  local title=$1 path
  path="Z:$(printf '%s' "$2" | tr '/' '\\')"
  wait_window "$title" 10 || return 1
  driver -w "$title" set-text "$E2E_FILE_NAME_ID" "$path" >/dev/null ||
    { fail "no file name box in \"$title\""; driver -w "$title" list-controls; }
  # Posted: the list view of the dialog has id 1 as well as its button.
  driver -w "$title" post-command 1 >/dev/null
  driver wait-gone "$title" 10 || fail "the dialog \"$title\" stayed open"
}
E2E_FILE_NAME_ID=1148  # the file name box of the standard dialogs (cmb13, an edit inside)

# A file of the scenario folder without the Windows line ends.
file_text() { tr -d '\r' <"$1" 2>/dev/null; }

# Log.txt of the scenario folder without the Windows line ends.
log_text() { file_text "$SCENARIO_DIR/Log.txt"; }
log_line() { log_text | sed -n "${1}p"; }
log_has() { log_text | grep -qF -- "$1"; }
# Waits (at most ${2:-10} s) until Log.txt holds the text $1.
wait_log() { wait_for "${2:-10}" log_has "$1"; }

# ---- the installer (scripts/package.sh)

# Makes sure build/package holds setup.exe for the Tillerset.exe under test
# (packaged here when it is missing or older); sets SETUP_EXE.
need_package() {
  local package=${TS_PACKAGE_DIR:-$TS_SOURCE_DIR/build/package}
  SETUP_EXE=$package/setup.exe
  if [ ! -f "$SETUP_EXE" ] || [ "$TS_EXE" -nt "$SETUP_EXE" ]; then
    step "packaging (scripts/package.sh --no-build)"
    TS_WIN_BUILD=$TS_WIN_BUILD bash "$TS_SOURCE_DIR/scripts/package.sh" --no-build >"$SCENARIO_DIR/package.log" 2>&1 ||
      { fail "scripts/package.sh failed (see $SCENARIO_DIR/package.log)"; scenario_end; }
  fi
}

# The prefix's user folder (drive_c/users/NAME) and that name.
wine_user_dir() {
  local d
  for d in "$WINEPREFIX"/drive_c/users/*/; do
    [ "$(basename "$d")" = Public ] && continue
    [ -d "$d/AppData" ] && { echo "${d%/}"; return 0; }
  done
  return 1
}

# ---- the stand-ins (tools/standin_board, tools/standin_drive, native)
# behind COM ports. Each keeps a transcript (one line per packet: time,
# direction, hex, meaning; control lines noted as "#  control: ...") and
# reads control lines from a FIFO.

# Makes COM$1 of the scenario's prefix name the device $2.
link_com() { ln -sfn "$2" "$WINEPREFIX/dosdevices/com$1"; }

# start_standin NAME PORT ARGS...: the native tool standin_NAME on a
# pseudo-terminal linked as COM<PORT>, in $SCENARIO_DIR/NAME/. Sets
# STANDIN_PID. A stand-in that does not come up ends the scenario.
standin_up() { [ -L "$1/tty" ] && [ -p "$1/control" ]; }
start_standin() {
  local name=$1 port=$2
  shift 2
  local native=${TS_NATIVE_BUILD:-$TS_SOURCE_DIR/build/native}
  local exe=$native/standin_$name
  if [ ! -x "$exe" ]; then
    step "building the stand-in $name in $native"
    { cmake -S "$TS_SOURCE_DIR" -B "$native" >/dev/null &&
      cmake --build "$native" --target "standin_$name" -j2 >/dev/null; } ||
      { fail "cannot build standin_$name"; scenario_end; }
  fi
  local dir=$SCENARIO_DIR/$name
  mkdir -p "$dir"
  rm -f "$dir/tty"  # one started before may have left its link
  "$exe" --link "$dir/tty" --transcript "$dir/transcript.txt" --control "$dir/control" "$@" \
    >"$dir/$name.out" 2>"$dir/$name.err" &
  STANDIN_PID=$!
  track_pid "$STANDIN_PID"
  wait_for 10 standin_up "$dir"
  [ -L "$dir/tty" ] || { fail "the stand-in $name did not come up"; scenario_end; }
  link_com "$port" "$dir/tty"
}

# has_since FILE FROM PATTERN [-E]: FILE from line FROM on has a line with
# PATTERN (a fixed text, or with -E an extended regex); wait_in waits for it
# (at most 10 s).
has_since() { tail -n +"$2" "$1" | grep -q "${4:--F}" -- "$3"; }
wait_in() { wait_for 10 has_since "$@"; }

# What the program sent, as hex bytes, in transcript $1 from line $2 on.
sent_in() {
  tail -n +"$2" "$1" | sed -n 's/^[0-9.]* < \([0-9a-f][0-9a-f]\( [0-9a-f][0-9a-f]\)*\)  .*$/\1/p'
}

# tell NAME LINE...: a control line to stand-in NAME, waited for until taken.
tell() {
  local name=$1
  shift
  local file=$SCENARIO_DIR/$name/transcript.txt
  local from=$(($(wc -l <"$file") + 1))
  echo "$*" >"$SCENARIO_DIR/$name/control"
  wait_in "$file" "$from" "#  control: $*" || fail "the $name did not take \"$*\""
}

# The board: start_board PORT ARGS... (e.g. --status 1) sets BOARD_PID,
# TRANSCRIPT and BOARD_CONTROL.
start_board() {
  start_standin board "$@"
  BOARD_PID=$STANDIN_PID
  TRANSCRIPT=$SCENARIO_DIR/board/transcript.txt
  BOARD_CONTROL=$SCENARIO_DIR/board/control
}
transcript_lines() { wc -l <"$TRANSCRIPT"; }
wait_transcript() { wait_in "$TRANSCRIPT" "$1" "$2"; }
board() { tell board "$@"; }
received_since() { sent_in "$TRANSCRIPT" "$1"; }

# Waits (at most 10 s) for the board's next status question ("S"): the program
# has then finished what it was doing, and nothing more of it is on its way.
wait_next_poll() {
  local from=$(($(transcript_lines) + 1))
  wait_received "$from" '^53$' 1 || fail "no status question from the program within 10 s"
}

# Waits (at most 10 s) until the commands since line $1 matching regex $2
# number at least $3.
received_count() { [ "$(received_since "$1" | grep -cE -- "$2")" -ge "$3" ]; }
wait_received() { wait_for 10 received_count "$@"; }

# The drive: start_drive PORT ARGS... (e.g. --silent) sets DRIVE_PID,
# DRIVE_TRANSCRIPT and DRIVE_CONTROL; wait_drive FROM REGEX.
start_drive() {
  start_standin drive "$@"
  DRIVE_PID=$STANDIN_PID
  DRIVE_TRANSCRIPT=$SCENARIO_DIR/drive/transcript.txt
  DRIVE_CONTROL=$SCENARIO_DIR/drive/control
}
# Ends the stand-in drive and waits until it is gone (it removes its link as
# it goes, which must not hit the link of a drive started after it).
stop_drive() {
  kill "$DRIVE_PID" 2>/dev/null
  wait "$DRIVE_PID" 2>/dev/null
}
drive_lines() { wc -l <"$DRIVE_TRANSCRIPT"; }
wait_drive() { wait_in "$DRIVE_TRANSCRIPT" "$1" "$2" -E; }
drive_control() { tell drive "$@"; }
drive_received() { sent_in "$DRIVE_TRANSCRIPT" "$1"; }

# ---- updates and firmware: the update server (tools/update_server, native)
# on port 80, the port lister's devices, the stand-in flasher and browser

# Starts the update server on port 80 serving $SCENARIO_DIR/server/ (made
# here); further arguments go to the server. 127.0.0.1 when its port 80 is
# free, otherwise another loopback address (another run may hold it). Sets
# SERVER_PID, SERVER_HOST, SERVER_ROOT, SERVER_LOG and SERVER_CONTROL.
start_update_server() {
  [ -z "${TS_E2E_NO_PORT80:-}" ] || scenario_skip "$TS_E2E_NO_PORT80"
  local native=${TS_NATIVE_BUILD:-$TS_SOURCE_DIR/build/native} host i
  local exe=$native/update_server
  [ -x "$exe" ] || { fail "no $exe (the e2e run builds native_tools)"; scenario_end; }
  SERVER_ROOT=$SCENARIO_DIR/server
  SERVER_LOG=$SCENARIO_DIR/server-requests.log
  SERVER_CONTROL=$SCENARIO_DIR/server-control
  mkdir -p "$SERVER_ROOT"
  for host in 127.0.0.1 127.80.$((RANDOM % 250 + 1)).$((RANDOM % 250 + 1)) 127.81.$((RANDOM % 250 + 1)).1; do
    rm -f "$SCENARIO_DIR/server.out"
    "$exe" --root "$SERVER_ROOT" --address "$host" --port 80 --log "$SERVER_LOG" --control "$SERVER_CONTROL" "$@" \
      >"$SCENARIO_DIR/server.out" 2>"$SCENARIO_DIR/server.err" 9>&- &
    SERVER_PID=$!
    track_pid "$SERVER_PID"
    for i in $(seq 1 100); do
      grep -q '^serving' "$SCENARIO_DIR/server.out" 2>/dev/null && break
      kill -0 "$SERVER_PID" 2>/dev/null || break
      sleep 0.05
    done
    if grep -q '^serving' "$SCENARIO_DIR/server.out" 2>/dev/null; then
      SERVER_HOST=$host
      echo "[$(e2e_since "$E2E_START") s] update server on $host:80 (pid $SERVER_PID)"
      return 0
    fi
  done
  fail "the update server did not start: $(cat "$SCENARIO_DIR/server.err")"
  scenario_end
}

# Debian's nginx, stock types, as a private instance (all under
# $SCENARIO_DIR/nginx) serving $SCENARIO_DIR/server/ on port 80 of 127.0.0.1 or
# another loopback address. Sets SERVER_PID/HOST/ROOT/LOG (the access log).
start_nginx_server() {
  [ -z "${TS_E2E_NO_PORT80:-}" ] || scenario_skip "$TS_E2E_NO_PORT80"
  local dir=$SCENARIO_DIR/nginx host i
  SERVER_ROOT=$SCENARIO_DIR/server
  SERVER_LOG=$dir/access.log
  mkdir -p "$SERVER_ROOT" "$dir"
  for host in 127.0.0.1 127.80.$((RANDOM % 250 + 1)).$((RANDOM % 250 + 1)) 127.81.$((RANDOM % 250 + 1)).1; do
    printf '%s\n' "user root; error_log $dir/error.log; pid $dir/nginx.pid; events {}" \
      "http { include /etc/nginx/mime.types; default_type application/octet-stream; access_log $SERVER_LOG;" \
      "  client_body_temp_path $dir/body; proxy_temp_path $dir/proxy; fastcgi_temp_path $dir/fcgi;" \
      "  uwsgi_temp_path $dir/uwsgi; scgi_temp_path $dir/scgi; server { listen $host:80; root $SERVER_ROOT; } }" \
      >"$dir/nginx.conf"
    /usr/sbin/nginx -p "$dir" -c "$dir/nginx.conf" -g 'daemon off;' >"$dir/nginx.out" 2>&1 9>&- &
    SERVER_PID=$!
    track_pid "$SERVER_PID"
    for i in $(seq 1 100); do
      [ -s "$dir/nginx.pid" ] && { SERVER_HOST=$host; return 0; }
      kill -0 "$SERVER_PID" 2>/dev/null || break
      sleep 0.05
    done
  done
  fail "nginx did not start: $(cat "$dir/nginx.out" "$dir/error.log" 2>/dev/null)"
  scenario_end
}

# Sends a control line to the update server and waits until it took it.
server() {
  echo "$*" >"$SERVER_CONTROL"
  wait_for 5 grep -qF -- "# control: $*" "$SERVER_LOG" || fail "the update server did not take \"$*\""
}

# Request lines of the server's log (one per request, bytes escaped) from line $1 on.
server_requests_since() { tail -n +"$1" "$SERVER_LOG" | grep -v '^[0-9.]* #'; }
server_log_lines() { wc -l <"$SERVER_LOG"; }

# Waits (at most 10 s) until the server has logged a request line for $2 from line $1 on.
requested_since() { server_requests_since "$1" | grep -qF -- "$2"; }
wait_request() { wait_for 10 requested_since "$@"; }

# Writes config.ini's [Config] section with the given KEY=VALUE lines and an
# [Update] section naming the update server.
write_config_with_server() {
  write_config "$@"
  printf '[Update]\r\nSERVER=%s\r\n\r\n' "$SERVER_HOST" >>"$SCENARIO_DIR/config.ini"
}

# The shell's "open" of an http:// address starts the recorder instead of a
# browser: it writes what it was given to $SCENARIO_DIR/recorder/recorder.txt.
# Sets RECORDED.
use_recorder_browser() {
  local dir=$SCENARIO_DIR/recorder
  mkdir -p "$dir"
  cp -f "$TS_WIN_BUILD/recorder.exe" "$dir/recorder.exe"
  RECORDED=$dir/recorder.txt
  rm -f "$RECORDED"
  local windows
  windows=$(WINEPREFIX=$WINEPREFIX "$TS_WINE" winepath -w "$dir/recorder.exe" 2>/dev/null | tr -d '\r')
  WINEPREFIX=$WINEPREFIX timeout 30 "$TS_WINE" reg add 'HKCR\http\shell\open\command' /ve \
    /d "\"$windows\" \"%1\"" /f >/dev/null 2>&1 || fail "cannot register the recorder as the browser"
}

# A fake USB port device COMn in the prefix's device list, as the real port
# lister sees hardware. Usage: add_port_device N HARDWARE-ID [NAME]
add_port_device() { driver add-port "COM$1" "$2" "${3:-Stand-in port (COM$1)}" >/dev/null || fail "cannot add COM$1"; }
remove_port_device() { driver remove-port "COM$1" >/dev/null || fail "cannot remove COM$1"; }

# Tools\ of folder $1 as an install has it, with the stand-in flasher as
# avrdude (recording into the program's folder), and the board on COM7 as the
# port lister sees it.
flasher_tools() {
  mkdir -p "$1/Tools"
  cp "$TS_WIN_BUILD/list_com_ports.exe" "$1/Tools/listComPorts.exe"
  cp "$TS_WIN_BUILD/test_flasher.exe" "$1/Tools/avrdude.exe"
  printf '# the flasher reads no configuration\r\n' >"$1/Tools/avrdude.conf"
  export TS_FLASHER_RECORD=flasher
  add_port_device 7 'USB\VID_2341&PID_8036&MI_00' 'Arduino Leonardo (COM7)'
}

# Plays USB for the stand-in board's bootloader (start_board ... --bootloader
# "$SCENARIO_DIR/board/boot"): once the board says it has left for the
# bootloader (from transcript line $2 on), COM$1 points at the bootloader's
# pseudo-terminal and the lister reports it (USB\VID_2341&PID_0036); once
# the board is back, both go again. Waits at most 30 s for each.
follow_bootloader() {
  local port=$1 from=${2:-1}
  wait_for 30 has_since "$TRANSCRIPT" "$from" '#  bootloader on ' || { fail "the board never went to its bootloader"; return 1; }
  link_com "$port" "$SCENARIO_DIR/board/boot"
  add_port_device "$port" 'USB\VID_2341&PID_0036' "Stand-in bootloader (COM$port)"
  step "bootloader on COM$port"
  # What the scenario does while the bootloader is there (BOOTLOADER_HOOK).
  [ -n "${BOOTLOADER_HOOK:-}" ] && eval "$BOOTLOADER_HOOK"
  local back=0
  wait_for 30 has_since "$TRANSCRIPT" "$from" '#  back as the board on ' && back=1
  remove_port_device "$port"
  rm -f "$WINEPREFIX/dosdevices/com$port"
  [ "$back" = 1 ] || { fail "the board never came back"; return 1; }
  step "the board is back"
}

# A check that something does not happen (with no later event to wait for)
# can only wait a while: settle SECONDS.
settle() { sleep "$1"; }

# Ends a scenario that cannot run here, with the reason (run.sh shows it).
E2E_SKIPPED=77
scenario_skip() {
  echo "skipped: $*"
  exit "$E2E_SKIPPED"
}

scenario_end() {
  check_responsive
  if [ "$E2E_FAILURES" -gt 0 ]; then
    echo "$E2E_FAILURES check(s) failed"
    exit 1
  fi
  exit 0
}
