#!/bin/sh
# Builds the 50,000-record game list, runs the reference and our benchmark,
# and prints the ratios against the targets.
#   bench/catalogue/run.sh [BUILD_DIR] [RECORDS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
build=${1:-$src/build-cat}
records=${2:-50000}
work=${TMPDIR:-/tmp}/kd-catalogue-bench
mkdir -p "$work"
file="$work/catalogue-$records.xml"

cmake --build "$build" -j2 --target catalogue_bench >/dev/null
[ -f "$file" ] || python3 "$here/make_catalogue.py" "$records" "$file"
bench="$build/bench/catalogue_bench"
[ -x "$bench" ] || bench=$(find "$build" -name catalogue_bench -type f -perm -u+x | head -n1)

{
    python3 "$here/python_reference.py" "$file" | sed 's/^/ref_/'
    "$bench" first "$file"
    "$bench" warm "$file"
    "$bench" check "$file"
    "$bench" write "$file"
} | tee "$work/figures.txt"

awk '
    { v[$1] = $2 }
    END {
        printf "\nfirst load / reference load      %.3f  (target <= 0.25)\n", v["first_load_s"] / v["ref_load_s"]
        printf "warm load  / reference load      %.3f  (target <= 0.10)\n", v["warm_load_s"] / v["ref_load_s"]
        printf "exit check / reference load+cmp  %.3f  (target <= 0.25)\n", v["exit_check_s"] / (v["ref_load_s"] + v["ref_compare_s"])
        printf "peak memory / reference peak     %.3f  (target <= 0.50)\n", v["peak_rss_mb"] / v["ref_peak_rss_mb"]
        printf "copy of the replaced list        %.2f ms  (target <= 5)\n", v["keep_copy_s"] * 1000
    }' "$work/figures.txt"
