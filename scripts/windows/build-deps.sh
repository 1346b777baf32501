#!/usr/bin/env bash
# Builds the Windows x64 dependencies (MinGW-w64, posix threads) from Debian's
# own source packages: zlib, SQLite, libxlsxwriter and the Qt 5.15 modules the
# program links. Result: one prefix in a cache folder outside the repository,
# keyed by the source versions and the compiler, reused when present.
#
#   ARQ_WIN_CACHE   cache root (default ~/.cache/arq-win)
#   ARQ_WIN_JOBS    parallel jobs (default 2)
#
# Each piece leaves a stamp; a rerun skips finished pieces, so a failed piece
# is fixed and rebuilt alone (remove its stamp to force it).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
JOBS="${ARQ_WIN_JOBS:-2}"
ROOT="${ARQ_WIN_CACHE:-$HOME/.cache/arq-win}"
SRC_PKGS=(qtbase-opensource-src qtserialport-opensource-src qtcharts-opensource-src
          qtconnectivity-opensource-src qtsvg-opensource-src sqlite3 zlib libxlsxwriter)

log() { printf '[%(%H:%M:%S)T] %s\n' -1 "$*"; }
SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# Debian packages: the cross compiler, the host Qt tools, Wine and NSIS.
PKGS=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
      mingw-w64-x86-64-dev dpkg-dev tcl cmake ninja-build pkg-config perl python3
      qtbase5-dev-tools qttools5-dev-tools qttranslations5-l10n
      wine64 nsis zip xvfb xauth imagemagick socat)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Source entries for the archive the machine already uses (same URIs and suites).
srclist=/etc/apt/sources.list.d/arq-win-src.sources
need_update=0
if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -q '^Sources$'; then
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    sed -n '/^Types:.*deb/,/^$/p' /etc/apt/sources.list.d/debian.sources \
      | sed 's/^Types:.*/Types: deb-src/' | $SUDO tee "$srclist" >/dev/null
  else
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee "${srclist%.sources}.list" >/dev/null
  fi
  need_update=1
