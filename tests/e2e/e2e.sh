#!/bin/sh
# The demo as a person runs it: a real window on a real X server (Xvfb).
#
#   e2e.sh check DEMO XPROBE GOLDEN DEPTH [SDL_LIBDIR]
#       starts Xvfb at DEPTH, runs DEMO with arguments that must not matter,
#       compares its window with GOLDEN, measures its idle CPU, sends it input
#       and Expose (ignored), closes it as a window manager would (exit 0
#       within 200 ms), then ends a second run with SIGTERM (exit 0).
#   e2e.sh capture DEMO XPROBE OUT.ppm DEPTH [SDL_LIBDIR]
#       the same capture, written to OUT.ppm.
#   e2e.sh nodisplay DEMO [SDL_LIBDIR]
#       without a display it can use (DISPLAY unset, naming no server, or
#       naming a server that refuses it; TERM unset too) the demo says why in
#       one line on stderr, writes nothing on stdout and exits 1, fast.
#   e2e.sh window EXAMPLE XPROBE DEPTH
#       the window-surface example (SDL2 or SDL3) at DEPTH: the window shows
#       exactly what the example draws offscreen on a surface of the format
#       it prints, and a window manager's close ends it with status 0.
#   e2e.sh renderer EXAMPLE XPROBE DEPTH DRIVER SCALE
#       the same for the renderer example's first frame on SDL's DRIVER
#       renderer (software, opengl, opengles2) at render scale SCALE, against
#       that frame drawn offscreen by the software renderer.
#   e2e.sh terminal DEMO [SDL_LIBDIR]
#       the same failures in a real terminal (tmux): the line is still on the
#       screen once the demo has exited.
#
# SDL_LIBDIR, when given, is put first on LD_LIBRARY_PATH and the demo must be
# seen running on the SDL found there. Where Xvfb cannot be started the test
# is skipped (exit 77), unless GLYPHAR_E2E_REQUIRED=1 makes that a failure.
set -eu

