#!/bin/sh
# Times vesk-archive add + commit of a real system tree (default /usr/share), whole
# processes, against tar -cf of the same tree followed by a sync of the tar file, in the same
# run, best of RUNS runs each taken in turn, with a warm cache. Prints seconds, the files and
# bytes stored, and the ratio tar / vesk-archive (at least 1 is the aim).
#
# usage: [RUNS=n] bench/tool-vs-tar.sh [TREE] [PATH/TO/vesk-archive]
set -eu

tree=${1:-/usr/share}
tool=${2:-build/release/tools/vesk-archive/vesk-archive}
runs=${RUNS:-3}
[ -x "$tool" ] || { echo "no $tool: build the release preset first" >&2; exit 2; }
[ -d "$tree" ] || { echo "no folder $tree" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vesk-tar-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

. "$(dirname "$0")/timing.sh"
fresh() {
  rm -f "$work/out.tar" "$work/a.vesk" "$work/a.vesk.toc"
  sync
}

tar -cf - "$tree" 2> /dev/null | cat > /dev/null  # warm the cache
tar_ns=0
tool_ns=0
run=0
while [ "$run" -lt "$runs" ]; do
  run=$((run + 1))
  fresh
  start=$(now)
  tar -cf "$work/out.tar" "$tree" 2> /dev/null || [ $? -eq 1 ]  # 1: a file changed as read
  sync "$work/out.tar"
  tar_ns=$(least "$tar_ns" $(($(now) - start)))
  tar_bytes=$(stat -c %s "$work/out.tar")
  fresh
  start=$(now)
  # Entries add cannot take (sockets, devices) are reported and passed over.
  "$tool" add "$work/a.vesk" "$tree" > /dev/null 2> "$work/add.log" || [ $? -eq 1 ]
  "$tool" commit "$work/a.vesk" > /dev/null
  tool_ns=$(least "$tool_ns" $(($(now) - start)))
done
echo "$tree: tar -cf + sync $(seconds "$tar_ns") s ($tar_bytes bytes)," \
  "vesk-archive add + commit $(seconds "$tool_ns") s" \
  "($(stat -c %s "$work/a.vesk") bytes, $(grep -c . "$work/add.log") entries passed over);" \
  "tar/vesk $(ratio "$tar_ns" "$tool_ns")"
