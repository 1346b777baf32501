#!/usr/bin/env bash
# Builds the program and its whole test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer in a build tree of their own (build-asan) and
# runs every ctest test under them.
#
#   scripts/sanitize.sh [CTEST ARGS...]     e.g. -R tst_onlineengine
#
# Environment: ARQ_ASAN_BUILD (build tree), ARQ_JOBS (default 2),
# ARQ_ASAN_TARGETS (build only these targets, for a quick partial run).
# Every process the tests start (the simulator, the runners) is instrumented
# too; each report lands in $BUILD/sanitizer/<tool>.<pid> and is printed at
# the end. The first report ends its process (halt_on_error) and fails its
# test. Leak reports are suppressed only for allocations made inside the
# uninstrumented system libraries listed in scripts/lsan.supp.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ARQ_ASAN_BUILD:-$ROOT/build-asan}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$ROOT")}"

# vptr checks would fire on Qt's own uninstrumented classes; -Werror stays
# off because GCC's instrumentation raises false maybe-uninitialized warnings.
# GCC leaves float-to-int conversions that overflow out of "undefined"; an
# instrument's reply can carry any number, so they are checked too.
SAN="address,undefined,float-cast-overflow"
FLAGS="-fsanitize=$SAN -fno-sanitize=vptr -fno-sanitize-recover=undefined,float-cast-overflow -fno-omit-frame-pointer"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=$SAN" \
  -DARQ_BUILD_BENCH=OFF -DARQ_WARNINGS_AS_ERRORS=OFF >/dev/null
# shellcheck disable=SC2086
nice ninja -C "$BUILD" -j"${ARQ_JOBS:-2}" ${ARQ_ASAN_TARGETS:-}

LOGS="$BUILD/sanitizer"
rm -rf "$LOGS"
mkdir -p "$LOGS"
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:print_stacktrace=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:log_path=$LOGS/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$LOGS/ubsan"
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

cd "$BUILD"
status=0
nice ctest --output-on-failure "$@" || status=$?

reports=$(find "$LOGS" -type f | sort)
if [[ -n "$reports" ]]; then
  for f in $reports; do
    echo "==== $f"
    cat "$f"
  done
  echo "sanitizer: $(echo "$reports" | wc -l) report(s) in $LOGS" >&2
  exit 1
fi
((status == 0)) || { echo "sanitizer: tests failed (status $status), no sanitizer report" >&2; exit "$status"; }
scope="whole suite"
(($#)) && scope="tests selected by: $*"
echo "sanitizer: $scope clean under AddressSanitizer + UndefinedBehaviorSanitizer"
