#!/usr/bin/env bash
# Builds the Debian package, checks its file list and dependencies, installs it with apt-get,
# starts the installed client headless up to its first window (the connection-settings dialog
# without settings, the login window with settings that lead to a database made by the installed
# quarvel-demodb) and removes the package again.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

deb="$(bash "$ROOT/scripts/build-package.sh" | tail -n 1)"
echo "package: $deb"
dpkg-deb --field "$deb"

fail() {
  echo "test-package: $*" >&2
  exit 1
}

# The file list.
files="$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|')"
echo "$files"
arch_dir="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/quarvel"
for f in /usr/bin/quarvel /usr/bin/quarvel-demodb \
  /usr/share/applications/quarvel.desktop /usr/share/doc/quarvel/copyright \
  /usr/share/icons/hicolor/scalable/apps/quarvel.svg \
  /usr/share/quarvel/sql/sqlite/schema.sql /usr/share/quarvel/sql/sqlserver/schema.sql \
  /usr/share/man/man1/quarvel.1.gz /usr/share/man/man1/quarvel-demodb.1.gz \
  "$arch_dir/libquarveltext.so"; do
  grep -qx "$f" <<<"$files" || fail "$f is missing from the package"
done
if grep -E '^/usr/(include|local)/|\.a$|^/home/|/build/' <<<"$files"; then
  fail "the package holds files it should not"
fi
depends="$(dpkg-deb --field "$deb" Depends)"
for p in libqt6widgets6 libqt6sql6-sqlite libqt6sql6-odbc libqt6svg6 qt6-translations-l10n fonts-wqy-microhei unixodbc libtesseract5 tesseract-ocr-chi-sim; do
  grep -q "$p" <<<"$depends" || fail "Depends lacks $p: $depends"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$ROOT/data/quarvel.desktop" || fail "the desktop entry is not valid"
fi

# Installed, the client starts and shows its first window.
home="$(mktemp -d)"
mkdir -m 700 "$home/run"
trap '$SUDO apt-get remove -y -qq quarvel >/dev/null 2>&1 || true; rm -rf "$home"' EXIT
(cd "$(dirname "$deb")" && $SUDO apt-get install -y -qq ./quarvel_*.deb >/dev/null)
run() {
  env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_RUNTIME_DIR="$home/run" \
    QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 timeout 60 "$@"
}
[ "$(command -v quarvel)" = /usr/bin/quarvel ] || fail "quarvel is not on the PATH"
run quarvel --version | grep -qx 'quarvel [0-9.]*' || fail "quarvel --version"
run quarvel --help | grep -q -- '--settings' || fail "quarvel --help does not name --settings"
run quarvel --help | grep -q 'CorvaneMIS2011.conf' || fail "quarvel --help does not name the settings file"
man -w quarvel >/dev/null 2>&1 || [ -f /usr/share/man/man1/quarvel.1.gz ] || fail "no manual page"

first="$(run quarvel --self-test)" || fail "the client without settings ended with $?"
echo "first window without settings: $first"
[ "$first" = frmConnectionSettings ] || fail "expected the connection-settings dialog, got '$first'"

# An embedded database from the installed schema script, loaded with the installed module.
db="$home/quarvel.db"
run quarvel-demodb "$db" >/dev/null || fail "quarvel-demodb"
if command -v sqlite3 >/dev/null; then
  echo 'select count(*) from 员工档案;' | sqlite3 -cmd ".load $arch_dir/libquarveltext" "$db" >/dev/null \
    || fail "the installed collation module does not load"
fi
mkdir -p "$home/config/CorvaneMIS2011"
printf '; written by the package test\n[DBConfig]\nSvr=sqlite:%s\nUID=\nPWD=\nDBname=\n' "$db" \
  >"$home/config/CorvaneMIS2011/CorvaneMIS2011.conf"
first="$(run quarvel --self-test)" || fail "the client with settings ended with $?"
echo "first window with settings: $first"
[ "$first" = frmLogin ] || fail "expected the login window, got '$first'"

$SUDO apt-get remove -y -qq quarvel >/dev/null
trap 'rm -rf "$home"' EXIT
[ ! -e /usr/bin/quarvel ] || fail "/usr/bin/quarvel is still there after removal"
echo "test-package: the package builds, installs, starts and is removed"
