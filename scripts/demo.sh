#!/usr/bin/env bash
# The demonstration bench in one command: builds, starts the simulated
# instruments (three loggers, a dry block, a bath, the Bluetooth reference
# thermometer), prepares a working directory whose database already holds the
# loggers and their channel configurations, and starts the program on it with
# the loggers connected. Everything started here stops when the program exits.
#
#   bash scripts/demo.sh            (working directory: ./demo, made afresh)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/scripts/build.sh"
DEMO="${ARQ_DEMO_DIR:-$ROOT/demo}"
rm -rf "$DEMO"
mkdir -p "$DEMO"
SIM="$ROOT/build/tools/simulator/arq-simulator"

# Ports: loggers 5101-5103, dry block 5111, thermometer 5120; the bath on a pty.
coproc SIMULATOR { exec "$SIM" --time-scale 30 \
  --instrument model=KRDB-1,tcp=127.0.0.1:5111,temperature=25,id=KD-DEMO \
  --instrument model=KRLB-2,pty,id=KL-DEMO \
  --instrument "model=3107A-TC,tcp=127.0.0.1:5101,noise=0.02,in=1:101-108,sensor101=1.002:-0.3,sensor102=0.998:0.25" \
  --instrument model=3107A-RTD,tcp=127.0.0.1:5102,noise=0.005,in=2:101-104 \
  --instrument model=3107A-NTC,tcp=127.0.0.1:5103,noise=0.005,in=2:101-104 \
  --instrument model=5310A,tcp=127.0.0.1:5120,noise=0.002,in=1 \
  --exit-on-eof 2>"$DEMO/simulator.log"; }
trap 'kill "$SIMULATOR_PID" 2>/dev/null || true' EXIT

# The simulator prints one LISTEN line per endpoint once it is ready.
pty=""
for _ in $(seq 1 6); do
  IFS= read -r -t 10 line <&"${SIMULATOR[0]}" || { echo "arq-simulator did not start; see $DEMO/simulator.log" >&2; exit 1; }
  [[ $line == "LISTEN pty "* ]] && pty=${line#LISTEN pty }
done
echo "simulated bench ready (bath on $pty)"

"$ROOT/build/tools/demo/arq-demo-setup" --workdir "$DEMO" --tc 5101 --rtd 5102 --ntc 5103 --block 5111
cp "$ROOT"/build/tervan_*.qm "$DEMO"/
cp "$ROOT/resources/help/help.html" "$DEMO"/
cd "$DEMO"
"$ROOT/build/arq310mx" --ble-simulator 127.0.0.1:5120 --connect-registered "$@"
