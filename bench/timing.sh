# Timing helpers for the benchmark scripts, which source this file.

# Nanoseconds since the epoch.
now() { date +%s%N; }
# The smaller of two times, where 0 stands for none yet.
least() { if [ "$1" -eq 0 ] || [ "$2" -lt "$1" ]; then echo "$2"; else echo "$1"; fi; }
# Nanoseconds as seconds with two decimals.
seconds() { echo "$1" | awk '{ printf "%.2f", $1 / 1e9 }'; }
# The first number divided by the second, with two decimals.
ratio() { echo "$1 $2" | awk '{ printf "%.2f", $1 / $2 }'; }
