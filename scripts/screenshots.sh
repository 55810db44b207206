#!/usr/bin/env bash
# Takes a screenshot of every display mode of every operating mode from vorn-gui-demo under
# Xvfb, into docs/screenshots/. Builds what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target vorn-gui-demo >/dev/null
out=docs/screenshots
mkdir -p "$out"

shots=(
  "fmcw 1 fmcw-range-scope"
  "fmcw 3 fmcw-range-velocity-map"
  "fmcw 4 fmcw-velocity-waterfall"
  "fmcw 5 fmcw-range-waterfall"
  "cw 2 cw-velocity-scope"
  "cw 4 cw-velocity-waterfall"
  "fsk 2 fsk-velocity-scope"
  "fsk 4 fsk-velocity-waterfall"
  "fsk 5 fsk-range-track"
  # The mouse on a target of the map, with the values read out under it.
  "fmcw 3 fmcw-map-readout 0.534,0.885"
  # CFAR on: every detection marked on the map and listed beside it, with its settings open.
  "fmcw 3 fmcw-map-cfar - --cfar"
)
for shot in "${shots[@]}"; do
  read -r mode display name cursor extra <<<"$shot"
  [[ ${cursor:-} == - ]] && cursor=
  # Long enough for the waterfalls to fill a good part of their history.
  xvfb-run -a -s "-screen 0 1600x1000x24" \
    "$build/tools/vorn-gui-demo" --activate --operating-mode "$mode" --display-mode "$display" \
    --screenshot "$out/$name.png" --after 6000 ${cursor:+--cursor "$cursor"} ${extra:-} 2> >(grep -v -e connectSlotsByName -e XDG_RUNTIME >&2)
  echo "$out/$name.png"
done
