# Shell helpers shared by tools/test-all.sh, tools/run.sh and tools/package.sh (sourced).

# Runs a command with its output in a log file; prints one status line, and
# the interesting part of the log when the command fails.
vw_step() {
  local title=$1 log=$2
  shift 2
  local t0=$SECONDS
  mkdir -p "$(dirname "$log")"
  if "$@" >"$log" 2>&1; then
    echo "  ok    $title ($((SECONDS - t0)) s)"
    return 0
  fi
  echo "  FAIL  $title ($((SECONDS - t0)) s, full log: $log)"
  # Ninja marks each failing command with FAILED:; start there if it did.
  local first
  first=$(grep -n -m1 '^FAILED:' "$log" | cut -d: -f1)
  if [[ -n $first ]]; then
    sed -n "${first},$((first + 80))p" "$log" | sed 's/^/        /'
  else
    tail -n 60 "$log" | sed 's/^/        /'
  fi
  return 1
}

# Makes sure an X display is there. With $DISPLAY empty, starts Xvfb on a
# free display number with openbox as window manager and exports DISPLAY;
# vw_stop_display stops only what this started.
VW_XVFB_PID=
VW_WM_PID=
vw_start_display() {
  [[ -n ${DISPLAY-} ]] && return 0
  local numfile
  numfile=$(mktemp)
  Xvfb -displayfd 7 -screen 0 1280x1024x24 -nolisten tcp 7>"$numfile" >/dev/null 2>&1 &
  VW_XVFB_PID=$!
  local i
  for ((i = 0; i < 600; i++)); do
    [[ -s $numfile ]] && break
    kill -0 "$VW_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [[ ! -s $numfile ]]; then
    rm -f "$numfile"
    echo "could not start Xvfb (no display number within 60 s)" >&2
    return 1
  fi
  export DISPLAY=":$(tr -d '[:space:]' <"$numfile")"
  rm -f "$numfile"
  openbox --sm-disable >/dev/null 2>&1 &
  VW_WM_PID=$!
  # Wait until the window manager has taken the screen, so the first window
  # a test opens is already managed. A loaded machine can take long.
  for ((i = 0; i < 600; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    sleep 0.1
  done
  echo "the window manager (openbox) did not take the display $DISPLAY within 60 s" >&2
  return 1
}

vw_stop_display() {
  if [[ -n $VW_WM_PID ]]; then
    kill "$VW_WM_PID" 2>/dev/null
    wait "$VW_WM_PID" 2>/dev/null
    VW_WM_PID=
  fi
  if [[ -n $VW_XVFB_PID ]]; then
    kill "$VW_XVFB_PID" 2>/dev/null
    wait "$VW_XVFB_PID" 2>/dev/null
    VW_XVFB_PID=
  fi
  return 0
}
