#!/usr/bin/env bash
# Sets everything up and starts ARQ-310MX in its working directory ./data.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/scripts/build.sh"
DATA="${ARQ_DATA_DIR:-$ROOT/data}"
mkdir -p "$DATA"
cp "$ROOT"/build/tervan_*.qm "$DATA"/
cp "$ROOT/resources/help/help.html" "$DATA"/
# The help shows the screenshots from screenshots/zh beside it.
mkdir -p "$DATA/screenshots/zh"
cp "$ROOT"/docs/screenshots/zh/*.png "$DATA/screenshots/zh"/ 2>/dev/null || true
cd "$DATA"
exec "$ROOT/build/arq310mx" "$@"
