#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite through CTest.
# KD_SANITIZE=1 builds into build-asan with AddressSanitizer and UBSan.
# KD_CORE_ONLY=1 builds the core libraries and their tests alone, without Qt
# Widgets, into build-core (build-asan-core with KD_SANITIZE=1).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh

build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${KD_SANITIZE:-0}" = 1 ]; then
  build=build-asan
  flags=(-DCMAKE_BUILD_TYPE=Debug -DKD_SANITIZE=ON -DKD_BUILD_BENCH=OFF)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  # use_tls=0: the leak checker's tracer otherwise walks a dynamic
  # thread-local block whose bounds are garbage and crashes at exit ("Tracer
  # caught signal 11") after a test that passed. Not scanning thread-locals can
  # only report more leaks, never fewer.
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0:use_tls=0"
fi
core_only="${KD_CORE_ONLY:-0}"
if [ "$core_only" = 1 ]; then
  build="$build-core"
  flags+=(-DKD_WITH_WIDGETS=OFF -DKD_BUILD_BENCH=OFF)
fi
cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j2

# A private X server with a window manager for the few tests that need a real
# display; the core's tests need none.
display=""
if [ "$core_only" != 1 ] && command -v Xvfb >/dev/null; then
  for n in $(seq 91 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
  done
fi
cleanup() { [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" "${wm_pid:-}" 2>/dev/null || true; }
trap cleanup EXIT
if [ -n "$display" ]; then
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  DISPLAY="$display" openbox >/dev/null 2>&1 & wm_pid=$!
  export KD_TEST_X11_DISPLAY="$display"
fi

cd "$build"
ctest --output-on-failure -j2 --timeout 300
