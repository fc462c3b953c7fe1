#!/usr/bin/env bash
# Runs one fuzz target: run.sh fuzz_reader|fuzz_roundtrip [seconds] [libFuzzer flags...]
# The corpus starts from the fixed test archives, copied at run time; crashing
# inputs land in fuzz-build/findings/<target>/. Keep any of them under
# libhpi/fuzz/regressions/<target>/ so the ctest suite replays them.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
target="${1:?usage: run.sh fuzz_reader|fuzz_roundtrip [seconds] [flags...]}"
seconds="${2:-600}"
shift $(( $# >= 2 ? 2 : 1 ))

corpus="$root/fuzz-build/corpus/$target"
findings="$root/fuzz-build/findings/$target"
mkdir -p "$corpus" "$findings"
"$root/libhpi/fuzz/seed.sh" "$corpus"
if [[ -d "$root/libhpi/fuzz/regressions/$target" ]]; then
  cp -n "$root/libhpi/fuzz/regressions/$target"/* "$corpus/" 2>/dev/null || true
fi

exec "$root/fuzz-build/$target" "$corpus" \
     -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
     -artifact_prefix="$findings/" -print_final_stats=1 "$@"
