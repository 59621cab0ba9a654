#!/usr/bin/env bash
# The wine server of the test run's prefix, kept alive from the first test to
# the last:
#   wine_server.sh start WINE...  starts it persistent (no idle timeout) and
#                                 boots the prefix with WINE (the emulator)
#   wine_server.sh stop           ends it, with every wine program still running
# Left to itself, the server ends a moment after the last wine program of the
# prefix does; a program started in that moment connects to a server that is
# going away and dies with "wine client error:0: recvmsg: Connection reset by
# peer" and exit 1. ctest runs start before and stop after every test that
# runs under wine, whichever of them it is asked to run.
set -euo pipefail
prefix="${WINEPREFIX:-$HOME/.wine}"
case "${1:-}" in
  start)
    mkdir -p "$prefix"
    # A server left by an interrupted run may be on its way out: replace it.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    # The server detaches; its output must not hold ctest's pipe open.
    wineserver -p </dev/null >/dev/null 2>&1
    # The prefix's own processes (services.exe, winedevice.exe, ...) start
    # with the first wine program and live as long as the server: started
    # from a test, they would keep that test's output pipe open and ctest
    # would wait for it until the run ends. Started here, they hold nothing.
    shift
    "$@" wineboot </dev/null >/dev/null 2>&1 || true
    ;;
  stop)
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    ;;
  *)
    echo "usage: wine_server.sh start WINE... | stop" >&2
    exit 2
    ;;
esac
