#!/usr/bin/env bash
# Sets up, builds the bundle and starts the launcher.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target kaleidrome-launcher
exec "build/Kaleidrome Launcher.app/Contents/MacOS/kaleidrome-launcher" "$@"
