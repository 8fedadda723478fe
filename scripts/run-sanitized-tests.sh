#!/usr/bin/env bash
# Builds everything a second time with AddressSanitizer and UndefinedBehaviorSanitizer (leaks
# reported too) into build-asan/ and runs the whole test suite there. Any report fails the run:
# the sanitizers stop the test at the first fault, and a leak at exit fails it.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${QUARVEL_ASAN_BUILD_DIR:-$ROOT/build-asan}"
bash "$ROOT/scripts/install-deps.sh"

FLAGS="-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all"
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=None \
    -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DQUARVEL_BUILD_BENCH=OFF
fi
cmake --build "$BUILD"

SUPP="$ROOT/tests/sanitizers"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0:strict_string_checks=0:check_initialization_order=1:detect_odr_violation=2"
export LSAN_OPTIONS="suppressions=$SUPP/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$SUPP/ubsan.supp"
ctest --test-dir "$BUILD" --output-on-failure -j2 "$@"
