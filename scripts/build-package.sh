#!/usr/bin/env bash
# Builds the Debian package in a build folder (default build/), then checks it as an
# administrator would: lintian finds no error and no warning, the files a desk needs are in
# it where they belong, the aliases file is a configuration file, and the dependencies on
# shared libraries were computed. Prints the package's path last.
#
# Usage: scripts/build-package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2
(cd "$build" && cpack -G DEB >/dev/null)
version=$(sed -n 's/^project(VellumdexSystemDown VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$build/vellumdex-system-down_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "build-package: $deb was not made" >&2; exit 1; }

fail() { echo "build-package: $*" >&2; exit 1; }

# lintian as root says so first; the tags are the same either way.
echo "lintian $deb"
lintian_rc=0
report=$(lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>&1) || lintian_rc=$?
grep -v "root privileges" <<<"$report" || true
[ "$lintian_rc" -eq 0 ] || fail "lintian reports errors or warnings"

contents=$(dpkg-deb -c "$deb" | awk '{ sub(/^\.\//, "", $6); print $6 ($7 == "->" ? " -> " $8 : "") }')
for path in \
  "usr/bin/vxdown -> ../lib/vellumdex/vxdown" \
  usr/lib/vellumdex/vxdown usr/lib/vellumdex/vxdown.mld \
  usr/lib/vellumdex/help/NOR/sys_down/ usr/lib/vellumdex/help/ENG/VX2/ \
  usr/lib/vellumdex/vximport usr/lib/vellumdex/vxdb usr/lib/vellumdex/vxsql \
  usr/lib/vellumdex/mldc usr/lib/vellumdex/vxver \
  usr/share/vellumdex/postgres/schema.sql usr/share/vellumdex/sqlite/demo.sql \
  etc/vellumdex/aliases.ini etc/vellumdex/desk-list.conf \
  lib/systemd/system/vellumdex-desk-list@.service lib/systemd/system/vellumdex-desk-list@.timer \
  usr/share/vellumdex/demo/mixed-workfile.csv \
  usr/share/man/man1/vxdown.1.gz usr/share/man/man1/vximport.1.gz usr/share/man/man1/vxdb.1.gz \
  usr/share/man/man1/vxsql.1.gz usr/share/man/man1/mldc.1.gz usr/share/man/man1/vxver.1.gz \
  usr/share/applications/org.example.vellumdex.SystemDown.desktop \
  usr/share/metainfo/org.example.vellumdex.SystemDown.metainfo.xml \
  usr/share/icons/hicolor/48x48/apps/org.example.vellumdex.SystemDown.png \
  usr/share/icons/hicolor/scalable/apps/org.example.vellumdex.SystemDown.svg \
  usr/share/doc/vellumdex-system-down/copyright; do
  grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/vellumdex/aliases.ini ||
  fail "/etc/vellumdex/aliases.ini is not a configuration file"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6core6 libpq5 libsqlite3-0 libicu libdw1 libc6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
echo "Depends: $depends"

# Unpacked anywhere, the program finds its dictionary and help beside its executable, also
# when started through the link in usr/bin (run from / so that no file in the working folder
# stands in for them).
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
files=$(cd / && "$unpacked/usr/bin/vxdown" --help | sed -n '/^Files:/,$p')
echo "$files"
grep -qxF "  dictionary  $unpacked/usr/lib/vellumdex/vxdown.mld" <<<"$files" ||
  fail "the unpacked vxdown does not find its dictionary"
grep -qxF "  help pages  $unpacked/usr/lib/vellumdex/help" <<<"$files" ||
  fail "the unpacked vxdown does not find its help pages"
echo "$deb"
