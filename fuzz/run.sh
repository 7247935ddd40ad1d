#!/bin/sh
# Builds the property-list fuzzer with clang (not part of the default build)
# and runs it: fuzz/run.sh [SECONDS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/.." && pwd)
out=${FUZZ_OUT:-/tmp/kd-plist-fuzz}
mkdir -p "$out/corpus"
cp "$src/resources/bundle/Kaleidrome.xml" "$out/corpus/" 2>/dev/null || true
clang++-14 -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined \
    -I"$src/src" $(pkg-config --cflags Qt6Core) \
    "$here/plist_fuzz.cpp" \
    "$src/src/catalogue/plistvalue.cpp" "$src/src/catalogue/plistreader.cpp" \
    "$src/src/catalogue/plistxmlreader.cpp" "$src/src/catalogue/plistbinaryreader.cpp" \
    "$src/src/catalogue/plistwriter.cpp" "$src/src/catalogue/gamelist.cpp" \
    "$src/src/platform/atomicfile.cpp" \
    $(pkg-config --libs Qt6Core) -o "$out/plist_fuzz"
cd "$out"
./plist_fuzz -max_total_time="${1:-60}" -max_len=65536 corpus 2>&1 | tail -n 5
