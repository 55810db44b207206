#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window with the stand-in radar attached.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target vorn-gui-demo vorn-gui
exec ./build/tools/vorn-gui-demo "$@"
