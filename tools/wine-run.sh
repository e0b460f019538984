#!/usr/bin/env bash
# Runs a Windows program under Wine: fixed prefix, no debug chatter, no
# Mono/Gecko install prompts. The program's exit status is passed through
# (a Windows exit code arrives modulo 256, so -1 shows as 255).
#
#   tools/wine-run.sh program.exe [args...]
#   tools/wine-run.sh --init          only make sure the prefix exists
#   tools/wine-run.sh --persist [s]   also keep a wine server running, so a
#                                     series of programs skips Wine start-up
#                                     (with s: until s seconds after the last
#                                     program, so it cannot outlive its user)
#   tools/wine-run.sh --kill          stop that server and every program in
#                                     the prefix
#
# VW_WINEPREFIX overrides the prefix location.
set -u

export WINEPREFIX="${VW_WINEPREFIX:-${HOME:-/tmp}/.cache/vostle-wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${VW_WINEDEBUG:--all}"
# No Mono/Gecko prompts, and no menu entries written into the user's desktop.
export WINEDLLOVERRIDES="${VW_WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
# Call the 64-bit loader and server directly: the `wine` front script
# prefers a 32-bit loader when one is installed.
WINE_LOADER=/usr/lib/wine/wine64
WINE_SERVER=/usr/lib/wine/wineserver64

# Bump when the set-up below changes, so existing prefixes are brought up to date.
prefix_version=2
stamp="$WINEPREFIX/.vw-ready"

configure_prefix() {
  # A crashing program must end with a failure status at once, with the
  # backtrace on the console, never wait in a crash dialog.
  "$WINE_LOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
}

init_prefix() {
  [[ -f $stamp && $(<"$stamp") == "$prefix_version" ]] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    # Parallel test runs: one creates the prefix, the others wait for it.
    flock 9
    [[ -f $stamp && $(<"$stamp") == "$prefix_version" ]] && exit 0
    {
      "$WINE_LOADER" wineboot -i &&
      configure_prefix &&
      # Let wineboot's children finish and the registry reach the disk.
      timeout 300 "$WINE_SERVER" -w
    } </dev/null >/dev/null 2>&1 9>&-
    [[ -f $WINEPREFIX/system.reg ]] || { echo "wine-run: prefix set-up failed in $WINEPREFIX" >&2; exit 1; }
    echo "$prefix_version" >"$stamp"
  ) 9>"$WINEPREFIX.lock"
}

case ${1-} in
  --kill)
    [[ -d $WINEPREFIX ]] && "$WINE_SERVER" -k 2>/dev/null
    exit 0 ;;
esac
init_prefix || exit 1
case ${1-} in
  --init) exit 0 ;;
  --persist)
    # Fails harmlessly when a server already runs.
    "$WINE_SERVER" "-p${2-}" </dev/null >/dev/null 2>&1
    # Start Wine's background services now, detached from any caller's
    # output: whichever program starts them hands them its stdout/stderr,
    # and a test runner waiting for those pipes to close would wait forever.
    "$WINE_LOADER" cmd /c exit </dev/null >/dev/null 2>&1
    exit 0 ;;
esac
if [[ -t 2 ]]; then
  exec "$WINE_LOADER" "$@"
fi

# Wine hands its own Unix stderr to every process it starts, including
# helpers that outlive the program (explorer.exe for the desktop, ...). A
# caller reading our stderr through a pipe (ctest, a log) would then wait
# for those to end. So the program writes its stderr into a file that is
# copied out as it grows, and the copy ends with the program.
errfile=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX") || exit 1
"$WINE_LOADER" "$@" 2>>"$errfile" &
pid=$!
trap 'kill -TERM "$pid" 2>/dev/null' TERM INT HUP
tail -c +1 -s 0.1 -f --pid="$pid" "$errfile" >&2 &
tailpid=$!
wait "$pid"
status=$?
# wait returns early when a trapped signal arrives; wait again for the status.
while kill -0 "$pid" 2>/dev/null; do
  wait "$pid"
  status=$?
done
wait "$tailpid"
rm -f "$errfile"
exit "$status"
