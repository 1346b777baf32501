#!/usr/bin/env bash
# The Windows check, from the dependency cache of build-deps.sh:
#  1. cross-builds the program, arq-lab-import and the test programs;
#  2. stages the installed tree (DLLs found from the executables' and plugins'
#     imports), makes ARQ-310MX-<version>-setup.exe (makensis) and a portable .zip;
#  3. installs silently into a fresh Wine prefix, starts the installed program
#     under Xvfb with the windows platform plugin, checks that it creates its
#     database in its working directory, takes docs/windows-main.png, and
#     uninstalls;
#  4. runs the test programs under Wine (ctest, CMAKE_CROSSCOMPILING_EMULATOR).
# Exit code 77: the cache lacks a piece (the check is skipped, not passed).
#
#   ARQ_WIN_CACHE  cache root (default ~/.cache/arq-win)
#   ARQ_WIN_BUILD  build folder (default <repo>/build-win)
#   ARQ_WIN_TESTS  ctest -R expression of the test programs run under Wine
set -euo pipefail
REPO="$(cd "$(dirname "$0")/../.." && pwd)"
CACHE_ROOT="${ARQ_WIN_CACHE:-$HOME/.cache/arq-win}"
CACHE="$CACHE_ROOT/current"
PREFIX="$CACHE/prefix"
BUILD="${ARQ_WIN_BUILD:-$REPO/build-win}"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
T=x86_64-w64-mingw32
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-/work}" CCACHE_NOHASHDIR=1
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="

t_start=$(date +%s); t_last=$t_start
step() {  # a line per stage with the time the previous one took
  local now; now=$(date +%s)
  printf '[windows %3ds, +%3ds] %s\n' $((now - t_start)) $((now - t_last)) "$*"
  t_last=$now
}

# The test programs proven under Wine.
TESTS="${ARQ_WIN_TESTS:-^(tst_store|tst_backup|tst_calibrationmath|tst_uncertaintybudget|tst_certificate|tst_reportstats|tst_reportexcel|tst_reportpdf|tst_reportcsv|tst_collection3107a|tst_devicelink)$}"

# Without the Qt modules, still proves that the Windows branches compile:
# every library of the program is compiled (nothing linked) with the modules'
# headers from Debian's Linux -dev packages standing in. Used when the
# archive lacks a module's source, or as `check.sh --compile-only`.
compile_only() {
  local dir="$BUILD-compile" mod hdr targets
  mkdir -p "$dir/stand-in"
  local args=()
  for mod in SerialPort Bluetooth Charts; do
    [[ -f $PREFIX/lib/cmake/Qt5$mod/Qt5${mod}Config.cmake ]] && continue
    hdr=/usr/include/x86_64-linux-gnu/qt5/Qt$mod
    [[ -d $hdr ]] || { echo "no headers $hdr (Debian: the module's -dev package)"; return 1; }
    rm -rf "$dir/stand-in/include/Qt$mod"; mkdir -p "$dir/stand-in/include" "$dir/stand-in/Qt5$mod"
    cp -r "$hdr" "$dir/stand-in/include/"
    cat >"$dir/stand-in/Qt5$mod/Qt5${mod}Config.cmake" <<CMAKE
# Headers only, for compiling without the module's libraries.
if(NOT TARGET Qt5::$mod)
  add_library(Qt5::$mod INTERFACE IMPORTED)
  set_target_properties(Qt5::$mod PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "$dir/stand-in/include;$dir/stand-in/include/Qt$mod"
    INTERFACE_LINK_LIBRARIES Qt5::Widgets)
endif()
set(Qt5${mod}_FOUND TRUE)
CMAKE
    printf 'set(PACKAGE_VERSION 5.15.8)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n' \
      >"$dir/stand-in/Qt5$mod/Qt5${mod}ConfigVersion.cmake"
    args+=("-DQt5${mod}_DIR=$dir/stand-in/Qt5$mod")
    echo "compile check: Qt $mod headers only, from Debian's Linux package"
  done
  cmake -S "$REPO" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-w64.cmake" \
    -DARQ_WIN_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release -DARQ_BUILD_BENCH=OFF "${args[@]}" \
    >"$dir/configure.log" 2>&1 || { tail -40 "$dir/configure.log"; return 1; }
  # The program's libraries and the executables' own sources: compiled, not linked.
  mapfile -t targets < <(ninja -C "$dir" -t targets all \
    | sed -n 's/^\([^:]*\(\.a\|main\.cpp\.obj\)\): .*/\1/p' | grep -v '^bench/')
  ninja -C "$dir" -j2 -k 0 "${targets[@]}"
  step "compile check: ${#targets[@]} libraries and mains compiled for Windows"
}

