#!/bin/sh
# Remakes docs/images/monitor.png: the monitor polling the built-in PLC
# simulator for a few seconds, with the tags of examples/plant.json, saved
# as a PNG with no display needed.
#   ORDELIN_SCREENSHOT_SECONDS  how long to poll first (default 12)
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j "$(nproc)" --target ordelin-monitor
mkdir -p docs/images
QT_QPA_PLATFORM=offscreen build/release/tools/ordelin-monitor --sim \
    --duration "${ORDELIN_SCREENSHOT_SECONDS:-12}" --screenshot docs/images/monitor.png \
    --load examples/plant.json --trend DM0 --trend TV_c2 --trend parts_made DM0:2 RLY00000:2 TV_c2 TV_p2
echo "written: docs/images/monitor.png"