work=$(mktemp -d "${TMPDIR:-/tmp}/glyphar-e2e.XXXXXX")
xvfb_pid="" demo_pid=""
cleanup() {
  [ -n "$demo_pid" ] && kill -9 "$demo_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

fail() { echo "e2e: FAIL: $*" >&2; exit 1; }

skip() {
  if [ "${GLYPHAR_E2E_REQUIRED:-0}" = 1 ]; then
    fail "$* (the end-to-end tests are required here)"
  fi
  echo "e2e: SKIPPED: $*"
  exit 77
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

use_sdl() {
  if [ -n "${1:-}" ]; then
    [ -e "$1/libSDL-1.2.so.0" ] || fail "no libSDL-1.2.so.0 in $1"
    LD_LIBRARY_PATH="$1${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
    export LD_LIBRARY_PATH
  fi
}

# Starts Xvfb and exports DISPLAY. Xvfb picks a free display number itself
# and writes it once it accepts clients: a number chosen here could be taken
# by another test's server in the meantime, and this test would then talk to
# that server and find that test's windows.
start_xvfb() {
  depth=$1
  command -v Xvfb >/dev/null 2>&1 || skip "Xvfb is not installed"
  Xvfb -displayfd 3 -screen 0 1600x900x"$depth" -nolisten tcp -noreset \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  wait_for_display
  DISPLAY=:$display
  export DISPLAY
  "$xprobe" ping 2>/dev/null || skip "Xvfb :$display does not answer"
}

# Waits for the Xvfb just started to write its display number; sets display.
wait_for_display() {
  tries=0
  until display=$(sed -n 's/^\([0-9][0-9]*\)$/\1/p' "$work/display") && [ -n "$display" ]; do
    tries=$((tries + 1))
    if [ $tries -ge 200 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
      skip "Xvfb could not be started: $(tail -n 3 "$work/xvfb.log" 2>/dev/null | tr '\n' ' ')"
    fi
    sleep 0.05
  done
}

# Starts the demo with arguments it must ignore and waits for its window.
start_demo() {
  "$demo" --fullscreen -geometry 320x200 "$work" 42 >"$work/demo.out" 2>"$work/demo.err" &
  demo_pid=$!
  window_size="800 600"
  # shellcheck disable=SC2086
  window=$("$xprobe" wait $window_size 10000) ||
    fail "the demo's 800x600 window did not appear: $(cat "$work/demo.err")"
  if [ -n "$sdl_libdir" ]; then
    grep -q "$sdl_libdir" /proc/"$demo_pid"/maps || fail "the demo is not running on the SDL in $sdl_libdir"
  fi
}

# Captures the window until it shows the picture in REFERENCE (the golden
# frame by default), for up to 3 seconds; a third argument, exact, captures
# every bit of each channel. SDL may drop the first window it shows and make
# another (SDL2 does when a renderer wants OpenGL, as under sdl12-compat):
# a window gone before it was captured is looked up again.
expect_frame() {
  reference=${2:-$golden}
  tries=0
  while :; do
    # shellcheck disable=SC2086
    if "$xprobe" capture "$window" "$work/frame.ppm" ${3:-} 2>"$work/capture.err"; then
      "$xprobe" compare "$work/frame.ppm" "$reference" 2>"$work/compare.err" && return 0
    else
      # shellcheck disable=SC2086
      window=$("$xprobe" wait $window_size 3000) ||
        fail "$1: capture failed ($(cat "$work/capture.err")) and no other window appeared"
    fi
    tries=$((tries + 1))
    if [ $tries -ge 30 ]; then
      cp "$work/frame.ppm" "${E2E_FAILED_FRAME:-/tmp/glyphar-e2e-failed.ppm}" 2>/dev/null || true
      fail "$1: the window differs from $(basename "$reference"): $(cat "$work/compare.err")"
    fi
    sleep 0.1
  done
}

cpu_ticks() { awk '{ print $14 + $15 }' /proc/"$1"/stat; }

# Waits for the demo to end, killing it after 3 seconds; sets status.
wait_demo() {
  (sleep 3; kill -9 "$demo_pid" 2>/dev/null) &
  watchdog=$!
  status=0
  wait "$demo_pid" || status=$?
  kill "$watchdog" 2>/dev/null || true
  demo_pid=""
}

# The first display number with no server and no lock.
free_display() {
  n=${1:-20}
  while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
  echo $n
}

# An X server that only accepts clients holding its cookie; sets refusing
# to its display number and free to a number where no server runs. The
# server takes every cookie in its file, whatever display the file names.
# Servers of the other tests take the lowest free numbers, so free is looked
# for far above them.
start_refusing_xvfb() {
  command -v Xvfb >/dev/null 2>&1 || skip "Xvfb is not installed"
  command -v xauth >/dev/null 2>&1 || skip "xauth is not installed"
  xauth -q -f "$work/cookie" add :0 . "$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')" \
    2>/dev/null
  Xvfb -displayfd 3 -auth "$work/cookie" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  wait_for_display
  refusing=$display
  free=$(free_display 200)
}

# Runs the demo with env's arguments (-u NAME first, then NAME=VALUE) and expects one
# line on stderr holding TEXT, nothing on stdout and status 1, within 1 s.
expect_refusal() {
  label=$1 text=$2
  shift 2
  start=$(now_ms)
  status=0
  env -u SDL_VIDEODRIVER -u WAYLAND_DISPLAY "$@" XDG_RUNTIME_DIR="$work/runtime" \
    "$demo" >"$work/demo.out" 2>"$work/demo.err" || status=$?
  elapsed=$(( $(now_ms) - start ))
  [ "$status" -eq 1 ] || fail "$label: the demo exited with status $status"
  lines=$(wc -l <"$work/demo.err")
  [ "$lines" -eq 1 ] || fail "$label: the demo wrote $lines lines on stderr: $(cat "$work/demo.err")"
  grep -qF "glyphar-demo: $text" "$work/demo.err" ||
    fail "$label: expected '$text' on stderr, got: $(cat "$work/demo.err")"
  [ ! -s "$work/demo.out" ] || fail "$label: the demo wrote on stdout: $(od -c "$work/demo.out" | head -3)"
  [ "$elapsed" -lt 1000 ] || fail "$label: the demo took $elapsed ms to give up"
  echo "e2e: $label: status 1 in $elapsed ms, stderr: $(cat "$work/demo.err")"
}

# Runs the demo in a tmux terminal with env's arguments and expects TEXT on
# the screen after it has exited.
in_terminal() {
  label=$1 text=$2
  shift 2
  # A server of its own for each run: one just killed may still be going
  # away, and a new session on its socket then fails ("server exited
  # unexpectedly").
  terminals=$((${terminals:-0} + 1))
  socket="glyphar-e2e-$$-$terminals"
  tmux -L "$socket" new-session -d -x 200 -y 20 \
    "env -u SDL_VIDEODRIVER -u WAYLAND_DISPLAY $* XDG_RUNTIME_DIR='$work/runtime' '$demo'; echo demo-exited-\$?; sleep 60"
  tries=0
  while :; do
    tmux -L "$socket" capture-pane -p >"$work/screen.txt" 2>/dev/null || true
    grep -q "demo-exited-" "$work/screen.txt" && break
    tries=$((tries + 1))
    if [ $tries -ge 100 ]; then
      tmux -L "$socket" kill-server 2>/dev/null || true
      fail "$label: the demo did not exit in the terminal: $(cat "$work/screen.txt")"
    fi
    sleep 0.05
  done
  tmux -L "$socket" kill-server 2>/dev/null || true
  grep -q "demo-exited-1" "$work/screen.txt" || fail "$label: wrong status: $(cat "$work/screen.txt")"
  grep -qF "$text" "$work/screen.txt" ||
    fail "$label: the demo's line is not on the screen: $(cat "$work/screen.txt")"
  echo "e2e: in a terminal, $label: the line stays on the screen"
}

mode=${1:-}
case "$mode" in
check)
  demo=$2 xprobe=$3 golden=$4 depth=$5 sdl_libdir=${6:-}
  use_sdl "$sdl_libdir"
  start_xvfb "$depth"
  start_demo
  expect_frame "first frame"

  ticks_before=$(cpu_ticks "$demo_pid")
  sleep 2
  ticks_after=$(cpu_ticks "$demo_pid")
  hz=$(getconf CLK_TCK)
  idle_permille=$(( (ticks_after - ticks_before) * 1000 / (2 * hz) ))
  [ "$idle_permille" -lt 30 ] || fail "idle, the demo used $idle_permille per mille of a core"

  "$xprobe" input "$window" || fail "could not send input"
  sleep 0.5
  kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended on input or Expose"
  expect_frame "after input and Expose"

  start=$(now_ms)
  "$xprobe" close "$window" || fail "could not send WM_DELETE_WINDOW"
  wait_demo
  latency=$(( $(now_ms) - start ))
  [ "$status" -eq 0 ] || fail "closed, the demo exited with status $status"
  [ "$latency" -le 200 ] || fail "closing took $latency ms"

  start_demo
  expect_frame "second run"
  kill -TERM "$demo_pid"
  wait_demo
  [ "$status" -eq 0 ] || fail "on SIGTERM the demo exited with status $status"

  echo "e2e: depth $depth${sdl_libdir:+, SDL from $sdl_libdir}: frame matches the golden image;" \
    "idle CPU $idle_permille per mille of a core; closed in $latency ms with status 0;" \
    "SIGTERM: status 0"
  ;;
capture)
  demo=$2 xprobe=$3 out=$4 depth=$5 sdl_libdir=${6:-}
  use_sdl "$sdl_libdir"
  start_xvfb "$depth"
  start_demo
  sleep 1
  "$xprobe" capture "$window" "$out" || fail "capture failed"
  kill -TERM "$demo_pid"
  wait_demo
  echo "e2e: captured the demo window into $out"
  ;;
nodisplay)
  demo=$2 sdl_libdir=${3:-}
  use_sdl "$sdl_libdir"
  # A login session without a usable display: it has a runtime folder, so
  # that SDL2's Wayland probe fails quietly, as it does for a user.
  mkdir -m 700 "$work/runtime"
  start_refusing_xvfb
  expect_refusal "DISPLAY unset" "no display: DISPLAY is not set" -u DISPLAY
  expect_refusal "DISPLAY unset, TERM unset" "no display: DISPLAY is not set" -u DISPLAY -u TERM
  expect_refusal "no server" "cannot open the display ':$free' that DISPLAY names: " DISPLAY=:$free
  expect_refusal "no server, TERM unset" "cannot open the display ':$free' that DISPLAY names: " \
    -u TERM DISPLAY=:$free
  expect_refusal "server refuses" "cannot open the display ':$refusing' that DISPLAY names: " \
    DISPLAY=:$refusing XAUTHORITY="$work/no-cookie"
  ;;
