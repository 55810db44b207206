#!/usr/bin/env bash
# Builds everything with address and undefined-behaviour sanitizers (build-asan) and runs the
# whole suite offscreen; any finding fails the run. Leaks of Qt's offscreen platform and of
# fontconfig are suppressed (scripts/lsan.supp).
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
bash scripts/install-deps.sh
# Also for the build: test discovery runs the test programs under the sanitizers. Qt's and
# fontconfig's libraries have no frame pointers, so the slow unwinder finds their frames.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:fast_unwind_on_malloc=0:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
# GCC's maybe-uninitialized analysis misfires on sanitizer-instrumented library code (<regex>),
# which -Werror would turn into a broken build.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_SANITIZE=ON \
  -DVORN_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=-Wno-maybe-uninitialized >/dev/null
cmake --build build-asan -j"$(nproc)"
built=$SECONDS
# The usb-kernel label runs under umockdev's preloaded library, which then loads before libasan,
# and ASan refuses to run unless it is first. It exercises the unchanged libusb, which is not
# instrumented anyway; the plain pass runs it.
QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure --no-tests=error \
  -LE usb-kernel -j"$(nproc)" --timeout 1800
# The device layer and the stand-in, without widgets, also under the thread sanitizer: the
# radar's worker, calling a read off and unplugging cross threads there.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_SANITIZE_THREAD=ON \
  -DVORN_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$(nproc)" --target vorn_device_tests vorn_sim_tests
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}" \
  build-tsan/tests/device/vorn_device_tests --gtest_brief=1
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}" \
  build-tsan/tests/sim/vorn_sim_tests --gtest_brief=1
echo "sanitizer suite: build $((built - start)) s, tests $((SECONDS - built)) s"
