#!/usr/bin/env bash
# Sets everything up, builds and runs the whole test suite.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/scripts/build.sh"
cd "$ROOT/build"
# The package check (label package) needs root, network and minutes: `ctest -L package`;
# the Windows check (label windows) its dependency cache: `ctest -L windows`.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 -LE 'package|windows' "$@"
