#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test offscreen (no display
# needed), then the whole suite again under address and undefined-behaviour sanitizers.
# VORN_QUICK=1 skips the sanitizer pass for a faster local round.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure --no-tests=error -j"$(nproc)"
if [ "${VORN_QUICK:-0}" != 1 ]; then
  bash scripts/test-sanitize.sh
fi
