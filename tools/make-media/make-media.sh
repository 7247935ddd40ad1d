#!/usr/bin/env bash
# Regenerates the bundle's sounds and pictures into resources/. Run by hand;
# the output is committed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$here/../.."
build="${TMPDIR:-/tmp}/kd-make-media"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null
python3 "$here/make_sounds.py" "$root/resources/bundle/sounds"
QT_QPA_PLATFORM=offscreen "$build/make-images" "$root/resources"
