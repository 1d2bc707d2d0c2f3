#!/bin/sh
# Times vesk-archive add + commit of a real system tree (default /usr/share), whole
# processes, as two runs and as one (add --commit), against tar of the same tree followed by
# a sync of the tar file, in the same run, best of RUNS runs each taken in turn, with a warm
# cache. Two pairs store the same files: tar -cf (links stored as links) against
# add --no-follow (links passed over), and tar -chf against add (links followed, their
# targets stored as files). Prints seconds, the bytes each stored and the ratios
# tar / vesk-archive (at least 1 is the aim).
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

# Times one pair: tar with the flags $1, then add with the flags $2 and commit, as two runs
# and as one (add --commit); prints a line.
pair() {
  tar_ns=0
  tool_ns=0
  once_ns=0
  run=0
  while [ "$run" -lt "$runs" ]; do
    run=$((run + 1))
    fresh
    start=$(now)
    tar "$1" "$work/out.tar" "$tree" 2> /dev/null || [ $? -eq 1 ]  # 1: a file changed as read
    sync "$work/out.tar"
    tar_ns=$(least "$tar_ns" $(($(now) - start)))
    tar_bytes=$(stat -c %s "$work/out.tar")
    fresh
    start=$(now)
    # Entries add cannot take (sockets, devices) are reported and passed over.
    # shellcheck disable=SC2086
    "$tool" add $2 "$work/a.vesk" "$tree" > /dev/null 2> "$work/add.log" || [ $? -eq 1 ]
    "$tool" commit "$work/a.vesk" > /dev/null
    tool_ns=$(least "$tool_ns" $(($(now) - start)))
    fresh
    start=$(now)
    # shellcheck disable=SC2086
    "$tool" add $2 --commit "$work/a.vesk" "$tree" > /dev/null 2> "$work/add.log" || [ $? -eq 1 ]
    once_ns=$(least "$once_ns" $(($(now) - start)))
  done
  echo "$tree: tar $1 + sync $(seconds "$tar_ns") s ($tar_bytes bytes)," \
    "vesk-archive add $2 + commit $(seconds "$tool_ns") s," \
    "add $2 --commit $(seconds "$once_ns") s ($(stat -c %s "$work/a.vesk") bytes);" \
    "tar/vesk $(ratio "$tar_ns" "$tool_ns"), $(ratio "$tar_ns" "$once_ns") in one run"
}

tar -cf - "$tree" 2> /dev/null | cat > /dev/null  # warm the cache
pair -cf --no-follow
pair -chf ""
