#!/usr/bin/env bash
# Runs the Bluetooth LE thermometer tests once under ThreadSanitizer in a
# build tree of their own (build-tsan). Only those test targets (and the
# simulator they start) are built.
#
#   scripts/tsan-ble.sh
#
# Qt itself is not instrumented; reports whose every frame lies in Qt would
# be listed in scripts/tsan-ble.supp (today it suppresses nothing of ours).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ARQ_TSAN_BUILD:-$ROOT/build-tsan}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$ROOT")}"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DARQ_BUILD_BENCH=OFF >/dev/null
ninja -C "$BUILD" -j2 tst_korva5310 tst_korva5310_simulator tst_bleplatform_qt arq-simulator

export TSAN_OPTIONS="halt_on_error=0 second_deadlock_stack=1 suppressions=$ROOT/scripts/tsan-ble.supp ${TSAN_OPTIONS:-}"
cd "$BUILD"
QT_QPA_PLATFORM=offscreen ctest -R 'tst_korva5310|tst_bleplatform_qt' --output-on-failure
# ctest passes a test whose race report did not change its exit code;
# the reports themselves are what counts.
if grep -l "WARNING: ThreadSanitizer" Testing/Temporary/LastTest.log >/dev/null; then
  echo "ThreadSanitizer reported data races (see $BUILD/Testing/Temporary/LastTest.log)" >&2
  exit 1
fi
echo "ThreadSanitizer: no reports"
