#!/bin/sh
# The long fault soak: the driver against the PLC simulator on a
# pseudo-terminal, 20 % of replies lost, garbled, cut short or refused.
#   scripts/soak.sh [EXCHANGES]    (default 100000; about 5 minutes)
# The test suite runs the same soak with a few thousand exchanges.
# ORDELIN_QT_MAJOR=6 runs it against the Qt 6 driver, in build/release-qt6.
set -eu
cd "$(dirname "$0")/.."
exchanges=${1:-100000}
qt=${ORDELIN_QT_MAJOR:-5}
build=build/release$([ "$qt" = 5 ] || echo "-qt$qt")
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDELIN_QT_MAJOR="$qt" >"$build.soak-configure.log" 2>&1 \
    || { cat "$build.soak-configure.log"; exit 1; }
cmake --build "$build" -j "$(nproc)" --target reliability_fault_soak_test >"$build.soak-build.log" 2>&1 \
    || { cat "$build.soak-build.log"; exit 1; }
ORDELIN_SOAK_EXCHANGES=$exchanges "$build/tests/reliability/reliability_fault_soak_test"
