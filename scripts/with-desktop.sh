#!/usr/bin/env bash
# Runs a command on a private X display: Xvfb with the openbox window manager.
# Stops what it started (by process id) when the command ends.
# Usage: scripts/with-desktop.sh COMMAND [ARG...]
set -euo pipefail

display_number=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
    display_number=$n
    break
  fi
done
if [ -z "$display_number" ]; then
  echo "with-desktop: no free X display number" >&2
  exit 1
fi

Xvfb ":$display_number" -screen 0 1280x800x24 -nolisten tcp >/tmp/tovakin-xvfb-$display_number.log 2>&1 &
xvfb_pid=$!
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

export DISPLAY=":$display_number"
for _ in $(seq 1 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
if ! xdpyinfo >/dev/null 2>&1; then
  echo "with-desktop: Xvfb did not start (see /tmp/tovakin-xvfb-$display_number.log)" >&2
  exit 1
fi
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
# Wait until the window manager has taken the screen.
for _ in $(seq 1 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

status=0
"$@" || status=$?
exit $status
