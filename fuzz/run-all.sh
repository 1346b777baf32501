#!/usr/bin/env bash
# Runs every libFuzzer target (each fuzz/fuzz_*.cpp) for a bounded time
# through fuzz/run.sh and prints one summary table: runs, corpus size, new
# crash inputs and the result of each target.
#
#   fuzz/run-all.sh [SECONDS]     default 30 s per target
#
# Logs: $ARQ_FUZZ_BUILD/fuzz/log-<target>.txt (default build tree build-fuzz).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${ARQ_FUZZ_BUILD:-$root/build-fuzz}
seconds=${1:-30}
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$root")}"

targets=()
for src in "$here"/fuzz_*.cpp; do
  name=$(basename "$src" .cpp)
  targets+=("${name#fuzz_}")
done

# Build them all first, so the time of each target is its own.
mkdir -p "$build"
"$here/run.sh" 0 "${targets[@]}" >"$build/build.log" 2>&1 || echo "fuzz build failed, see $build/build.log" >&2

rows=()
status=0
for target in "${targets[@]}"; do
  log=$build/fuzz/log-$target.txt
  mkdir -p "$build/fuzz"
  before=$(find "$build/fuzz" -maxdepth 1 -name "crash-$target-*" | wc -l)
  if [[ -x $build/fuzz/fuzz_$target ]]; then
    "$here/run.sh" "$seconds" "$target" >"$log" 2>&1
    rc=$?
  else
    echo "fuzz_$target was not built" >"$log"
    rc=2
  fi
  after=$(find "$build/fuzz" -maxdepth 1 -name "crash-$target-*" | wc -l)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  corpus=$(find "$build/fuzz/corpus-$target" -type f 2>/dev/null | wc -l)
  findings=$((after - before))
  if ((rc == 0)); then result=clean; elif ((rc == 2)); then result="not built"; else result=FAILED; fi
  ((rc == 0)) || status=1
  rows+=("$(printf '%-16s %12s %8s %9s  %s' "$target" "${runs:--}" "$corpus" "$findings" "$result")")
done

echo
echo "libFuzzer, $seconds s per target:"
printf '%-16s %12s %8s %9s  %s\n' target runs corpus findings result
printf '%s\n' "${rows[@]}"
exit $status
