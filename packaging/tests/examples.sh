#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# examples.sh BUILD_DIR SOURCE_DIR: installs the libraries (component "dev") into a temporary
# prefix, configures and builds both programs of examples/ against it from outside the tree,
# then runs them: the console example on a child that prints three lines, the viewer painting a
# PHP file without a display.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" --component dev >/dev/null
[ ! -e "$prefix/bin/checkphp" ] || { echo "FAIL: the dev component installed the application"; exit 1; }

# The same compiler (and compiler cache) as the tree, nothing else of its configuration.
cache_value() {
  sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"
}
args=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
      -DCMAKE_CXX_COMPILER="$(cache_value CMAKE_CXX_COMPILER)")
launcher=$(cache_value CMAKE_CXX_COMPILER_LAUNCHER)
[ -z "$launcher" ] || args+=(-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher")

for example in consolerun phpviewer; do
  # A copy outside the source tree: nothing of the project is reachable but the prefix.
  cp -r "$source/examples/$example" "$work/$example-src"
  if ! cmake -S "$work/$example-src" -B "$work/$example" "${args[@]}" >"$work/$example.log" 2>&1 ||
     ! cmake --build "$work/$example" >>"$work/$example.log" 2>&1; then
    cat "$work/$example.log"
    echo "FAIL: example $example does not build against the installed prefix"
    exit 1
  fi
  # Its headers came from the prefix, never from the project's sources.
  if grep -qF "$source/" "$work/$example/compile_commands.json"; then
    echo "FAIL: example $example compiled with the project's source folders"
    exit 1
  fi
done

# The console example: exactly the child's three lines, in order, and its exit status.
output=$("$work/consolerun/consolerun" printf 'one\ntwo\nthree\n')
expected=$'one\ntwo\nthree'
if [ "$output" != "$expected" ]; then
  echo "FAIL: consolerun printed:"
  printf '%s\n' "$output"
  exit 1
fi
status=0
"$work/consolerun/consolerun" sh -c 'echo last words; exit 3' >"$work/out.txt" 2>&1 || status=$?
[ "$status" -eq 3 ] || { echo "FAIL: consolerun exited with $status instead of the child's 3"; exit 1; }
grep -qx 'last words' "$work/out.txt" || { echo "FAIL: consolerun lost the output of a failing child"; exit 1; }

# The viewer paints a PHP file into an image.
printf '<?php\necho "hello";\n' >"$work/hello.php"
QT_QPA_PLATFORM=offscreen "$work/phpviewer/phpviewer" "$work/hello.php" --paint "$work/hello.png"
[ -s "$work/hello.png" ] || { echo "FAIL: phpviewer painted nothing"; exit 1; }
echo "examples: both build against the installed packages and run"