fi
if ((need_update)) || ((${#missing[@]})); then
  log "apt: ${missing[*]:-source lists}"
  $SUDO apt-get update -qq
  ((${#missing[@]})) && $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The cache key: every source version plus the compiler's.
versions=""
for p in "${SRC_PKGS[@]}"; do
  v=$(apt-cache showsrc --only-source "$p" | awk '/^Version:/{print $2}' | sort -V | tail -1)
  [[ -n $v ]] || { echo "no source package $p" >&2; exit 1; }
  versions+="$p=$v"$'\n'
done
versions+="gcc=$(x86_64-w64-mingw32-g++-posix -dumpversion)"$'\n'
versions+="mingw-w64=$(dpkg-query -W -f='${Version}' mingw-w64-x86-64-dev)"$'\n'
key="qt$(sed -n 's/^qtbase-opensource-src=\([0-9.]*\).*/\1/p' <<<"$versions")-$(sha1sum <<<"$versions" | cut -c1-10)"
CACHE="$ROOT/$key"
PREFIX="$CACHE/prefix"
mkdir -p "$CACHE"/{src,build,stamps,toolbin} "$PREFIX"
printf '%s' "$versions" >"$CACHE/VERSIONS"
ln -sfn "$key" "$ROOT/current"
log "cache $CACHE"

# The posix-thread compilers under the plain triplet names, without touching
# the system's alternatives.
for t in gcc g++ c++ cpp; do
  ln -sf "/usr/bin/x86_64-w64-mingw32-$t-posix" "$CACHE/toolbin/x86_64-w64-mingw32-$t"
done
export PATH="$CACHE/toolbin:$PATH"
T=x86_64-w64-mingw32

failed=()
piece() {  # piece NAME FUNCTION [NEEDS...]: runs FUNCTION once, timed, with a stamp
  local name=$1 fn=$2 t0 need; shift 2
  if [[ -f $CACHE/stamps/$name ]]; then
    log "$name: cached ($(cat "$CACHE/stamps/$name"))"
    return 0
  fi
  for need in "$@"; do
    if [[ ! -f $CACHE/stamps/$need ]]; then
      log "$name: skipped, needs $need"; failed+=("$name"); return 0
    fi
  done
  log "$name: building"
  t0=$(date +%s)
  # In the background so that set -e holds inside (an || list would lift it).
  ( set -e; "$fn" ) >"$CACHE/build/$name.log" 2>&1 &
  if ! wait $!; then
    log "$name: FAILED, see $CACHE/build/$name.log"
    tail -c 2000 "$CACHE/build/$name.log"; echo
    failed+=("$name"); return 0
  fi
  local s=$(( $(date +%s) - t0 ))
  printf '%dm%02ds\n' $((s / 60)) $((s % 60)) >"$CACHE/stamps/$name"
  log "$name: done in $(cat "$CACHE/stamps/$name")"
}

fetch_source() {  # apt-get source into the cache, once
  local p=$1 ok=0 v
  [[ -f $CACHE/src/$p/.fetched ]] && return 0
  rm -rf "${CACHE:?}/src/$p"; mkdir -p "$CACHE/src/$p"
  # The newest version the archive serves; an older one where the mirror lacks it.
  for v in $(apt-cache showsrc --only-source "$p" | awk '/^Version:/{print $2}' | sort -Vru); do
    if (cd "$CACHE/src/$p" && apt-get source -qq "$p=$v"); then ok=1; break; fi
    rm -rf "${CACHE:?}/src/$p"/*
  done
  ((ok)) || { echo "$p: no version could be fetched from the archive" >&2; return 1; }
  echo "$v" >"$CACHE/src/$p/.fetched"
}

srcdir() {  # the unpacked tree of a source package, fetched when missing
  fetch_source "$1" >&2 || return 1
  find "$CACHE/src/$1" -mindepth 1 -maxdepth 1 -type d | head -1
}

# zlib: static, for libxlsxwriter (Qt keeps its own copy inside QtCore).
# Debian's source has no win32 folder, so no DLL resource; the static
# library is all the workbook writer needs.
build_zlib() {
  local s; s=$(srcdir zlib)
  rm -rf "$CACHE/build/zlib"
  cmake -S "$s" -B "$CACHE/build/zlib" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/../../cmake/mingw-w64.cmake" -DARQ_WIN_PREFIX="$PREFIX"
  cmake --build "$CACHE/build/zlib" -j"$JOBS" --target zlibstatic
  install -D -m644 "$CACHE/build/zlib/libzlibstatic.a" "$PREFIX/lib/libz.a"
  install -D -m644 "$CACHE/build/zlib/zconf.h" "$PREFIX/include/zconf.h"
  install -D -m644 "$s/zlib.h" "$PREFIX/include/zlib.h"
}

# SQLite: the amalgamation generated on the host (tclsh), compiled into a DLL
# with the compile options Debian's own build uses.
build_sqlite() {
  local s opts; s=$(srcdir sqlite3)
  opts=$(sed -n '/^export CFLAGS += /,/[^\\]$/p' "$s/debian/rules" | grep -o -- '-DSQLITE_[A-Z0-9_]*\(=[0-9]*\)\?' | tr '\n' ' ')
  [[ $opts == *SQLITE_ENABLE_COLUMN_METADATA* ]] || { echo "could not read Debian's SQLite options" >&2; return 1; }
  echo "options: $opts"
  rm -rf "$CACHE/build/sqlite"; mkdir -p "$CACHE/build/sqlite"; cd "$CACHE/build/sqlite"
  "$s/configure" --disable-tcl >/dev/null
  make sqlite3.c sqlite3.h sqlite3ext.h
  # shellcheck disable=SC2086
  $T-gcc -O2 -fno-strict-aliasing $opts -DSQLITE_OS_WIN=1 -shared sqlite3.c -o libsqlite3-0.dll \
    -Wl,--out-implib,libsqlite3.dll.a
  install -D -m644 sqlite3.h "$PREFIX/include/sqlite3.h"
  install -D -m644 sqlite3ext.h "$PREFIX/include/sqlite3ext.h"
  install -D -m644 libsqlite3.dll.a "$PREFIX/lib/libsqlite3.dll.a"
  install -D -m755 libsqlite3-0.dll "$PREFIX/bin/libsqlite3-0.dll"
  mkdir -p "$PREFIX/lib/pkgconfig"
  printf 'prefix=%s\nName: SQLite\nDescription: SQL database engine\nVersion: %s\nLibs: -L${prefix}/lib -lsqlite3\nCflags: -I${prefix}/include\n' \
    "$PREFIX" "$(cat "$s/VERSION")" >"$PREFIX/lib/pkgconfig/sqlite3.pc"
}

# libxlsxwriter: its own CMake build with the cross toolchain, static.
build_xlsxwriter() {
  local s; s=$(srcdir libxlsxwriter)
  rm -rf "$CACHE/build/xlsxwriter"
  cmake -S "$s" -B "$CACHE/build/xlsxwriter" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/../../cmake/mingw-w64.cmake" -DARQ_WIN_PREFIX="$PREFIX" \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF \
    -DZLIB_ROOT="$PREFIX"
  cmake --build "$CACHE/build/xlsxwriter" -j"$JOBS"
  cmake --install "$CACHE/build/xlsxwriter"
}

# qtbase: only what the program loads. Debian's source lacks the SQLite,
# IAccessible2 and Wintab third-party parts, so SQLite is the one built above
# and accessibility and tablet input are off.
QTBASE_FLAGS=(-opensource -confirm-license -release -shared
  -platform linux-g++ -xplatform win32-g++ -device-option CROSS_COMPILE=$T-
  -nomake examples -nomake tests -no-pkg-config
  -opengl no -no-direct2d -no-vulkan -no-dbus -no-icu
  -no-openssl -schannel
  -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype
  -sql-sqlite -system-sqlite -no-sql-odbc -no-sql-psql -no-sql-mysql -no-sql-ibase -no-sql-db2
  -no-sql-oci -no-sql-tds -no-sql-sqlite2
  -no-feature-accessibility -no-feature-tabletevent -no-feature-concurrent)
# TLS (the alarm mail's SMTP) through Windows' own Schannel: no OpenSSL to build or ship.
build_qtbase() {
  local s; s=$(srcdir qtbase-opensource-src)
  # An interrupted build goes on where it stopped; changed options reconfigure
  # in place, and make rebuilds what the new configuration headers reach.
  mkdir -p "$CACHE/build/qtbase"; cd "$CACHE/build/qtbase"
  # Qt's Schannel code links -lSecur32 -lCrypt32, spelled as on Windows;
  # MinGW's import libraries are lower case, and Linux's file names count case.
  local lib
  for lib in Secur32 Crypt32; do
    ln -sf "/usr/$T/lib/lib${lib,,}.a" "$PREFIX/lib/lib$lib.a"
  done
  if [[ ! -f .configured || $(cat .configured) != "${QTBASE_FLAGS[*]}" ]]; then
    "$s/configure" -prefix "$PREFIX" "${QTBASE_FLAGS[@]}" -I "$PREFIX/include" -L "$PREFIX/lib"
    echo "${QTBASE_FLAGS[*]}" >.configured
  fi
  make -j"$JOBS"
  make install
}

# A Qt module: its qmake project against the qtbase above.
build_qtmodule() {
  local pkg=$1 dir=$2 s; s=$(srcdir "$pkg")
  mkdir -p "$CACHE/build/$dir"; cd "$CACHE/build/$dir"
  [[ -f Makefile ]] || "$PREFIX/bin/qmake" "$s"
  make -j"$JOBS"
  make install
}
build_qtserialport() { build_qtmodule qtserialport-opensource-src qtserialport; }
build_qtcharts() { build_qtmodule qtcharts-opensource-src qtcharts; }
# Qt Bluetooth only: NFC is not used.
build_qtconnectivity() {
  local s; s=$(srcdir qtconnectivity-opensource-src)
  rm -rf "$CACHE/build/qtconnectivity"; mkdir -p "$CACHE/build/qtconnectivity"; cd "$CACHE/build/qtconnectivity"
  "$PREFIX/bin/qmake" "$s"
  make -j"$JOBS" sub-src-qmake_all
  make -C src -j"$JOBS" sub-bluetooth
  make -C src sub-bluetooth-install_subtargets
}

# Options changed since qtbase was built: build it again (in place).
if [[ -f $CACHE/stamps/qtbase && $(cat "$CACHE/build/qtbase/.configured" 2>/dev/null) != "${QTBASE_FLAGS[*]}" ]]; then
  log "qtbase: options changed, reconfiguring"
  rm -f "$CACHE/stamps/qtbase"
fi
piece zlib build_zlib
piece sqlite build_sqlite
piece qtbase build_qtbase sqlite
piece xlsxwriter build_xlsxwriter zlib
piece qtserialport build_qtserialport qtbase
piece qtcharts build_qtcharts qtbase
piece qtconnectivity build_qtconnectivity qtbase

du -sh "$CACHE" | awk '{print "cache size " $1}'
if ((${#failed[@]})); then
  log "not built: ${failed[*]}"
  exit 1
fi
log "all pieces built: $PREFIX"
