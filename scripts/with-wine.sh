#!/usr/bin/env bash
# Runs a command with what Windows programs need under Wine: a display (Xvfb at
# 1280x1024x24 unless a display is given and VEXIL_XVFB is not 1), a sound
# server with a null sink (unless one is running), the Wine prefix of the
# build tree, and a Wine server kept warm for the whole command. Everything it
# started is stopped when the command ends.
#
# BUILD_DIR is one architecture's tree (build/i686 or build/x86_64): within the
# command, `wine` is the Wine loader of that architecture (the 32-bit or the
# 64-bit one) and the prefix is made for it.
#
#   scripts/with-wine.sh BUILD_DIR COMMAND [ARGS...]
set -euo pipefail

build=$(cd "$1" && pwd); shift
run=$(mktemp -d /tmp/vexil-run.XXXXXX)
started=()

[ -f "$build/wine-loader" ] || { echo "with-wine.sh: $build is no configured build tree" >&2; exit 1; }
loader=$(head -n 1 "$build/wine-loader")
export WINEPREFIX=$build/wineprefix
case $loader in
  *64) export WINEARCH=win64 ;;
  *) export WINEARCH=win32 ;;
esac
mkdir -p "$run/bin"
printf '#!/bin/sh\nexec %s "$@"\n' "$loader" >"$run/bin/wine"
chmod +x "$run/bin/wine"
export PATH=$run/bin:$PATH
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  local pid
  for pid in "${started[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
  for pid in "${started[@]}"; do wait "$pid" >/dev/null 2>&1 || true; done
  rm -rf "$run"
}
trap cleanup EXIT

wait_for() { # seconds test...
  local tries=$(( $1 * 10 )); shift
  while ! "$@"; do
    tries=$((tries - 1)); [ $tries -gt 0 ] || return 1
    sleep 0.1
  done
}

virtual_display=0
if [ -z "${DISPLAY:-}" ] || [ "${VEXIL_XVFB:-0}" = 1 ]; then
  virtual_display=1
  Xvfb -displayfd 3 -screen 0 1280x1024x24 +extension GLX -nolisten tcp -noreset \
    3>"$run/display" >"$run/xvfb.log" 2>&1 &
  started+=($!)
  wait_for 20 test -s "$run/display" || { cat "$run/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=:$(head -n 1 "$run/display")
fi

if [ -z "${PULSE_SERVER:-}" ] && [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ]; then
  export PULSE_RUNTIME_PATH=$run/pulse PULSE_STATE_PATH=$run/pulse-state
  mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --disallow-exit \
    --load="module-null-sink sink_name=nul" \
    --load="module-native-protocol-unix socket=$run/pulse.sock auth-anonymous=1" \
    >"$run/pulse.log" 2>&1 &
  started+=($!)
  export PULSE_SERVER=unix:$run/pulse.sock
  wait_for 20 test -S "$run/pulse.sock" || { cat "$run/pulse.log" >&2; echo "PulseAudio did not start" >&2; exit 1; }
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "[wine] creating the Wine prefix (once per build tree)"
  wine wineboot -i >"$run/wineboot.log" 2>&1 || { cat "$run/wineboot.log" >&2; exit 1; }
  wineserver -w
fi
wineserver -p >/dev/null 2>&1 </dev/null
# The first program of a server session starts Wine's own background
# processes, which keep the standard handles they inherit; start them here,
# detached, so that no test's output pipe stays open behind it.
wine cmd /c ver >/dev/null 2>&1 </dev/null

# A program that crashes ends at once with a failure instead of waiting in
# Wine's debugger until its test times out.
aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
wine reg add "$aedebug" /v Debugger /d "cmd /c exit" /f >/dev/null 2>&1 </dev/null
wine reg add "$aedebug" /v Auto /d 1 /f >/dev/null 2>&1 </dev/null

# The library's default face is the fixed-pitch Japanese Gothic; the
# installed IPA Gothic (fonts-ipafont-gothic) stands in for it.
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d IPAGothic /f \
  >/dev/null 2>&1 </dev/null

# Without a window manager, Wine waits two seconds for one at every window
# hide; its windows are left unmanaged on the virtual display.
x11key='HKCU\Software\Wine\X11 Driver'
if [ $virtual_display = 1 ]; then
  wine reg add "$x11key" /v Managed /d N /f >/dev/null 2>&1 </dev/null
else
  wine reg delete "$x11key" /v Managed /f >/dev/null 2>&1 </dev/null || true
fi

# The first program that needs the desktop starts Wine's desktop process,
# which keeps that program's standard error until the desktop is left idle:
# under ctest, a test's output pipe, which ctest then waits for until the
# test times out. The keeper (built with the tests) starts the desktop here,
# detached, and keeps it in use for the whole command.
if [ -f "$build/desktop_keeper.exe" ]; then
  wine "$build/desktop_keeper.exe" </dev/null >"$run/keeper" 2>/dev/null &
  keeper=$!
  started+=($keeper)
  keeper_done() { grep -q ready "$run/keeper" || ! kill -0 $keeper 2>/dev/null; }
  wait_for 120 keeper_done && grep -q ready "$run/keeper" ||
    { echo "with-wine.sh: the desktop did not start" >&2; exit 1; }
fi

"$@"
