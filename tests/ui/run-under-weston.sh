#!/bin/sh
# Runs a command inside a headless weston, as on a Wayland desktop: the session's variables
# (WAYLAND_DISPLAY, XDG_SESSION_TYPE=wayland, QT_QPA_PLATFORM=wayland as such sessions set it)
# and XWayland's DISPLAY. With --no-x there is no XWayland and no DISPLAY at all. The pixman
# renderer and --debug let weston-screenshooter read the screen back; no idle blanking.
set -eu
withx=1
if [ "${1:-}" = "--no-x" ]; then
  withx=0
  shift
fi
runtime=$(mktemp -d)
export XDG_RUNTIME_DIR="$runtime"
socket="quorvan-weston-$$"
log="$runtime/weston.log"
# XWayland's listening sockets go there; on a machine without any X server yet it is missing.
if [ ! -d /tmp/.X11-unix ]; then
  mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
fi
xwayland=""
if [ "$withx" = 1 ]; then
  xwayland="--xwayland"
fi
weston --backend=headless-backend.so --use-pixman $xwayland --socket="$socket" \
  --width=1024 --height=768 --idle-time=0 --debug >"$log" 2>&1 &
weston_pid=$!
trap 'kill "$weston_pid" 2>/dev/null || true; wait "$weston_pid" 2>/dev/null || true; rm -rf "$runtime"' EXIT

# Up to 20 s for the compositor's socket and, with XWayland, the display it listens on.
tries=0
while :; do
  if [ -S "$runtime/$socket" ] && { [ "$withx" = 0 ] || grep -q "xserver listening on display" "$log"; }; then
    break
  fi
  tries=$((tries + 1))
  if [ "$tries" -gt 200 ] || ! kill -0 "$weston_pid" 2>/dev/null; then
    echo "weston did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  sleep 0.1
done

export WAYLAND_DISPLAY="$socket" XDG_SESSION_TYPE=wayland QT_QPA_PLATFORM=wayland
if [ "$withx" = 1 ]; then
  DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$log" | head -n 1)
  export DISPLAY
else
  unset DISPLAY
fi
status=0
"$@" || status=$?
exit "$status"
