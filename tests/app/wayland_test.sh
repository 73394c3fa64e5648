#!/usr/bin/env bash
# Runs kestrel on a headless Wayland compositor with a session bus, a notification area and a
# real database server: a search runs and SIGTERM ends it cleanly; started minimised, the window
# stays reachable and the tray's menu, drawn by the desktop, ends it. On a compositor that runs on
# an X server, so that a pointer can press them, the frame's title-bar buttons: maximise changes
# nothing, minimise leaves it running, close ends it with its history saved; a box shows its
# caption bar.
#   wayland_test.sh KESTREL_BINARY SERVER_ADDRESS DBSERVER_SCRIPT KEEP_LOADED_LIBRARY
# The binary must be built with SERVER_ADDRESS as both servers. Exits 77 (skipped) only when the
# compositor cannot start at all.
set -euo pipefail
binary=$1
address=$2
dbserver=$3
keep_loaded=$4
here=$(cd "$(dirname "$0")" && pwd)
if [[ -z ${DBUS_SESSION_BUS_ADDRESS:-} || -z ${KESTREL_IN_SESSION:-} ]]; then
  export KESTREL_IN_SESSION=1
  exec dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d)  # mode 700: also the compositor's runtime folder
pids=()
cleanup() {
  if [[ -n ${app:-} ]]; then kill -KILL "$app" 2>/dev/null || true; fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$dbserver" stop "$work/db" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
socket=kestrel-wayland-$$
weston --backend=headless-backend.so --socket="$socket" --use-pixman --idle-time=0 >"$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do [[ -S $XDG_RUNTIME_DIR/$socket ]] && break; sleep 0.05; done
if [[ ! -S $XDG_RUNTIME_DIR/$socket ]]; then
  echo "weston did not start; skipped" >&2
  cat "$work/weston.log" >&2
  exit 77
fi

/usr/libexec/at-spi-bus-launcher --launch-immediately &
pids+=($!)
/usr/bin/python3 "$here/wayland_check.py" watcher "$work/watcher-ready" &
pids+=($!)
for _ in $(seq 200); do [[ -f $work/watcher-ready ]] && break; sleep 0.05; done
[[ -f $work/watcher-ready ]] || { echo "the notification area did not start" >&2; exit 1; }

# The address is fixed in the binary: one run of this test at a time holds it.
exec {lock}>"/tmp/kestrel-loopback-$address.lock"
flock -w 600 "$lock"
"$dbserver" start "$work/db" "$address" >/dev/null {lock}>&-  # a stray server must not hold the lock
mariadb --no-defaults -uroot --socket="$work/db/sock" dupesnukes <<'SQL'
INSERT INTO DUPES (DUPES_DATE, DUPES_DATE_STR, DUPES_DIR) VALUES
  ('1998-02-05', '020598', 'Shadow.Empire-GRP'), ('1999-07-04', '070499', 'Shadow.Garden-GRP'),
  ('1999-08-01', '080199', 'Night.Signal-GRP');
SQL

mkdir -p "$work/config/Harrow"
settings() {
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n"Version"=dword:0000004b\r\n%b' \
    "$1" >"$work/config/Harrow/Kestrel.reg"
}
launch() {
  # The software GL driver, loaded for the Wayland window, unloads itself at exit while its own
  # data still holds a block; kept mapped, the leak check sees that block as held. The sanitizer's
  # runtime then no longer comes first, which matters only to libraries that replace its calls.
  local ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0
  export ASAN_OPTIONS
  LD_PRELOAD=$keep_loaded QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=${2:-$socket} QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 WAYLAND_DEBUG=${1:-} \
    XDG_CONFIG_HOME=$work/config "$binary" >>"$work/kestrel.log" 2>&1 &
  app=$!
}
fail() {
  echo "$1" >&2
  cat "$work/kestrel.log" >&2
  exit 1
}

# A search, logged to a file; SIGTERM then ends the program as Quit does.
settings "\"LOG\"=dword:00000001\r\n\"LOGFILE\"=\"$work/session.log\"\r\n"
launch
timeout 90 /usr/bin/python3 "$here/wayland_check.py" search || fail "the search did not run"
kill -TERM "$app"
code=0
timeout 10 tail --pid="$app" -f /dev/null || fail "still running 10 s after SIGTERM"
wait "$app" || code=$?
((code == 0)) || fail "SIGTERM ended kestrel with status $code"
grep -q '070499 Shadow.Garden-GRP' "$work/session.log" || fail "the session log lacks the found rows"
grep -q '"MaskHistory"="shadow"' "$work/config/Harrow/Kestrel.reg" || fail "the mask history was not saved"

# Started minimised beside a notification area: reachable, and "&Exit Kestrel" ends it.
settings "\"STARTMINIMIZED\"=dword:00000001\r\n"
launch client  # the protocol log shows the app id the compositor gets
timeout 90 /usr/bin/python3 "$here/wayland_check.py" tray || fail "the tray check failed"
code=0
timeout 10 tail --pid="$app" -f /dev/null || fail "still running 10 s after \"&Exit Kestrel\""
wait "$app" || code=$?
((code == 0)) || fail "\"&Exit Kestrel\" ended kestrel with status $code"
grep -q '"GetAll"=dword:00000000' "$work/config/Harrow/Kestrel.reg" || fail "the inputs were not saved"
# The compositor ties the window to its desktop entry, and so its icon, by the entry's name.
entry=$(basename "$here"/../../res/*.desktop .desktop)
grep -q "set_app_id(\"$entry\")" "$work/kestrel.log" || fail "no window with the app id $entry"
# The title-bar buttons, pressed with the X server's pointer (XTest), which the compositor passes
# on. A plain background without a panel: the windows are what differs from it on the screen.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r number <"$work/displayfd" || fail "Xvfb did not start"
printf '[shell]\npanel-position=none\nbackground-color=0xff102030\nbackground-image=\n' >"$work/weston.ini"
pointer=kestrel-pointer-$$
DISPLAY=:$number weston --backend=x11-backend.so --socket="$pointer" --use-pixman --idle-time=0 --debug \
  --width=1024 --height=768 --config="$work/weston.ini" >"$work/weston-x11.log" 2>&1 &
pids+=($!)
for _ in $(seq 600); do [[ -S $XDG_RUNTIME_DIR/$pointer ]] && break; sleep 0.05; done
[[ -S $XDG_RUNTIME_DIR/$pointer ]] || { cat "$work/weston-x11.log" >&2; fail "weston did not start on the X server"; }
buttons() {  # mode: the check to run on a fresh start of kestrel
  : >"$work/kestrel.log"
  launch client "$pointer"
  DISPLAY=:$number WAYLAND_DISPLAY=$pointer timeout 120 /usr/bin/python3 "$here/wayland_check.py" "$1" \
    "$work/kestrel.log" "$app" || fail "the title-bar check ($1) failed"
  code=0
  timeout 10 tail --pid="$app" -f /dev/null || fail "still running 10 s after the $1 check"
  wait "$app" || code=$?
  ((code == 0)) || fail "kestrel ended with status $code after the $1 check"
}
settings ""
buttons buttons
grep -q '"MaskHistory"="shadow"' "$work/config/Harrow/Kestrel.reg" || fail "the close button lost the mask history"
buttons minimise
echo "wayland: passed"
exit 0
