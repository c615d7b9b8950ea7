#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Run on all against its bounds: checkphp --compare on four interpreters (the installed php with
# four precision settings) running a script of about WORK seconds of CPU, against
#   - the slowest of the four runs alone: --compare runs at most one interpreter per core, so it
#     must end within ceil(4 / cores) x the slowest single run x 1.15;
#   - a shell loop that runs the four one by one and then diffs each output against the first.
# The three take turns, ROUNDS rounds (default 5); medians of wall time are printed.
#   bench/bench_runall.sh [BUILD_DIR] [ROUNDS] [WORK]
set -euo pipefail
build=${1:-build}
rounds=${2:-5}
work=${3:-0.4}
checkphp=$build/app/checkphp
[ -x "$checkphp" ] || { echo "bench_runall: build $checkphp first" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cat > "$tmp/busy.php" <<PHP
<?php
\$end = microtime(true) + $work; \$x = 0.0; \$n = 0;
while (microtime(true) < \$end) { \$x += sqrt(++\$n) / 3; }
for (\$i = 1; \$i <= 2000; \$i++) echo \$i, ' ', 1 / \$i, "\n";
PHP
precisions=(5 10 14 17)
now() { date +%s%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
args=()
for p in "${precisions[@]}"; do args+=(--php "php -d precision=$p"); done
for ((r = 0; r < rounds; r++)); do
  slowest=0
  for p in "${precisions[@]}"; do
    t0=$(now); php -d precision=$p "$tmp/busy.php" > /dev/null; t=$(( $(now) - t0 ))
    (( t > slowest )) && slowest=$t
  done
  echo "$slowest" >> "$tmp/single"
  t0=$(now); "$checkphp" "${args[@]}" --compare "$tmp/busy.php" > "$tmp/table" || true
  echo $(( $(now) - t0 )) >> "$tmp/compare"
  t0=$(now)
  for p in "${precisions[@]}"; do php -d precision=$p "$tmp/busy.php" > "$tmp/out$p"; done
  for p in "${precisions[@]}"; do diff "$tmp/out5" "$tmp/out$p" > /dev/null || true; done
  echo $(( $(now) - t0 )) >> "$tmp/loop"
done
cores=$(nproc)
single=$(median < "$tmp/single"); compare=$(median < "$tmp/compare"); loop=$(median < "$tmp/loop")
echo "run on all: 4 interpreters, $cores cores, ${work} s of CPU each, median of $rounds rounds taking turns"
awk -v s="$single" -v c="$compare" -v l="$loop" -v n="$cores" 'BEGIN {
  waves = int((4 + n - 1) / n); bound = waves * s * 1.15
  printf "  slowest single run      %7.3f s\n", s / 1e9
  printf "  checkphp --compare      %7.3f s  (bound %d x slowest x 1.15 = %.3f s: %s)\n", c / 1e9, waves, bound / 1e9, c <= bound ? "within" : "OVER"
  printf "  one by one, then diff   %7.3f s  (--compare takes %.2fx its time)\n", l / 1e9, c / l
}'
head -n 5 "$tmp/table"
