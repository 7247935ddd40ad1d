#!/bin/sh
# Builds the game-list fuzzer with clang (not part of the default build) and
# runs it on one core for a bounded time, then prints executions, coverage and
# findings:   fuzz/run.sh [SECONDS]          (default 60)
# FUZZ_OUT chooses the work folder (default /tmp/kd-plist-fuzz); the corpus it
# grows there is kept between runs, fuzz/corpus/ holds the seeds.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/.." && pwd)
out=${FUZZ_OUT:-/tmp/kd-plist-fuzz}
seconds=${1:-60}
mkdir -p "$out/corpus" "$out/findings" "$out/moc"

sources="catalogue/plistvalue.cpp catalogue/plistreader.cpp catalogue/plistxmlreader.cpp
catalogue/plistbinaryreader.cpp catalogue/plistwriter.cpp catalogue/gamelist.cpp
catalogue/gamelistcontroller.cpp catalogue/gamelistmodel.cpp platform/atomicfile.cpp
settings/pathops.cpp"
mocced="catalogue/gamelistcontroller.h catalogue/gamelistmodel.h"

# Rebuild only when a source is newer than the binary.
stale=1
if [ -x "$out/plist_fuzz" ]; then
    stale=0
    for f in "$here/plist_fuzz.cpp" $(for s in $sources $mocced; do echo "$src/src/$s"; done) \
        $(find "$src/src/catalogue" "$src/src/settings" "$src/src/platform" -name '*.h'); do
        [ "$f" -nt "$out/plist_fuzz" ] && stale=1 && break
    done
fi
if [ "$stale" = 1 ]; then
    echo "building $out/plist_fuzz"
    moc=/usr/lib/qt6/libexec/moc
    objects=""
    for h in $mocced; do
        m="$out/moc/moc_$(basename "$h" .h).cpp"
        "$moc" -I"$src/src" "$src/src/$h" -o "$m"
        objects="$objects $m"
    done
    # shellcheck disable=SC2046
    clang++-14 -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined \
        -fno-sanitize-recover=undefined -I"$src/src" -I"$src/src/catalogue" \
        $(pkg-config --cflags Qt6Widgets) \
        "$here/plist_fuzz.cpp" $(for s in $sources; do echo "$src/src/$s"; done) $objects \
        $(pkg-config --libs Qt6Widgets) -o "$out/plist_fuzz"
fi

cd "$out"
log="$out/last-run.log"
status=0
# New inputs go to the first folder; the seeds are only read.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ./plist_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$out/findings/" \
    corpus "$here/corpus" >"$log" 2>&1 || status=$?

last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
echo "log:         $log (exit status $status)"
echo "executions:  $(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
echo "execs/s:     $(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
echo "coverage:    $(echo "$last" | grep -oE 'cov: [0-9]+ ft: [0-9]+')"
echo "peak RSS:    $(sed -n 's/^stat::peak_rss_mb: *//p' "$log") MB"
echo "corpus:      $(echo "$last" | grep -oE 'corp: [0-9]+/[0-9]+[a-zA-Z]*' | cut -c7-) in use;" \
    "$(find corpus -type f | wc -l) files kept (+ $(find "$here/corpus" -type f | wc -l) seeds)"
findings=$(find "$out/findings" -type f | sort)
if [ -n "$findings" ]; then
    echo "findings:"
    echo "$findings" | sed 's/^/  /'
    grep -E '^(==[0-9]+==ERROR|SUMMARY|broken:|.*runtime error)' "$log" | head -n 5 | sed 's/^/  /'
else
    echo "findings:    none"
fi
