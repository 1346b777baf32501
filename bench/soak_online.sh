#!/bin/sh
# Soak run of the online acquisition engine against arq-simulator: three
# 3107A-TC loggers of 16 channels at the fastest interval the 3107A allows
# (16 channels x 0.01 s at "快速" = 0.16 s), a dropped link every 2,000 scans.
# Not part of the test suite; it takes about half an hour, or SECONDS of wall
# time when given (SCANS is then ignored).
#
#   bench/soak_online.sh [BUILD_DIR] [SCANS] [FAULT_EVERY] [SECONDS]
#
# Prints the runner's progress and a summary: scans stored, reconnects,
# peak memory and the memory growth between scan 1,000 and the end.
set -eu
BUILD=${1:-build}
SCANS=${2:-10000}
FAULT_EVERY=${3:-2000}
SECONDS_WALL=${4:-0}
if [ "$SECONDS_WALL" -gt 0 ]; then
  LIMIT="--seconds $SECONDS_WALL --scans 0"
else
  LIMIT="--scans $SCANS"
fi
RUNNER="$BUILD/tests/acquisition/arq-online-runner"
SIMULATOR="$BUILD/tools/simulator/arq-simulator"
for f in "$RUNNER" "$SIMULATOR"; do
  [ -x "$f" ] || { echo "missing $f (ninja -C $BUILD arq-online-runner arq-simulator)" >&2; exit 2; }
done
WORK=$(mktemp -d /tmp/arq-soak.XXXXXX)
LOG="$WORK/runner.log"
START=$(date +%s)
"$RUNNER" --workdir "$WORK" --simulator "$SIMULATOR" --instruments 3 --projects 3 --channels 16 \
  --interval 0.16 $LIMIT --fault-every "$FAULT_EVERY" --quiet 2>"$WORK/stderr.log" \
  | tee "$LOG" | grep -E '^(SETUP|PROGRESS|FAULT|RECONNECT|MEMORY|MESSAGE|DONE)'
END=$(date +%s)
DB="$WORK/ARQ-310MX.db3"
ROWS=$(sqlite3 "$DB" "select count(*) from ParametersData" 2>/dev/null || echo '?')
CHECK=$(sqlite3 "$DB" "PRAGMA integrity_check" 2>/dev/null || echo '?')
AUDIT=$(sqlite3 "$DB" "select Details, count(*) from AuditLog where Type = '通讯异常' group by Details" 2>/dev/null || echo '?')
PERIOD=$(sqlite3 "$DB" "select round((julianday(max(Time)) - julianday(min(Time))) * 86400000.0 / (count(*) - 1), 1) from ParametersData where Name = (select Name from Parameters limit 1)" 2>/dev/null || echo '?')
DONE=$(grep '^DONE' "$LOG" || true)
echo "---"
echo "elapsed_s=$((END - START)) limit='$LIMIT' fault_every=$FAULT_EVERY"
echo "$DONE"
echo "rows_in_database=$ROWS (3 projects per scan) integrity=$CHECK"
echo "mean scan period over the run (ms, reconnection pauses included): $PERIOD"
echo "communication-fault log: $AUDIT"
echo "work directory: $WORK"
