#!/usr/bin/env bash
# usage: package.sh SOURCE_DIR BUILD_DIR VERSION
# scripts/package builds the .deb and runs lintian (an unstripped binary is one of its warnings),
# desktop-file-validate and appstreamcli on it.
# Unpacked into a scratch root, the package must hold every file Debian and the desktop look
# for, declare what the program needs, and its program must log on to a SQLite data source.
set -euo pipefail
src=$1 build=$2 version=$3
fail() { echo "Package.deb: $*" >&2; exit 1; }

deb=$(TAVRIN_BUILD_DIR=$build "$src/scripts/package" | tail -n 1) || fail "scripts/package failed"
[[ $deb == "$build/tavrin_${version}_amd64.deb" ]] || fail "package file $deb"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in bin/tavrin share/applications/tavrin.desktop share/icons/hicolor/64x64/apps/tavrin.png \
  share/metainfo/de.brenkow.tavrin.metainfo.xml share/man/man1/tavrin.1.gz \
  share/doc/tavrin/copyright share/doc/tavrin/changelog.gz; do
  [[ -s $root/usr/$f ]] || fail "usr/$f missing"
done

field() { dpkg-deb -f "$deb" "$1"; }
depends=$(field Depends | sed 's/ ([^)]*)//g; s/, /\n/g')
for p in qt6-translations-l10n unixodbc libqt6core6 libqt6gui6 libqt6widgets6 libodbc2; do
  grep -qx "$p" <<<"$depends" || fail "Depends lacks $p: $(field Depends)"
done
[[ $(field Recommends) == "libsqliteodbc, odbc-postgresql, odbc-mariadb" ]] || fail "Recommends"
[[ $(field Section) == database && $(field Version) == "$version" ]] || fail "Section or Version"

# The unpacked program, started as a user starts it, logs on ("Connect ok.") and exports.
python3 "$src/tests/journey/journey.py" "$root/usr/bin/tavrin" "$src/res/IDD_MAIN.ui" export ||
  fail "the unpacked program"
