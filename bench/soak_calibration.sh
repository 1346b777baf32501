#!/bin/sh
# Soak run of the calibration page against the simulated bench (a KRLB-1 bath
# and a 3107A-NTC logger with two simulated thermistors): whole automatic
# calibrations one after another, each on a new page with a new
# configuration, instrument time accelerated (the page's waits x 0.002, the
# simulator x 1000), for SECONDS of wall time. Not part of the test suite.
#
#   bench/soak_calibration.sh [BUILD_DIR] [SECONDS]
#
# Prints one ROUND line per calibration (outcome, its duration, resident
# memory, thread count) and a DONE summary; fails when any round failed.
set -eu
BUILD=${1:-build}
SECONDS_WALL=${2:-3600}
RUNNER="$BUILD/tests/calibration/arq-calibration-runner"
SIMULATOR="$BUILD/tools/simulator/arq-simulator"
for f in "$RUNNER" "$SIMULATOR"; do
  [ -x "$f" ] || { echo "missing $f (ninja -C $BUILD arq-calibration-runner arq-simulator)" >&2; exit 2; }
done
WORK=$(mktemp -d /tmp/arq-calsoak.XXXXXX)
status=0
"$RUNNER" --workdir "$WORK" --simulator "$SIMULATOR" --soak "$SECONDS_WALL" 2>"$WORK/stderr.log" \
  | tee "$WORK/runner.log" || status=$?
DB="$WORK/ARQ-310MX.db3"
echo "---"
echo "calibration runs stored: $(sqlite3 "$DB" "select count(*) from ChannelCalibrationData" 2>/dev/null || echo '?')" \
  "integrity=$(sqlite3 "$DB" "PRAGMA integrity_check" 2>/dev/null || echo '?')"
echo "work directory: $WORK"
exit $status
