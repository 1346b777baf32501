#!/usr/bin/env bash
# Runs the tests whose code runs on worker threads once under
# ThreadSanitizer in a build tree of their own (build-tsan): the online
# acquisition engine, the calibration bench, the offline download's transfer
# task, the alarm-mail queue (in the warning-log tests) and their crash
# runners. Only those targets (and the simulator they start) are built. The Bluetooth
# driver's tests have their own script (scripts/tsan-ble.sh).
#
#   scripts/tsan.sh [CTEST REGEX]
#
# Reports land in $BUILD/tsan/tsan.<pid> (the simulator's and the runners'
# too) and are printed at the end; any report fails the script.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${ARQ_TSAN_BUILD:-$ROOT/build-tsan}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$ROOT")}"
TESTS="${1:-tst_onlineengine|tst_onlinecrash|tst_heldrows|tst_calibrationbench|tst_calibrationcrash|tst_transfer|tst_transfercrash|tst_viewlog}"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DARQ_BUILD_BENCH=OFF >/dev/null
nice ninja -C "$BUILD" -j"${ARQ_JOBS:-2}" tst_onlineengine tst_onlinecrash tst_heldrows arq-online-runner \
  tst_calibrationbench tst_calibrationcrash arq-calibration-runner arq-simulator \
  tst_transfer tst_transfercrash arq-transfer-runner tst_viewlog

LOGS="$BUILD/tsan"
rm -rf "$LOGS"
mkdir -p "$LOGS"
export TSAN_OPTIONS="halt_on_error=0 second_deadlock_stack=1 suppressions=$ROOT/scripts/tsan-ble.supp log_path=$LOGS/tsan ${TSAN_OPTIONS:-}"
cd "$BUILD"
status=0
QT_QPA_PLATFORM=offscreen nice ctest -R "$TESTS" --output-on-failure || status=$?
reports=$(find "$LOGS" -type f | sort)
if [[ -n "$reports" ]]; then
  for f in $reports; do
    echo "==== $f"
    cat "$f"
  done
  echo "ThreadSanitizer: $(echo "$reports" | wc -l) report(s) in $LOGS" >&2
  exit 1
fi
((status == 0)) || { echo "ThreadSanitizer: tests failed (status $status), no report" >&2; exit "$status"; }
echo "ThreadSanitizer: no reports"
