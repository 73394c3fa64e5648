#!/usr/bin/env bash
# The windows' decorations under a real X server and window manager (openbox): each window
# states in _MOTIF_WM_HINTS exactly what is drawn around it and what the user may do with it,
# and the window manager's _NET_WM_ALLOWED_ACTIONS follow them where it reads them. The frame's
# windows leave the screen and come back with it.
#   decorations_test.sh DECORATIONS_PROBE
set -euo pipefail
probe=$1
work=$(mktemp -d)
pids=()
cleanup() {
  if [[ -n ${hold:-} ]]; then exec {hold}>&-; fi
  if [[ -n ${windows:-} ]]; then exec {windows}<&-; fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "$1" >&2
  cat "$work/probe.log" "$work/openbox.log" >&2 2>/dev/null || true
  exit 1
}

# Xvfb names its display once it accepts clients.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/displayfd" >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r number <"$work/displayfd" || fail "Xvfb did not start"
export DISPLAY=:$number

# A property (window or -root, then its name) once it has a value: it is looked at until it has
# one (xprop -spy could miss a change made while it starts), for 30 seconds at most.
property() {
  local line="" _
  for _ in $(seq 600); do
    line=$(xprop "$@" 2>/dev/null) || true
    [[ $line == "${*: -1}("* ]] && break  # "NAME(TYPE) = ...", not "NAME:  not found."
    sleep 0.05
  done
  printf '%s\n' "$line"
}

XDG_CONFIG_HOME=$work openbox >"$work/openbox.log" 2>&1 &  # its own default configuration
pids+=($!)
[[ $(property -root _NET_SUPPORTING_WM_CHECK) == *"window id"* ]] || fail "openbox did not start"

mkfifo "$work/input" "$work/windows"
# The X keyboard library hands strndup a buffer without a terminating NUL (see accessibility_test.sh).
if [[ -n ${ASAN_OPTIONS:-} ]]; then export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}; fi
QT_QPA_PLATFORM=xcb "$probe" <"$work/input" >"$work/windows" 2>"$work/probe.log" &
pids+=($!)
exec {hold}>"$work/input"  # the probe runs while this is open
exec {windows}<"$work/windows"  # kept open: the probe reports on it until the end
declare -A ids=()
while read -r name id <&"$windows"; do
  ids[$name]=$id
  [[ $name == statistics ]] && break
done
((${#ids[@]} == 3)) || fail "the probe did not show its three windows"

failures=0
check() {  # window, Motif hints (flags, functions, decorations, 0, 0), allowed, refused...
  local window=$1 motif=$2 allowed=$3 action
  shift 3
  local id=${ids[$window]}
  # The window manager sets its actions once it has taken the window, after our hints.
  local actions
  actions=$(property -id "$id" _NET_WM_ALLOWED_ACTIONS)
  local hints
  hints=$(xprop -id "$id" _MOTIF_WM_HINTS)
  if [[ $hints != "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = $motif" ]]; then
    echo "$window: $hints, expected $motif" >&2
    failures=$((failures + 1))
  fi
  for action in $allowed; do
    [[ $actions == *"_NET_WM_ACTION_$action,"* || $actions == *"_NET_WM_ACTION_$action" ]] && continue
    echo "$window: $action not allowed: $actions" >&2
    failures=$((failures + 1))
  done
  for action in "$@"; do
    [[ $actions == *"_NET_WM_ACTION_$action"* ]] || continue
    echo "$window: $action allowed: $actions" >&2
    failures=$((failures + 1))
  done
}

# Caption, system menu, minimise box and close; moved, never sized nor maximised.
check main "0x3, 0x2c, 0x3a, 0x0, 0x0" "MOVE MINIMIZE CLOSE" RESIZE MAXIMIZE_HORZ MAXIMIZE_VERT
# Caption and sizing border without system menu or buttons: moved and sized.
check nfo "0x3, 0x6, 0xe, 0x0, 0x0" "MOVE RESIZE"
# No caption bar: its frame is its own; the window manager may move it, nothing else.
check statistics "0x3, 0x4, 0x0, 0x0, 0x0" "MOVE" RESIZE MAXIMIZE_HORZ MAXIMIZE_VERT SHADE
extents=$(xprop -id "${ids[statistics]}" _NET_FRAME_EXTENTS)
[[ $extents == *"= 0, 0, 0, 0" ]] || { echo "statistics: the window manager framed it: $extents" >&2; failures=$((failures + 1)); }

# The frame's windows go with it: minimised, it takes them off the screen (the window manager
# minimises the statistics window, its transient, with it); shown again, they are back on the
# screen, normal. Each is looked at until it is so, for 60 seconds at most (a loaded sanitizer
# build needs far more than a plain one).
mapped() {  # window, "IsViewable" or "IsUnMapped", WM_STATE word or "" for any
  local line="" state="" _
  for _ in $(seq 1200); do
    line=$(xwininfo -id "${ids[$1]}" 2>/dev/null | grep 'Map State') || true
    state=$(xprop -id "${ids[$1]}" WM_STATE 2>/dev/null | grep 'window state') || true
    [[ $line == *"$2"* && $state == *"${3:-}"* ]] && return 0
    sleep 0.05
  done
  echo "$1: $line, $state; expected $2 ${3:-}" >&2
  failures=$((failures + 1))
}
echo minimise >&"$hold"
# Shown again only once the program has hidden the frame, as a user can click the tray icon
# only once it has.
report=""
read -r -t 300 report <&"$windows" || true
[[ $report == hidden ]] || fail "the frame did not go into the tray: ${report:-the probe ended}"
mapped main IsUnMapped
mapped nfo IsUnMapped
mapped statistics IsUnMapped
echo show >&"$hold"
for window in main nfo statistics; do mapped "$window" IsViewable Normal; done

((failures == 0)) || fail "decorations: $failures faults"
echo "decorations: passed"
