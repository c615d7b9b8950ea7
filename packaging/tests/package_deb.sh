#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# package_deb.sh BUILD_DIR: makes the Debian package with cpack from the built tree and checks it:
# its files (dpkg-deb --contents), its control fields (dpkg-deb --info), and lintian, which must
# report no error.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack -G DEB failed"
  exit 1
fi
debs=("$work"/checkphp_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { ls "$work"; echo "FAIL: expected one checkphp .deb"; exit 1; }
deb=${debs[0]}
arch=$(dpkg --print-architecture)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$(basename "$deb")" = "checkphp_${version}_${arch}.deb" ] || fail "package file named $(basename "$deb")"

# The files, at their standard paths.
dpkg-deb --contents "$deb" >"$work/listing"
awk '{ print $NF }' "$work/listing" | sed 's|^\./|/|' >"$work/contents"
expected=(/usr/bin/checkphp /usr/libexec/checkphp/consolecommand-launch /usr/share/applications/checkphp.desktop
          /usr/share/icons/hicolor/scalable/apps/checkphp.svg
          /usr/share/doc/checkphp/copyright /usr/share/doc/checkphp/changelog.gz
          /usr/share/man/man1/checkphp.1.gz)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/checkphp.png")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" "$work/contents" || fail "the package lacks $path"
done
# The application only: the libraries and headers are for building, not for this package.
if grep -E '\.a$|\.h$|/cmake/|/include/' "$work/contents"; then
  fail "the package holds development files"
fi
grep -q '^-rwxr-xr-x root/root .* \./usr/bin/checkphp$' "$work/listing" ||
  fail "/usr/bin/checkphp is not an executable owned by root"
grep -q '^-rwxr-xr-x root/root .* \./usr/libexec/checkphp/consolecommand-launch$' "$work/listing" ||
  fail "/usr/libexec/checkphp/consolecommand-launch is not an executable owned by root"

# The control fields.
dpkg-deb --info "$deb" >"$work/info"
field() {
  dpkg-deb --field "$deb" "$1"
}
[ "$(field Package)" = checkphp ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Section)" = devel ] || fail "Section: $(field Section)"
# Dependencies come from the libraries the program links (dpkg-shlibdeps): the C library and
# Qt's widgets and web engine, with versions.
depends=$(field Depends)
for needed in 'libc6 (>=' 'libqt6core6 (>=' 'libqt6widgets6 (>=' 'libqt6webenginewidgets6 (>='; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
[[ $(field Recommends) == *php-cli* ]] || fail "Recommends lacks php-cli: $(field Recommends)"
[[ $depends != *php* ]] || fail "php is a hard dependency: $depends"
grep -q '^ Description: .' "$work/info" || fail "no Description"
[ "$(field Description | wc -l)" -ge 2 ] || fail "no extended description"

# The dependencies name packages this system has: installing would work (simulated only).
if ! apt-get install --simulate "$deb" >"$work/apt.log" 2>&1; then
  cat "$work/apt.log"
  fail "apt-get cannot install the package (simulated)"
fi

# lintian: no errors (warnings are shown).
lintian_out=$(lintian --fail-on error "$deb" 2>&1) || fail "lintian reports errors"
[ -z "$lintian_out" ] || echo "$lintian_out"
if grep -q '^E: ' <<<"$lintian_out"; then
  fail "lintian reports errors"
fi

if [ "$failures" -ne 0 ]; then
  cat "$work/info"
  exit 1
fi
echo "package: $(basename "$deb") passes the checks"
