#!/bin/sh
# Times appending ~1 GiB of files to an archive stream (VeskAppendFiles: length prefix plus
# copyFile for each file, as commit does) against cat concatenating the same files, with a
# warm cache, best of two runs each taken in turn, and prints MB/s and the ratio. On a busy
# machine set RUNS higher: the best of more runs is steadier.
#
# usage: [RUNS=n] bench/compare-with-cat.sh [PATH/TO/VeskAppendFiles] [FILES] [MIB_PER_FILE]
set -eu

append=${1:-build/release/bench/VeskAppendFiles}
count=${2:-256}
mib=${3:-4}
runs=${RUNS:-2}
[ -x "$append" ] || { echo "no $append: build the release preset first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vesk-cat-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/in"
i=0
while [ "$i" -lt "$count" ]; do
  head -c "$((mib * 1048576))" /dev/urandom > "$work/in/$(printf 'f%04d' "$i")"
  i=$((i + 1))
done
cat "$work"/in/* > /dev/null  # warm the cache
sync

now() { date +%s%N; }

# Nanoseconds that "$@" takes, starting with the previous output gone and no dirty pages
# left to write back, so that neither side pays for the other's writes.
timed() {
  rm -f "$work/out"
  sync
  start=$(now)
  "$@"
  echo $(($(now) - start))
}

run_cat() { cat "$work"/in/* > "$work/out"; }
run_append() { "$append" "$work/out" "$work"/in/*; }

# The runs of both, taken in turn; the best of each counts.
cat_ns=0
append_ns=0
run=0
while [ "$run" -lt "$runs" ]; do
  run=$((run + 1))
  took=$(timed run_cat)
  if [ "$cat_ns" -eq 0 ] || [ "$took" -lt "$cat_ns" ]; then cat_ns=$took; fi
  took=$(timed run_append)
  if [ "$append_ns" -eq 0 ] || [ "$took" -lt "$append_ns" ]; then append_ns=$took; fi
done

bytes=$((count * mib * 1048576))
expected=$((bytes + 8 * count))
actual=$(stat -c %s "$work/out")
[ "$actual" -eq "$expected" ] || { echo "archive has $actual bytes, expected $expected" >&2; exit 1; }

awk -v b="$bytes" -v c="$cat_ns" -v a="$append_ns" 'BEGIN {
  printf "cat:           %8.0f MB/s\n", b / c * 1000
  printf "archive stream: %7.0f MB/s\n", b / a * 1000
  printf "ratio:         %8.2f\n", c / a
}'
