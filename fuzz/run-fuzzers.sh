#!/bin/sh
# Runs each fuzz target for a bounded time over a copy of its seed corpus; stops at the first
# crash, leak, hang or oversized allocation.
#
# usage: fuzz/run-fuzzers.sh [BUILD_DIR] [SECONDS_EACH]
set -eu
build=${1:-build/fuzz}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/vesk-fuzz-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

for target in TreeInputFuzzer VerifyFuzzer SearchFuzzer JournalFuzzer; do
  mkdir -p "$work/$target"
  cp "$here/corpus/$target"/* "$work/$target"/
  echo "== $target, $seconds s"
  status=0
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -malloc_limit_mb=256 -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/$target" > "$work/$target.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/$target.log"
    for artifact in "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*; do
      [ -f "$artifact" ] && echo "input: $artifact" && od -A d -t x1 "$artifact" | head -n 20
    done
    echo "$target failed" >&2
    exit 1
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$work/$target.log"
done
