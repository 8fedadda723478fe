#!/usr/bin/env bash
# Runs every benchmark with one command: builds the benchmark programs and the demo tool, makes
# a large demo database with the tool, prints the engine-bound figures (client, engine floor,
# ratio, medians of several runs) and then runs the other benchmark programs.
#
#   bench/run-all.sh [--runs N] [--content-size SIZE[K|M|G]] [--content-runs N] [--folder DIR]
#
# Defaults: 5 runs, a 64 MiB document (a couple of minutes in all); --content-size 950M gives
# the large-document figures. Sizes of the database: QUARVEL_BENCH_DOCUMENTS (100000),
# QUARVEL_BENCH_TYPES (30000), QUARVEL_BENCH_DEPARTMENTS (10000). The build folder is
# QUARVEL_BUILD_DIR or build/ beside this folder. The folder needs about three times the
# document size free.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUARVEL_BUILD_DIR:-$here/build}"
runs=5
content_size=64M
content_runs=3
folder="${TMPDIR:-/tmp}"
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs="$2"; shift 2 ;;
        --content-size) content_size="$2"; shift 2 ;;
        --content-runs) content_runs="$2"; shift 2 ;;
        --folder) folder="$2"; shift 2 ;;
        *) echo "usage: $0 [--runs N] [--content-size SIZE] [--content-runs N] [--folder DIR]" >&2; exit 2 ;;
    esac
done

documents="${QUARVEL_BENCH_DOCUMENTS:-100000}"
types="${QUARVEL_BENCH_TYPES:-30000}"
departments="${QUARVEL_BENCH_DEPARTMENTS:-10000}"

[ -f "$build/build.ninja" ] || cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build" -j2 quarvel-demodb engine_bound browse_list permissions access_statistics reader_reports \
    content_transfer export_workbook >/dev/null

work="$(mktemp -d "$folder/quarvel-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

db="$work/bench.db"
echo "== demo database: $documents documents, $types types, $departments departments"
"$build/tools/demodb/quarvel-demodb" "$db" --documents "$documents" --types "$types" \
    --departments "$departments" --log-rows 0 >/dev/null

echo "== engine-bound figures"
"$build/bench/engine_bound" "$db" --runs "$runs" --content-size "$content_size" \
    --content-runs "$content_runs" --folder "$work"

echo
echo "== browse window"
"$build/bench/browse_list" "$documents" 2000000 "$work/browse.db"
echo
echo "== upload permissions"
"$build/bench/permissions" "$types" "$departments"
echo
echo "== access statistics"
"$build/bench/access_statistics" 1000000 "$work/statistics.db"
echo
echo "== readers, reading coverage and rights explained"
"$build/bench/reader_reports" 1000000 100000 "$work/readers.db" --runs "$runs"
echo
echo "== contents (store and write back, peak memory)"
"$build/bench/content_transfer" "$content_size" "$work"
echo
echo "== export to a workbook"
"$build/bench/export_workbook" 100000 "$work"
