#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly and under a time limit, as the Windows
# build's CMAKE_CROSSCOMPILING_EMULATOR:
#   wine-run.sh [--prefix DIR] [--path DIR]... [--timeout SECONDS] [--display] PROGRAM [ARGS...]
# --prefix  the Wine prefix (default $WINEPREFIX, else build-windows/wine); made on first
#           use with the crash dialog off, so a crashing program exits instead of waiting
# --path    a directory Windows searches for DLLs (the MinGW runtime's), repeatable
# --timeout seconds before the program is killed (default $VQ_WINE_TIMEOUT, else 600)
# --display runs under xvfb-run, for programs that open windows
# Exits with the program's status, 124 when the time ran out.
set -euo pipefail

prefix=${WINEPREFIX:-}
limit=${VQ_WINE_TIMEOUT:-600}
display=false
paths=()
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --path) paths+=("$2"); shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --display) display=true; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if [ $# -eq 0 ]; then
  echo "usage: $0 [--prefix DIR] [--path DIR]... [--timeout S] [--display] PROGRAM [ARGS...]" >&2
  exit 2
fi

# NOTE: Debian keeps wine64 off PATH; /usr/bin/wine wants wine32 and says so on every start.
wine=${VQ_WINE:-/usr/lib/wine/wine64}
if [ ! -x "$wine" ]; then
  echo "wine-run: $wine not found (scripts/install-deps.sh windows installs it)" >&2
  exit 127
fi
if [ -z "$prefix" ]; then prefix="$(cd "$(dirname "$0")/.." && pwd)/build-windows/wine"; fi
mkdir -p "$prefix"
export WINEPREFIX=$(cd "$prefix" && pwd)
export WINEDEBUG=-all
# NOTE: with Wine's debugger a crashing program prints a backtrace and exits with status
# 0; without it the program ends with its exception code (its low byte: 5 for an access
# violation), so a crash fails the run.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
if [ ${#paths[@]} -gt 0 ]; then
  winepath=""
  for p in "${paths[@]}"; do winepath+="${winepath:+;}Z:${p//\//\\}"; done
  export WINEPATH="$winepath${WINEPATH:+;$WINEPATH}"
fi

# Makes the prefix once, whichever program comes first; the others wait for it.
if [ ! -f "$WINEPREFIX/.vq-ready" ]; then
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.vq-ready" ]; then
    timeout 300 "$wine" wineboot --init >/dev/null 2>&1 || true
    # NOTE: without this a crash opens winedbg's dialog, which waits for a click forever.
    timeout 60 "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD \
      /d 0 /f >/dev/null 2>&1
    # NOTE: with no window manager (Xvfb) Wine waits some 2 s for one on every top-level
    # window it manages; unmanaged windows open at once.
    timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      >/dev/null 2>&1
    # NOTE: the session wineboot started keeps the display it had (none, here) until it
    # ends, so a program with a display run inside it would get no graphics driver.
    timeout 60 "$(dirname "$wine")/wineserver" -w >/dev/null 2>&1 || true
    touch "$WINEPREFIX/.vq-ready"
  fi
  flock -u 9
  exec 9>&-
fi

run=(timeout --kill-after=10 "$limit" "$wine" "$@")
if $display && [ -z "${DISPLAY:-}" ]; then
  # Keeps the display until Wine's session has ended, so its desktop is not cut off
  # from its X server (which it would report on the way out).
  run=(xvfb-run -a bash -c 'status=0; "$@" || status=$?; timeout 30 "$VQ_WINESERVER" -w
       exit $status' wine-run "${run[@]}")
  export VQ_WINESERVER="$(dirname "$wine")/wineserver"
fi
status=0
"${run[@]}" || status=$?
if [ $status -eq 124 ] || [ $status -eq 137 ]; then
  echo "wine-run: $1 did not finish within $limit s" >&2
fi
exit $status
