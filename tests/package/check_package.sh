#!/bin/bash
# check_package.sh <build folder> <version> <architecture>
# Builds the Debian package with CPack into a temporary folder and checks it with dpkg-deb:
# the file name the update check reads (name-version-architecture.deb), the control fields,
# the dependencies on Debian's own packages, and the installed files.
set -euo pipefail
build=$1 version=$2 arch=$3
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  echo "FAIL: cpack -G DEB" >&2
  exit 1
fi
deb="$out/rvx-$version-$arch.deb"
if [ ! -f "$deb" ]; then
  echo "FAIL: no $deb; cpack made: $(ls "$out")" >&2
  exit 1
fi
# Exactly three parts split at "-": the update check reads the version from the middle one.
name="$(basename "$deb" .deb)"
IFS=- read -r -a parts <<<"$name"
[ "${#parts[@]}" -eq 3 ] || fail "file name $name does not split into name, version and architecture"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = rvx ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Description)" ] || fail "no Description"

# Depends: the Qt 5 libraries the programs link (found by dpkg-shlibdeps), the SVG plugin that
# draws the icons, and the programs the server starts.
depends="$(field Depends)"
echo "Depends: $depends"
for package in libqt5core5a libqt5gui5 libqt5widgets5 libqt5network5 libqt5svg5 libc6 libstdc++6 \
  7zip rsync putty bsdutils; do
  pattern="$(sed 's/[+.]/\\&/g' <<<"$package")"
  grep -Eq "(^|, )$pattern( |,|$)" <<<"$depends" || fail "Depends lacks $package"
done
# Only Debian package names: no file names or unresolved substitutions.
if grep -Eq '\$\{|/' <<<"$depends"; then fail "Depends holds something that is no package name"; fi

contents="$(dpkg-deb -c "$deb" | awk '{print $1, $6}')"
expect_file() { # mode-prefix path
  grep -Eq "^$1[^ ]* \./$2\$" <<<"$contents" || fail "missing or wrong mode: /$2"
}
expect_file '-rwxr-xr-x' usr/bin/rvx
expect_file '-rwxr-xr-x' usr/bin/wolcmd
expect_file '-rwxr-xr-x' usr/bin/agentsim
expect_file '-rw-r--r--' usr/share/applications/rvx.desktop
expect_file '-rw-r--r--' usr/share/icons/hicolor/scalable/apps/rvx.svg
for size in 48 128 256; do
  expect_file '-rw-r--r--' "usr/share/icons/hicolor/${size}x${size}/apps/rvx.png"
done
expect_file '-rw-r--r--' usr/share/doc/rvx/README.md
outside="$(awk '{print $2}' <<<"$contents" | grep -Ev '^\./$|^\./usr(/|$)' || true)"
[ -z "$outside" ] || fail "files outside /usr: $outside"

# The desktop entry starts the installed server from the menu.
mkdir "$out/root"
dpkg-deb -x "$deb" "$out/root"
entry="$out/root/usr/share/applications/rvx.desktop"
for line in 'Name=RVX' 'Exec=rvx' 'Icon=rvx' 'Type=Application' 'Categories=Network;System;Qt;'; do
  grep -qxF "$line" "$entry" || fail "desktop entry lacks $line"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate"
fi
file "$out/root/usr/bin/rvx" | grep -q 'ELF' || fail "/usr/bin/rvx is no program"
file "$out/root/usr/share/icons/hicolor/48x48/apps/rvx.png" | grep -q '48 x 48' || fail "48x48 icon size"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "rvx-$version-$arch.deb: $(stat -c %s "$deb") bytes, all checks passed"
