#!/usr/bin/env bash
# Runs kestrel under a real X server with the accessibility bus, reads it as a screen reader
# would, and leaves a screenshot in the build folder's test-output.
#   accessibility_test.sh KESTREL_BINARY OUTPUT_DIR
set -euo pipefail
binary=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
if [[ -z ${KESTREL_IN_XVFB:-} ]]; then
  export KESTREL_IN_XVFB=1
  exec xvfb-run -a -s '-screen 0 1024x768x24' dbus-launch --exit-with-session "$0" "$@"
fi
/usr/libexec/at-spi-bus-launcher --launch-immediately &
bus=$!
config=$(mktemp -d)
app=
trap 'kill $bus 2>/dev/null || true; [[ -n $app ]] && kill $app 2>/dev/null; rm -rf "$config"' EXIT
mkdir -p "$config/Harrow"
# A settings key of this release: no notice to answer, only the splash screen to wait for.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Harrow\\Kestrel]\r\n"Version"=dword:0000004b\r\n' \
  >"$config/Harrow/Kestrel.reg"
unset QT_QPA_PLATFORM
# The X keyboard library hands strndup a buffer without a terminating NUL; strict string checks
# would report that as ours.
if [[ -n ${ASAN_OPTIONS:-} ]]; then export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}; fi
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 XDG_CONFIG_HOME=$config "$binary" &
app=$!
status=0
timeout 60 /usr/bin/python3 "$here/accessibility_check.py" || status=$?
# A dock ties a running window to its launcher by the window's class: the entry must name it.
wm_class=$(sed -n 's/^StartupWMClass=//p' "$here/../../res/io.github.kestrel.Kestrel.desktop")
if ! xwininfo -root -tree | grep -q "(\"[^\"]*\" \"$wm_class\")"; then
  echo "no window of class '$wm_class', the desktop entry's StartupWMClass" >&2
  xwininfo -root -tree | grep -i kestrel >&2 || true
  status=1
fi
if command -v import >/dev/null; then import -window root "$out/kestrel-form.png" || true; fi
# Ended by SIGTERM with the refusal still open: it must leave on its own, not crash.
kill -TERM $app 2>/dev/null || true
code=0
wait $app || code=$?
app=
if ((code >= 128)); then
  echo "kestrel died of signal $((code - 128)) after SIGTERM" >&2
  status=1
fi
exit $status
