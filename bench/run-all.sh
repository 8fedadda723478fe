#!/usr/bin/env bash
# Runs every benchmark program the README lists with one command: builds them and the demo tool,
# makes a large demo database with the tool, prints the engine-bound figures and then runs the
# other programs. Every figure is the median of interleaved client/floor pairs (at least 7),
# printed with its range (min-max) and the median of the per-pair ratios.
#
#   bench/run-all.sh [--quick] [--runs N] [--content-size SIZE[K|M|G]] [--content-runs N] [--folder DIR]
#
# The full run (the default): 9 pairs a figure, a 64 MiB document, the sizes below; the figures
# of the README come from it. --content-size 950M gives the large-document figures.
#
# --quick: a run sized for a check of the programs and the command itself (under two minutes
# on the build machine): a tenth of the database, 7 pairs, a 16 MiB document, and the
# concurrency run with 400 operations of 4 clients (left out of the full run: it takes six to
# seven minutes; run it by hand). Its figures are not the ones the goals are judged on.
#
# The search inside documents: 100,000 documents and 1 GiB of text in the full run (10,000 and 64
# MiB with --quick), in a database kept in the folder (QUARVEL_BENCH_FULLTEXT_DB names it): the
# first run builds it (about 11 minutes and 4 GB for the full one), the next ones reuse it.
#
# Sizes of the database of the full run: QUARVEL_BENCH_DOCUMENTS (100000), QUARVEL_BENCH_TYPES
# (30000), QUARVEL_BENCH_DEPARTMENTS (10000). The build folder is QUARVEL_BUILD_DIR or build/
# beside this folder. The folder needs about three times the document size free.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUARVEL_BUILD_DIR:-$here/build}"
quick=0
runs=
content_size=
content_runs=
folder="${TMPDIR:-/tmp}"
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) quick=1; shift ;;
        --runs) runs="$2"; shift 2 ;;
        --content-size) content_size="$2"; shift 2 ;;
        --content-runs) content_runs="$2"; shift 2 ;;
        --folder) folder="$2"; shift 2 ;;
        *) echo "usage: $0 [--quick] [--runs N] [--content-size SIZE] [--content-runs N] [--folder DIR]" >&2; exit 2 ;;
    esac
done

if [ "$quick" = 1 ]; then
    documents=10000 types=3000 departments=1000 rights=200000 log_rows=100000 export_rows=20000
    runs="${runs:-7}" content_size="${content_size:-16M}" content_runs="${content_runs:-7}"
    text_documents=10000 text_mib=64
else
    documents="${QUARVEL_BENCH_DOCUMENTS:-100000}"
    types="${QUARVEL_BENCH_TYPES:-30000}"
    departments="${QUARVEL_BENCH_DEPARTMENTS:-10000}"
    rights=2000000 log_rows=1000000 export_rows=100000
    runs="${runs:-9}" content_size="${content_size:-64M}" content_runs="${content_runs:-7}"
    text_documents=100000 text_mib=1024
fi

programs="quarvel-demodb engine_bound tree_loading browse_list upload_list permissions access_statistics
    reader_reports content_transfer export_workbook fulltext_search"
[ -f "$build/build.ninja" ] || cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
concurrency=0
if [ "$quick" = 1 ] && ninja -C "$build" -t targets all 2>/dev/null | grep -q '^bench/concurrency:'; then
    concurrency=1
    programs="$programs concurrency concurrency_worker"
fi
# shellcheck disable=SC2086
ninja -C "$build" -j2 $programs >/dev/null

work="$(mktemp -d "$folder/quarvel-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# A program that fails is reported and the others still run; the command then exits 1.
failed=
run() {
    local title="$1"
    shift
    echo
    echo "== $title"
    local rc=0
    "$@" || rc=$?
    if [ "$rc" != 0 ]; then
        echo "!! $(basename "$1") failed (exit $rc)"
        failed="$failed $(basename "$1")"
    fi
}

db="$work/bench.db"
echo "== demo database: $documents documents, $types types, $departments departments"
"$build/tools/demodb/quarvel-demodb" "$db" --documents "$documents" --types "$types" \
    --departments "$departments" --log-rows 0 >/dev/null

run "engine-bound figures" "$build/bench/engine_bound" "$db" --runs "$runs" --content-size "$content_size" \
    --content-runs "$content_runs" --folder "$work"
run "type tree, step by step" "$build/bench/tree_loading" --database "$db" --runs "$runs"
run "browse window" "$build/bench/browse_list" "$documents" "$rights" "$work/browse.db"
run "upload window" "$build/bench/upload_list" "$documents"
run "upload permissions" "$build/bench/permissions" "$types" "$departments" --runs "$runs"
run "access statistics" "$build/bench/access_statistics" "$log_rows" "$work/statistics.db" --runs "$runs"
run "readers, reading coverage and rights explained" "$build/bench/reader_reports" "$log_rows" "$documents" \
    "$work/readers.db" --runs "$runs"
run "contents (store and write back, peak memory)" "$build/bench/content_transfer" "$content_size" "$work"
run "export to a workbook" "$build/bench/export_workbook" "$export_rows" "$work" --runs "$runs"
# The database of the search inside documents (1 GiB of text and its index in the full run: about
# 15 minutes to build) is kept beside the work folder, so that the next run reuses it.
run "search inside documents and the back-fill" "$build/bench/fulltext_search" "$text_documents" "$text_mib" \
    "${QUARVEL_BENCH_FULLTEXT_DB:-$folder/quarvel-fulltext-$text_documents.db}" --pairs "$runs"
if [ "$concurrency" = 1 ]; then
    run "concurrency (400 operations, 4 clients; the full figures by hand, see README)" \
        "$build/bench/concurrency" 400 4 --journal delete --folder "$work"
fi
if [ -n "$failed" ]; then
    echo "failed:$failed"
    exit 1
fi
