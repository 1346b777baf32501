#!/usr/bin/env bash
# Runs a Windows program under Wine with the cross build's DLLs on its path:
# the CMAKE_CROSSCOMPILING_EMULATOR of the Windows build (ctest runs the test
# programs through it). One Wine prefix for all test runs, made once.
set -euo pipefail
ROOT="${ARQ_WIN_CACHE:-$HOME/.cache/arq-win}"
PREFIX="${ARQ_WIN_PREFIX:-$ROOT/current/prefix}"
export WINEPREFIX="${ARQ_WINEPREFIX:-$ROOT/wineprefix-tests}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
WINE="${ARQ_WINE:-/usr/lib/wine/wine64}"
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  "${WINE%/*}/wineserver" -w || true
fi
winpath() { printf 'Z:%s' "${1//\//\\}"; }
gccdir=$(dirname "$(x86_64-w64-mingw32-gcc-posix -print-libgcc-file-name)")
dirs=("$PREFIX/bin" "$gccdir" /usr/x86_64-w64-mingw32/lib)
WINEPATH=""
for d in "${dirs[@]}"; do WINEPATH+="$(winpath "$d");"; done
export WINEPATH
export QT_PLUGIN_PATH="$(winpath "$PREFIX/plugins")"
exec "$WINE" "$@"
