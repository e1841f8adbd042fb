#!/usr/bin/env bash
# Runs a test program on a real X server of its own (Xvfb, 1280x1024), with or without a
# small window manager (openbox), on the xcb platform:
#   run-under-x.sh --window-manager|--no-window-manager PROGRAM [ARGS...]
# The program starts only once the server is ready and, with --window-manager, once the
# window manager has taken over the screen; it is told which in VX_WINDOW_MANAGER (1 or 0).
# Everything started here is stopped when the program ends.
set -euo pipefail

mode=$1
shift
case "$mode" in
  --window-manager) wm=1 ;;
  --no-window-manager) wm=0 ;;
  *) echo "usage: $0 --window-manager|--no-window-manager PROGRAM [ARGS...]" >&2; exit 2 ;;
esac

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number once it accepts clients.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
pids+=($!)
if ! read -r -t 30 display <"$work/display"; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$display"

if [ "$wm" = 1 ]; then
  # openbox runs its start-up command once it manages the screen.
  mkfifo "$work/wm-ready"
  HOME="$work" openbox --sm-disable --startup "sh -c 'echo ready >$work/wm-ready'" \
    >"$work/openbox.log" 2>&1 &
  pids+=($!)
  if ! read -r -t 30 _ <"$work/wm-ready" ||
     ! xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; then
    echo "openbox did not take over the screen:" >&2
    cat "$work/openbox.log" >&2
    exit 1
  fi
fi

export VX_WINDOW_MANAGER=$wm
export QT_QPA_PLATFORM=xcb
"$@"
