#!/usr/bin/env bash
# Links the client, its libraries whole and the tools once with link-time optimisation, where
# GCC compares every type defined under one name in two translation units: two different
# definitions of one name in one namespace (a one-definition-rule violation) fail the link.
# Builds into build-odr/. With --plant, a second definition of a type the core already defines
# is added first, and the check must fail on it (the check's own test).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${QUARVEL_ODR_BUILD_DIR:-$ROOT/build-odr}"
PLANT=OFF
[ "${1:-}" = "--plant" ] && PLANT=ON

# Optimisation does not matter to the comparison; -O0 keeps the link short.
FLAGS="-O0 -flto=auto -fno-fat-lto-objects -Wodr -Werror=odr -Werror=lto-type-mismatch"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="-flto=auto" -DCMAKE_MODULE_LINKER_FLAGS="-flto=auto" \
  -DCMAKE_AR="$(command -v gcc-ar)" -DCMAKE_RANLIB="$(command -v gcc-ranlib)" \
  -DBUILD_TESTING=OFF -DQUARVEL_BUILD_BENCH=OFF \
  -DQUARVEL_ODR_CHECK=ON -DQUARVEL_ODR_PLANT="$PLANT" >/dev/null
if [ "$PLANT" = ON ]; then
  if cmake --build "$BUILD" --target quarvel_whole >"$BUILD/plant.log" 2>&1; then
    echo "check-odr: a planted second definition was NOT found" >&2
    exit 1
  fi
  grep -m1 "violates the C++ One Definition Rule" "$BUILD/plant.log"
  echo "check-odr: the planted second definition fails the link, as it must"
  exit 0
fi
cmake --build "$BUILD" --target quarvel_whole quarvel quarvel-demodb quarveltext
echo "check-odr: no type is defined twice under one name"
