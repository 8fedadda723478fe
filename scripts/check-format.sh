#!/usr/bin/env bash
# Fails when a C++ file under src, tests, bench or tools differs from what clang-format makes of
# it under the repository's .clang-format, and lists those files. Changes nothing.
# To format them: clang-format -i <file>...
set -euo pipefail

cd "$(dirname "$0")/.."
CLANG_FORMAT=${CLANG_FORMAT:-clang-format}
if ! command -v "$CLANG_FORMAT" >/dev/null 2>&1; then
  echo "check-format: $CLANG_FORMAT is not installed (scripts/install-deps.sh installs it)" >&2
  exit 2
fi

mapfile -t files < <(git ls-files -- src tests bench tools | grep -E '\.(c|cc|cpp|cxx|h|hh|hpp)$' || true)
# One run over every file; each place that would change is reported as a violation.
status=0
output=$("$CLANG_FORMAT" --style=file --dry-run --Werror "${files[@]}" 2>&1) || status=$?
mapfile -t differing < <(printf '%s\n' "$output" \
  | sed -n 's/^\(.*\):[0-9]*:[0-9]*: \(warning\|error\): code should be clang-formatted.*/\1/p' | sort -u)
if [ "$status" -ne 0 ] && [ ${#differing[@]} -eq 0 ]; then
  printf '%s\n' "$output" >&2
  echo "check-format: $CLANG_FORMAT failed" >&2
  exit 2
fi

if [ ${#differing[@]} -gt 0 ]; then
  echo "check-format: ${#differing[@]} of ${#files[@]} files differ from clang-format's output:" >&2
  printf '  %s\n' "${differing[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