window|renderer)
  # window EXAMPLE XPROBE DEPTH, or renderer EXAMPLE XPROBE DEPTH DRIVER SCALE
  example=$2 xprobe=$3 depth=$4 driver=${5:-software} scale=${6:-1}
  args="" name_check=""
  if [ "$1" = renderer ]; then
    args="--still --scale $scale"
    name_check=$driver
  fi
  start_xvfb "$depth"
  mkdir -m 700 "$work/runtime"
  # shellcheck disable=SC2086
  env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER SDL_RENDER_DRIVER="$driver" \
    XDG_RUNTIME_DIR="$work/runtime" "$example" $args >"$work/example.out" 2>"$work/example.err" &
  demo_pid=$!
  # The example says its pixels' format once it has shown the window; only
  # then is the window it shows looked up, as SDL may make and drop windows
  # while it starts.
  tries=0
  until grep -q "^pixel format" "$work/example.out"; do
    tries=$((tries + 1))
    [ $tries -lt 200 ] || fail "the example did not say its window's format: $(cat "$work/example.err")"
    sleep 0.05
  done
  window_size="$((640 * scale)) $((360 * scale))"
  # shellcheck disable=SC2086
  window=$("$xprobe" wait $window_size 10000) ||
    fail "the example's window did not appear: $(cat "$work/example.err")"
  format=$(sed -n 's/^pixel format \([0-9]*\) (\(.*\))$/\1/p' "$work/example.out")
  name=$(sed -n 's/^pixel format [0-9]* (\(.*\))$/\1/p' "$work/example.out")
  if [ -n "$name_check" ]; then
    sleep 0.1
    grep -q "^renderer $name_check\$" "$work/example.out" ||
      fail "the example did not draw with the $name_check renderer: $(cat "$work/example.out" "$work/example.err")"
  fi
  # shellcheck disable=SC2086
  "$example" --offscreen "$format" "$work/offscreen.ppm" ${args#--still } ||
    fail "the offscreen drawing failed"
  expect_frame "the window ($name, $driver renderer)" "$work/offscreen.ppm" exact
  "$xprobe" close "$window" || fail "could not send WM_DELETE_WINDOW"
  wait_demo
  [ "$status" -eq 0 ] || fail "closed, the example exited with status $status"
  echo "e2e: $(basename "$example") at depth $depth, scale $scale: the window ($name, $driver" \
    "renderer) equals the offscreen drawing; closed with status 0"
  ;;
terminal)
  demo=$2 sdl_libdir=${3:-}
  use_sdl "$sdl_libdir"
  command -v tmux >/dev/null 2>&1 || skip "tmux is not installed"
  mkdir -m 700 "$work/runtime"
  free=$(free_display 200)
  in_terminal "DISPLAY unset" "glyphar-demo: no display: DISPLAY is not set" -u DISPLAY
  in_terminal "no server" "glyphar-demo: cannot open the display ':$free'" DISPLAY=:$free
  in_terminal "TERM unset" "glyphar-demo: no display: DISPLAY is not set" -u DISPLAY -u TERM
  ;;
*)
  echo "usage: e2e.sh check|capture|nodisplay|window|renderer|terminal ..." >&2
  exit 2
  ;;
esac
