#!/usr/bin/env bash
# Builds and runs the soak test: 10 000 ticks in every display mode of every operating mode
# from the stand-in radar, modes and settings changed at random, memory checked for growth.
#   scripts/soak.sh          normal build (build-soak)
#   scripts/soak.sh --asan   address and undefined-behaviour sanitizers with leak detection
#                            (build-soak-asan)
# VORN_SOAK_TICKS (ticks per mode) and VORN_SOAK_SEED pass through; SOAK_BUILD_DIR overrides
# the build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitize=OFF
[ "${1:-}" = "--asan" ] && sanitize=ON
dir=${SOAK_BUILD_DIR:-build-soak$([ "$sanitize" = ON ] && echo -asan)}
bash scripts/install-deps.sh
# Also for the build: test discovery runs the test programs under the sanitizers. Qt's and
# fontconfig's libraries have no frame pointers, so the slow unwinder finds their frames.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:fast_unwind_on_malloc=0:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
# GCC's maybe-uninitialized analysis misfires on sanitizer-instrumented library code.
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_SANITIZE="$sanitize" -DVORN_SOAK=ON \
  -DVORN_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=-Wno-maybe-uninitialized >/dev/null
cmake --build "$dir" -j"$(nproc)" --target vorn_soak_test
QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" -L soak --output-on-failure -V
