#!/bin/sh
# The main job: installs what is missing, builds, and runs the reference
# host against the built-in PLC simulator for a few seconds. The values
# move (DM 0 counts, relay 00000 blinks, timer 2 runs to its preset and
# switches on, counter 0 counts the blinks), a write to DM 100 and one to
# relay 00003 are acknowledged, and once-reads read them back.
#   ORDELIN_DEMO_SECONDS  how long to poll (default 6)
#   ORDELIN_QT_MAJOR      5 (default): build/release, Qt 5;
#                         6: build/release-qt6, the Qt 6 driver and ordelin-poll-qt6
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
qt=${ORDELIN_QT_MAJOR:-5}
suffix=$([ "$qt" = 5 ] || echo "-qt$qt")
build=build/release$suffix
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDELIN_QT_MAJOR="$qt"
cmake --build "$build" -j "$(nproc)" --target ordelin-poll ordelin-sim
echo
exec "$build/tools/ordelin-poll$suffix" --sim --duration "${ORDELIN_DEMO_SECONDS:-6}" \
    DM0:2 RLY00000:4 T2 TV_c2 TV_p2 C0 CV_c0 DM100 \
    --write DM100=1234 --write RLY00003=1 --once DM100 --once RLY00003
