#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test the client.
# Safe to run again: packages already present are left alone.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  dpkg-dev file desktop-file-utils
  qt6-base-dev qt6-pdf-dev libqt6svg6
  libqt6sql6-sqlite libqt6sql6-odbc libsqlite3-dev unixodbc-dev
  unixodbc tdsodbc libsqliteodbc
  libxlsxwriter-dev libminizip-dev
  libtesseract-dev tesseract-ocr-chi-sim tesseract-ocr-eng
  qt6-translations-l10n fonts-wqy-microhei
  python3-sqlglot python3-openpyxl python3-pil
  clang-format
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
