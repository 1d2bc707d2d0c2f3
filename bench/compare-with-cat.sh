#!/bin/sh
# Times a commit of ~1 GiB of files (VeskCommitFiles: the files added as pending files and
# committed into a new archive through vesk::Archive, and with --plain through the library's
# DirectoryNode::commit) against cat concatenating the same files, with a warm cache, best of
# RUNS runs each taken in turn, and prints MB/s and the ratios: of the commit itself, and of
# the whole program, which also stats the files and builds the tree of pending files.
# Archive::commit syncs what it stored before it answers, so it is also set against cat
# followed by a sync of cat's output.
# The files are BIG files of 4 MiB and SMALL files of 16 KiB.
#
# usage: [RUNS=n] bench/compare-with-cat.sh [PATH/TO/VeskCommitFiles] [BIG] [SMALL]
set -eu

commit=${1:-build/release/bench/VeskCommitFiles}
big=${2:-224}
small=${3:-8192}
runs=${RUNS:-5}
[ -x "$commit" ] || { echo "no $commit: build the release preset first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vesk-cat-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/in"
i=0
while [ "$i" -lt "$big" ]; do
  head -c 4194304 /dev/urandom > "$work/in/$(printf 'b%05d' "$i")"
  i=$((i + 1))
done
head -c "$((small * 16384))" /dev/urandom > "$work/small"
split -a 5 -d -b 16384 "$work/small" "$work/in/s"
rm "$work/small"
cat "$work"/in/* > /dev/null  # warm the cache
sync

. "$(dirname "$0")/timing.sh"

# Each run starts with the previous output gone and no dirty pages left to write back, so
# that neither side pays for the other's writes.
fresh() {
  rm -f "$work/out" "$work/out.toc"
  sync
}


cat_ns=0
cat_sync_ns=0
program_ns=0
commit_ns=0
plain_ns=0
run=0
while [ "$run" -lt "$runs" ]; do
  run=$((run + 1))
  fresh
  start=$(now)
  cat "$work"/in/* > "$work/out"
  cat_ns=$(least "$cat_ns" $(($(now) - start)))
  sync "$work/out"
  cat_sync_ns=$(least "$cat_sync_ns" $(($(now) - start)))
  fresh
  start=$(now)
  inner=$("$commit" "$work/out" "$work"/in/*)
  program_ns=$(least "$program_ns" $(($(now) - start)))
  commit_ns=$(least "$commit_ns" "$inner")
  fresh
  plain_ns=$(least "$plain_ns" "$("$commit" --plain "$work/out" "$work"/in/*)")
done

bytes=$((big * 4194304 + small * 16384))
expected=$((bytes + 8 * (big + small)))
actual=$(stat -c %s "$work/out")
[ "$actual" -eq "$expected" ] || { echo "archive has $actual bytes, expected $expected" >&2; exit 1; }

awk -v b="$bytes" -v c="$cat_ns" -v s="$cat_sync_ns" -v a="$commit_ns" -v p="$program_ns" \
    -v l="$plain_ns" 'BEGIN {
  printf "cat:                   %8.0f MB/s\n", b / c * 1000
  printf "DirectoryNode::commit: %8.0f MB/s   ratio %.2f to cat\n", b / l * 1000, c / l
  printf "cat + sync:            %8.0f MB/s\n", b / s * 1000
  printf "Archive::commit:       %8.0f MB/s   ratio %.2f to cat + sync\n", b / a * 1000, s / a
  printf "whole program:         %8.0f MB/s   ratio %.2f to cat + sync\n", b / p * 1000, s / p
}'
