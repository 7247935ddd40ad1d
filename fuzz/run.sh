#!/bin/sh
# Builds one fuzz target with clang and libFuzzer (not part of the default
# build) and runs it on one core for a bounded time, then prints executions,
# coverage, corpus and findings:
#
#   fuzz/run.sh TARGET [SECONDS]      TARGET: plist, bplist, log,
#                                     instancemessage, commandline, history or
#                                     playdata or gamelistcache (default 60 s)
#
# FUZZ_OUT chooses the work folder (default /tmp/kd-TARGET-fuzz); the corpus it
# grows there is kept between runs. The seeds are read from fuzz/ and never
# written.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/.." && pwd)
usage="usage: fuzz/run.sh plist|bplist|log|instancemessage|commandline|history|playdata|gamelistcache [SECONDS]"
target=${1:?$usage}
seconds=${2:-60}

plist_sources="catalogue/plistvalue.cpp catalogue/plistreader.cpp catalogue/plistxmlreader.cpp
catalogue/plistxmltokenizer.cpp catalogue/plistbinaryreader.cpp catalogue/plistwriter.cpp"
case "$target" in
plist)
    check=checkGameList
    seeds="$here/corpus"
    max_len=65536
    sources="$plist_sources catalogue/artwork.cpp catalogue/gamelist.cpp catalogue/gamelistcontroller.cpp
catalogue/gamelistmodel.cpp catalogue/gamesearch.cpp catalogue/romfolder.cpp
catalogue/shownrowsproxy.cpp platform/atomicfile.cpp settings/pathops.cpp"
    mocced="catalogue/gamelistcontroller.h catalogue/gamelistmodel.h catalogue/romfolder.h
catalogue/shownrowsproxy.h"
    ;;
bplist)
    check=checkBinaryPlist
    seeds="$here/corpus"
    max_len=65536
    sources="$plist_sources"
    mocced=""
    ;;
log)
    check=checkLogStream
    seeds="$here/corpus-log"
    max_len=4096
    sources="log/logtext.cpp log/view/logview.cpp log/view/logviewselection.cpp"
    mocced="log/view/logview.h"
    ;;
instancemessage)
    check=checkInstanceMessage
    seeds="$here/corpus-instancemessage"
    max_len=9000
    sources="platform/instancemessage.cpp platform/instancechannel.cpp"
    mocced="platform/instancechannel.h"
    ;;
history)
    check=checkHistoryFile
    seeds="$here/corpus-history"
    max_len=65536
    sources="catalogue/playhistory.cpp catalogue/playhistoryfile.cpp catalogue/playhistorycopy.cpp
catalogue/playdata.cpp"
    mocced="catalogue/playhistory.h"
    ;;
playdata)
    check=checkPlayData
    seeds="$here/corpus-playdata"
    max_len=65536
    sources="catalogue/playhistory.cpp catalogue/playhistoryfile.cpp catalogue/playhistorycopy.cpp
catalogue/playdata.cpp"
    mocced="catalogue/playhistory.h"
    ;;
gamelistcache)
    check=checkGameListCache
    seeds="$here/corpus-gamelistcache"
    max_len=65536
    sources="$plist_sources catalogue/gamelistcache.cpp"
    mocced=""
    ;;
commandline)
    check=checkCommandLine
    seeds="$here/corpus-commandline"
    max_len=512
    sources="app/launchercommandline.cpp settings/pathops.cpp"
    mocced=""
    ;;
*)
    echo "$usage" >&2
    exit 2
    ;;
esac

out=${FUZZ_OUT:-/tmp/kd-$target-fuzz}
binary="$out/${target}_fuzz"
mkdir -p "$out/corpus" "$out/findings" "$out/moc"

# Rebuild only when a source is newer than the binary.
stale=1
if [ -x "$binary" ]; then
    stale=0
    for f in "$here/${target}_fuzz.cpp" "$here/driver.cpp" "$here/check.h" \
        $(for s in $sources $mocced; do echo "$src/src/$s"; done) \
        $(find "$src/src/catalogue" "$src/src/settings" "$src/src/platform" "$src/src/log" "$src/src/app" \
            -name '*.h'); do
        [ "$f" -nt "$binary" ] && stale=1 && break
    done
fi
if [ "$stale" = 1 ]; then
    echo "building $binary"
    moc=/usr/lib/qt6/libexec/moc
    objects=""
    for h in $mocced; do
        m="$out/moc/moc_$(basename "$h" .h).cpp"
        "$moc" -I"$src/src" "$src/src/$h" -o "$m"
        objects="$objects $m"
    done
    # shellcheck disable=SC2046
    clang++-14 -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined \
        -fno-sanitize-recover=undefined -DKD_FUZZ_CHECK="$check" -I"$src/src" -I"$here" \
        $(pkg-config --cflags Qt6Widgets Qt6Sql Qt6Network) \
        "$here/driver.cpp" "$here/${target}_fuzz.cpp" \
        $(for s in $sources; do echo "$src/src/$s"; done) $objects \
        $(pkg-config --libs Qt6Widgets Qt6Sql Qt6Network libxxhash) -o "$binary"
fi

cd "$out"
log="$out/last-run.log"
status=0
# New inputs go to the first folder; the seeds and the committed findings are only read.
found="$here/findings/$target"
[ -d "$found" ] || found=""
# shellcheck disable=SC2086
# System libraries' own leaks (fontconfig's, for the log view) are the suite's suppressions.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    LSAN_OPTIONS="suppressions=$src/tests/lsan.supp:print_suppressions=0" \
    "$binary" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$out/findings/" \
    corpus "$seeds" $found >"$log" 2>&1 || status=$?

last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
echo "target:      $target, $seconds s"
echo "log:         $log (exit status $status)"
echo "executions:  $(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
echo "execs/s:     $(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
echo "coverage:    $(echo "$last" | grep -oE 'cov: [0-9]+ ft: [0-9]+')"
echo "peak RSS:    $(sed -n 's/^stat::peak_rss_mb: *//p' "$log") MB"
echo "corpus:      $(echo "$last" | grep -oE 'corp: [0-9]+/[0-9]+[a-zA-Z]*' | cut -c7-) in use;" \
    "$(find corpus -type f | wc -l) files kept (+ $(find "$seeds" -type f | wc -l) seeds)"
findings=$(find "$out/findings" -type f | sort)
if [ -n "$findings" ]; then
    echo "findings:"
    echo "$findings" | sed 's/^/  /'
    grep -E '^(==[0-9]+==ERROR|SUMMARY|broken:|.*runtime error)' "$log" | head -n 5 | sed 's/^/  /'
    echo "  replay one: $binary FILE; keep it in fuzz/findings/$target/ with a test"
else
    echo "findings:    none"
fi
