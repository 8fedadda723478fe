#!/usr/bin/env bash
# Builds the Debian package of the client into build/package/ (quarvel_<version>_<arch>.deb):
# the installed programs, the collation module, schema scripts, desktop entry, icon and manual
# pages, with the dependencies of the binaries computed by dpkg-shlibdeps. Prints its path.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${QUARVEL_BUILD_DIR:-$ROOT/build}"
bash "$ROOT/scripts/install-deps.sh" >&2
bash "$ROOT/scripts/build.sh" quarvel quarvel-demodb quarveltext quarvel_manuals >&2
OUT="$BUILD/package"
rm -rf "$OUT"
mkdir -p "$OUT"
(cd "$BUILD" && cpack --config CPackConfig.cmake -B "$OUT" >&2)
ls "$OUT"/quarvel_*.deb
