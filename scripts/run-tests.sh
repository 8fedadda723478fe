#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite headless.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${QUARVEL_BUILD_DIR:-$ROOT/build}"
bash "$ROOT/scripts/install-deps.sh"
bash "$ROOT/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD" --output-on-failure -j2 "$@"
