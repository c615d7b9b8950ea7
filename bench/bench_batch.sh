#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Batch mode against its floor: checkphp --save on a script printing LINES lines of
# "<tr><td>N</td></tr>" (default 1,000,000, 24.9 MB), against php writing the same into a pipe
# drained by cat (php's own cost of writing into a pipe). The two take turns, ROUNDS rounds
# (default 5); medians of wall time and peak memory (GNU time, package "time") are printed with
# their ratio and the bytes of peak memory per output byte.
#   bench/bench_batch.sh [BUILD_DIR] [LINES] [ROUNDS]
set -euo pipefail
build=${1:-build}
lines=${2:-1000000}
rounds=${3:-5}
checkphp=$build/app/checkphp
[ -x /usr/bin/time ] || { echo "bench_batch: needs /usr/bin/time (apt-get install time)" >&2; exit 1; }
[ -x "$checkphp" ] || { echo "bench_batch: build $checkphp first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '<?php for ($i = 0; $i < %d; $i++) echo "<tr><td>$i</td></tr>\\n";\n' "$lines" > "$work/m.php"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for ((r = 0; r < rounds; r++)); do
  /usr/bin/time -f "%e %M" -a -o "$work/a" "$checkphp" --php php --save "$work/out.html" "$work/m.php"
  /usr/bin/time -f "%e %M" -a -o "$work/b" sh -c "php '$work/m.php' | cat > /dev/null"
done
bytes=$(stat -c %s "$work/out.html")
a_wall=$(cut -d' ' -f1 "$work/a" | median); a_kb=$(cut -d' ' -f2 "$work/a" | median)
b_wall=$(cut -d' ' -f1 "$work/b" | median); b_kb=$(cut -d' ' -f2 "$work/b" | median)
echo "batch mode, $lines lines ($bytes bytes), median of $rounds rounds taking turns"
echo "  checkphp --save      wall $a_wall s  peak $((a_kb / 1024)) MB"
echo "  php | cat >/dev/null wall $b_wall s  peak $((b_kb / 1024)) MB"
awk -v a="$a_wall" -v b="$b_wall" -v kb="$a_kb" -v n="$bytes" \
  'BEGIN { printf "  ratio %.2fx the floor; %.2f bytes of peak memory per output byte\n", a / b, kb * 1024 / n }'
