#!/usr/bin/env bash
# Installs what is missing, then configures and builds into ./build.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/scripts/setup-deps.sh"
cmake -S "$ROOT" -B "$ROOT/build" -G Ninja -DARQ_WARNINGS_AS_ERRORS=ON >/dev/null
ninja -C "$ROOT/build" "$@"
