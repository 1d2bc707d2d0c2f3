#!/bin/sh
# Times vesk-archive add + commit of a 1 GiB corpus (192 files of 4 MiB and 16,384 files of
# 16 KiB: 16,576 files), whole processes, against cat of the same files into one file, and
# against cat followed by a sync of its output (commit syncs what it stored before it
# answers). The corpus lies first in 65 folders (one of the big files, 64 of 256 small ones),
# then all in one folder. Warm cache, best of RUNS runs each, taken in turn; prints seconds
# and the ratios cat / vesk-archive (at least 0.9 is the aim).
#
# usage: [RUNS=n] bench/tool-vs-cat.sh [PATH/TO/vesk-archive]
set -eu

tool=${1:-build/release/tools/vesk-archive/vesk-archive}
runs=${RUNS:-3}
[ -x "$tool" ] || { echo "no $tool: build the release preset first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vesk-corpus-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# The corpus in 65 folders under $work/folders, and the same files in $work/flat.
mkdir -p "$work/folders/big" "$work/flat"
i=0
while [ "$i" -lt 192 ]; do
  head -c 4194304 /dev/urandom > "$work/folders/big/$(printf 'b%03d.bin' "$i")"
  i=$((i + 1))
done
head -c $((16384 * 16384)) /dev/urandom > "$work/small"
split -a 5 -d -b 16384 "$work/small" "$work/s"
rm "$work/small"
f=0
while [ "$f" -lt 64 ]; do
  mkdir "$work/folders/f$f"
  f=$((f + 1))
done
n=0
for file in "$work"/s*; do
  mv "$file" "$work/folders/f$((n / 256))/$(basename "$file").dat"
  n=$((n + 1))
done
cp -al "$work"/folders/*/* "$work/flat/"
cat "$work"/folders/*/* > /dev/null  # warm the cache

. "$(dirname "$0")/timing.sh"
fresh() {
  rm -f "$work/out" "$work/a.vesk" "$work/a.vesk.toc"
  sync
}

for layout in folders flat; do
  cat_ns=0
  cat_sync_ns=0
  tool_ns=0
  run=0
  while [ "$run" -lt "$runs" ]; do
    run=$((run + 1))
    fresh
    start=$(now)
    find "$work/$layout" -type f -print0 | sort -z | xargs -0 cat > "$work/out"
    cat_ns=$(least "$cat_ns" $(($(now) - start)))
    sync "$work/out"
    cat_sync_ns=$(least "$cat_sync_ns" $(($(now) - start)))
    fresh
    start=$(now)
    "$tool" add "$work/a.vesk" "$work/$layout" > /dev/null
    "$tool" commit "$work/a.vesk" > /dev/null
    tool_ns=$(least "$tool_ns" $(($(now) - start)))
  done
  echo "$layout: cat $(seconds "$cat_ns") s, cat+sync $(seconds "$cat_sync_ns") s," \
    "vesk-archive add+commit $(seconds "$tool_ns") s;" \
    "cat/vesk $(ratio "$cat_ns" "$tool_ns"), cat+sync/vesk $(ratio "$cat_sync_ns" "$tool_ns")"
done
