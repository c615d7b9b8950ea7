#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install_tree.sh BUILD_DIR LIBDIR: installs the built tree into a temporary prefix and checks
# the layout: the program, the desktop entry (valid under desktop-file-validate, naming the
# installed icon), the hicolor icons at their sizes, the libraries with their headers and CMake
# package files.
set -euo pipefail
build=$1
libdir=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" >/dev/null

expect_file() {
  [ -f "$prefix/$1" ] || fail "missing $1"
}

# The program, runnable from the prefix.
[ -x "$prefix/bin/checkphp" ] || fail "bin/checkphp is missing or not executable"
version=$("$prefix/bin/checkphp" --version) || fail "installed checkphp --version failed"
[[ $version == checkphp\ * ]] || fail "checkphp --version printed '$version'"
# The launcher the runner starts programs through, where the installed program looks for it.
[ -x "$prefix/libexec/checkphp/consolecommand-launch" ] ||
  fail "libexec/checkphp/consolecommand-launch is missing or not executable"

# The desktop entry.
desktop=share/applications/checkphp.desktop
expect_file "$desktop"
if [ -f "$prefix/$desktop" ]; then
  desktop-file-validate "$prefix/$desktop" || fail "desktop-file-validate rejects $desktop"
  for line in "Type=Application" "Name=Check PHP file" "Exec=checkphp %F" "Icon=checkphp" \
              "Categories=Development;" "MimeType=application/x-php;" "Terminal=false"; do
    grep -qxF "$line" "$prefix/$desktop" || fail "$desktop lacks the line '$line'"
  done
  grep -q '^Comment=.' "$prefix/$desktop" || fail "$desktop has no Comment"
fi

# PNG width and height from the IHDR chunk (bytes 16..23, big-endian).
png_size() {
  od -An -j16 -N8 -tu1 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'
}
for size in 16 22 24 32 48 64 128 256; do
  icon=share/icons/hicolor/${size}x${size}/apps/checkphp.png
  expect_file "$icon"
  if [ -f "$prefix/$icon" ]; then
    [ "$(head -c8 "$prefix/$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$icon is not a PNG"
    [ "$(png_size "$prefix/$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$prefix/$icon")"
  fi
done
svg=share/icons/hicolor/scalable/apps/checkphp.svg
expect_file "$svg"
[ -f "$prefix/$svg" ] && { grep -q '<svg xmlns="http://www.w3.org/2000/svg"' "$prefix/$svg" || fail "$svg is no SVG"; }

# Documentation a package carries, and the manual page made from --help.
expect_file share/doc/checkphp/copyright
expect_file share/man/man1/checkphp.1.gz
if [ -f "$prefix/share/man/man1/checkphp.1.gz" ]; then
  manual=$(gzip -dc "$prefix/share/man/man1/checkphp.1.gz")
  grep -q '^\.TH CHECKPHP 1 ' <<<"$manual" || fail "checkphp.1.gz is no manual page"
  grep -qF 'Ctrl+Shift+S' <<<"$manual" || fail "the manual page lacks the shortcuts"
fi
gzip -t "$prefix/share/doc/checkphp/changelog.gz" || fail "changelog.gz is not gzip data"

# The libraries, their headers and their CMake packages.
for lib in liblexedit.a libconsolecommand.a liblexcommon.a; do
  expect_file "$libdir/$lib"
done
for header in lexedit/LexEdit.h lexedit/LexHighlighterPHP.h lexedit/LexEditTextBuffer.h \
              runner/ConsoleCommand.h runner/TerminationSignals.h common/Exception.h; do
  expect_file "include/$header"
done
# Every header a public header includes with quotes is installed too.
while read -r included; do
  expect_file "include/$included"
done < <(grep -rhoE '^#include "[^"]+"' "$prefix/include" | sed -E 's/#include "(.*)"/\1/' | sort -u)
for package in LexEdit ConsoleCommand LexCommon; do
  for file in Config ConfigVersion Targets; do
    expect_file "$libdir/cmake/$package/$package$file.cmake"
  done
done
# No private header of the sources and no test helper is installed.
if find "$prefix/include" -name '*_helpers.h' -o -name 'Posix.h' | grep -q .; then
  fail "private headers were installed"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; installed files:"
  (cd "$prefix" && find . -type f | sort)
  exit 1
fi
echo "install tree: all checks passed"