missing=()
for piece in zlib sqlite qtbase xlsxwriter qtserialport qtcharts qtconnectivity; do
  [[ -f $CACHE/stamps/$piece ]] || missing+=("$piece")
done
if [[ ${1:-} == --compile-only ]] || ((${#missing[@]})); then
  if [[ -f $CACHE/stamps/qtbase && -f $CACHE/stamps/sqlite && -f $CACHE/stamps/xlsxwriter ]]; then
    compile_only
  fi
  [[ ${1:-} == --compile-only ]] && exit 0
  echo "windows check skipped: no dependency cache piece ${missing[*]} in $CACHE (scripts/windows/build-deps.sh)"
  exit 77
fi
for tool in makensis zip Xvfb import xwininfo; do
  command -v "$tool" >/dev/null || { echo "windows check: $tool missing (scripts/windows/build-deps.sh installs it)"; exit 1; }
done

# 1. The cross build.
mkdir -p "$BUILD"
cmake -S "$REPO" -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-w64.cmake" \
  -DARQ_WIN_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release -DARQ_BUILD_BENCH=OFF >"$BUILD/configure.log" 2>&1 \
  || { tail -40 "$BUILD/configure.log"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
mapfile -t test_targets < <(ctest --test-dir "$BUILD" -N -R "$TESTS" | sed -n 's/^ *Test *#[0-9]*: \([A-Za-z0-9_]*\)$/\1/p' | sed 's/_[0-9]*$//' | sort -u)
ninja -C "$BUILD" -j2 arq310mx arq-lab-import arq_translations "${test_targets[@]}"
step "built $version: arq310mx, arq-lab-import, ${#test_targets[@]} test programs"

# 2. The installed tree, as on Linux: bin\ and share\arq310mx\ beside it.
STAGE="$BUILD/stage/ARQ-310MX"
rm -rf "$BUILD/stage"; mkdir -p "$STAGE/bin" "$STAGE/share/arq310mx" "$STAGE/share/doc/arq310mx/examples"
cp "$BUILD/arq310mx.exe" "$STAGE/bin/"
cp "$(find "$BUILD/tools" -name arq-lab-import.exe | head -1)" "$STAGE/bin/"
for plugin in platforms/qwindows.dll sqldrivers/qsqlite.dll styles/qwindowsvistastyle.dll \
              printsupport/windowsprintersupport.dll imageformats/qgif.dll imageformats/qico.dll \
              imageformats/qjpeg.dll bearer/qgenericbearer.dll; do
  [[ -f $PREFIX/plugins/$plugin ]] || { [[ $plugin == bearer/* ]] && continue; echo "plugin $plugin missing"; exit 1; }
  install -D -m644 "$PREFIX/plugins/$plugin" "$STAGE/bin/$plugin"
done
# Every DLL the executables and plugins import, and theirs in turn, from the
# prefix and the MinGW runtime; whatever is in none of them is Windows' own.
gccdir=$(dirname "$($T-gcc-posix -print-libgcc-file-name)")
search=("$PREFIX/bin" "$gccdir" "/usr/$T/lib")
declare -A seen=()
queue=("$STAGE"/bin/*.exe $(find "$STAGE/bin" -mindepth 2 -name '*.dll'))
system=()
while ((${#queue[@]})); do
  file=${queue[0]}; queue=("${queue[@]:1}")
  while read -r dll; do
    key=${dll,,}
    [[ -n ${seen[$key]:-} ]] && continue
    seen[$key]=1
    found=""
    for d in "${search[@]}"; do
      found=$(find "$d" -maxdepth 1 -iname "$dll" -print -quit)
      [[ -n $found ]] && break
    done
    if [[ -n $found ]]; then
      cp "$found" "$STAGE/bin/"
      queue+=("$STAGE/bin/$(basename "$found")")
    else
      system+=("$dll")
    fi
  done < <($T-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p')
done
shipped=$(find "$STAGE/bin" -maxdepth 1 -name '*.dll' -printf '%f ' | sort)
# Translations: the program's, and Qt's Chinese ones from Debian's Linux package.
cp "$BUILD"/tervan_*.qm "$STAGE/share/arq310mx/"
mkdir -p "$STAGE/bin/translations"
for qm in qt qtbase qtserialport qtconnectivity; do
  f=/usr/share/qt5/translations/${qm}_zh_CN.qm
  [[ -f $f ]] && cp "$f" "$STAGE/bin/translations/"
done
cp -r "$REPO/resources/help/." "$STAGE/share/arq310mx/"
mkdir -p "$STAGE/share/arq310mx/screenshots"
cp -r "$REPO/docs/screenshots/zh" "$STAGE/share/arq310mx/screenshots/"
cp "$REPO"/resources/*.example.ini "$STAGE/share/doc/arq310mx/examples/"
step "staged: DLLs $shipped; Windows' own: ${system[*]}"

OUT="$BUILD/out"; mkdir -p "$OUT"
setup="$OUT/ARQ-310MX-$version-setup.exe"
makensis -V2 -DVERSION="$version" -DSTAGE="$STAGE" -DOUTFILE="$setup" "$REPO/scripts/windows/installer.nsi"
portable="$OUT/ARQ-310MX-$version-portable.zip"
rm -f "$portable"; (cd "$BUILD/stage" && zip -qr "$portable" ARQ-310MX)
step "packaged $(basename "$setup") ($(du -h "$setup" | cut -f1)), $(basename "$portable") ($(du -h "$portable" | cut -f1))"

# 3. A fresh prefix: silent install, start, database, screenshot, uninstall.
export WINEPREFIX="$BUILD/wineprefix-install"
rm -rf "$WINEPREFIX"
"$WINE" wineboot -i >/dev/null 2>&1 || true
"$WINESERVER" -w
"$WINE" "$(printf 'Z:%s' "${setup//\//\\}")" /S
"$WINESERVER" -w
installed="$WINEPREFIX/drive_c/Program Files/ARQ-310MX"
[[ -f $installed/bin/arq310mx.exe && -f $installed/bin/platforms/qwindows.dll && -f $installed/uninstall.exe ]] \
  || { echo "the installer did not install the program"; exit 1; }
shortcut=$(find "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs/ARQ-310MX/ARQ-310MX.lnk' -print -quit)
[[ -n $shortcut ]] || { echo "no start-menu entry"; exit 1; }
workdir=$(find "$WINEPREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -type d -name ARQ-310MX -print -quit)
[[ -n $workdir ]] || { echo "no working directory"; exit 1; }
step "installed silently into a fresh prefix"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { "$WINESERVER" -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
sleep 2
(cd "$workdir" && DISPLAY=$display QT_QPA_PLATFORM=windows \
   "$WINE" 'C:\Program Files\ARQ-310MX\bin\arq310mx.exe' >"$OUT/program.log" 2>&1) &
for _ in $(seq 120); do
  [[ -f $workdir/ARQ-310MX.db3 ]] && break
  sleep 1
done
[[ -f $workdir/ARQ-310MX.db3 ]] || { echo "no database in the working directory"; cat "$OUT/program.log"; exit 1; }
# The main window after the splash screen: its title on the X display.
title=""
for _ in $(seq 60); do
  title=$(DISPLAY=$display xwininfo -root -tree | grep -o '"ARQ-310MX[^"]*"' | head -1 || true)
  [[ -n $title ]] && break
  sleep 1
done
[[ -n $title ]] || { echo "no main window"; cat "$OUT/program.log"; exit 1; }
sleep 5
DISPLAY=$display import -window root "$OUT/windows-main.png"
cp "$OUT/windows-main.png" "$REPO/docs/windows-main.png"
"$WINESERVER" -k || true
step "program started: database $(du -h "$workdir/ARQ-310MX.db3" | cut -f1) in its working directory, window $title, docs/windows-main.png"

"$WINE" 'C:\Program Files\ARQ-310MX\uninstall.exe' /S
"$WINESERVER" -w
[[ ! -e $installed/bin ]] || { echo "the uninstaller left the program"; exit 1; }
[[ -f $workdir/ARQ-310MX.db3 ]] || { echo "the uninstaller removed the records"; exit 1; }
step "uninstalled; the working directory and its records stay"

# 4. The test programs under Wine.
ctest --test-dir "$BUILD" --output-on-failure -j1 -R "$TESTS"
step "test programs passed under Wine"
