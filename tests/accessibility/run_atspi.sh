#!/usr/bin/env bash
# Runs atspi_walk.py as on a desktop: an X server of its own (Xvfb), a session bus of its own, and the
# accessibility bus and registry, which the session bus starts when the first program asks for them.
#   run_atspi.sh VELTRANE_PROGRAM WORK_DIR
set -euo pipefail
app=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in xvfb-run dbus-run-session xdotool /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
  { echo "FAIL: python3-pyatspi is missing (scripts/deps.sh installs it)" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work"
# Leaks are the other tests' business: here a sanitized program only has to behave.
export ASAN_OPTIONS=${ASAN_OPTIONS:-}${ASAN_OPTIONS:+:}detect_leaks=0
exec timeout 600 xvfb-run -a -s "-screen 0 1600x1200x24" \
  dbus-run-session -- /usr/bin/python3 "$here/atspi_walk.py" --app "$app" --work "$work"
