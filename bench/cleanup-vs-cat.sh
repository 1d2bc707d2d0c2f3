#!/bin/sh
# Times cleanup compacting an archive of ~1 GiB in which every other file is deleted, against
# cat copying as many bytes as cleanup moves, warm cache, best of RUNS runs each, and prints
# MB/s and the ratios: of the whole cleanup, and of its moves alone (without the final cut
# of the stream, whose cost is the file system freeing the cut-off part).
#
# usage: [RUNS=n] bench/cleanup-vs-cat.sh [PATH/TO/VeskCompactArchive] [FILES] [MIB_PER_FILE]
set -eu

compact=${1:-build/release/bench/VeskCompactArchive}
count=${2:-256}
mib=${3:-4}
runs=${RUNS:-3}
[ -x "$compact" ] || { echo "no $compact: build the release preset first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vesk-cleanup-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

. "$(dirname "$0")/timing.sh"

best_cleanup=0
best_moves=0
best_cat=0
moved=0
run=0
while [ "$run" -lt "$runs" ]; do
  run=$((run + 1))
  set -- $("$compact" "$work/archive" "$count" "$mib")
  moved=$1
  if [ "$best_cleanup" -eq 0 ] || [ "$2" -lt "$best_cleanup" ]; then best_cleanup=$2; fi
  moves=$(($2 - $3))
  if [ "$best_moves" -eq 0 ] || [ "$moves" -lt "$best_moves" ]; then best_moves=$moves; fi

  head -c "$moved" "$work/archive" > "$work/source"
  cat "$work/source" > /dev/null  # warm the cache
  rm -f "$work/copy"
  sync
  start=$(now)
  cat "$work/source" > "$work/copy"
  took=$(($(now) - start))
  if [ "$best_cat" -eq 0 ] || [ "$took" -lt "$best_cat" ]; then best_cat=$took; fi
  rm -f "$work/source" "$work/copy" "$work/archive"
done

awk -v b="$moved" -v c="$best_cat" -v k="$best_cleanup" -v m="$best_moves" 'BEGIN {
  printf "bytes moved:         %8.0f MiB\n", b / 1048576
  printf "cat:                 %8.0f MB/s\n", b / c * 1000
  printf "cleanup:             %8.0f MB/s   ratio %.2f\n", b / k * 1000, c / k
  printf "moves alone:         %8.0f MB/s   ratio %.2f\n", b / m * 1000, c / m
}'
