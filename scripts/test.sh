#!/bin/sh
# Builds everything and runs the whole test suite: installs what is
# missing, then
#   1. the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer
#      (build/asan; LeakSanitizer checks the unload test too),
#   2. the concurrency stress test under ThreadSanitizer (build/tsan, only
#      what that test needs),
#   3. each fuzz target for a short while (build/fuzz, clang),
#   4. a normal build and its tests (build/release), last, so the run ends
#      with its summary.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=$(nproc)

# The install check builds a separate, uninstrumented host against the
# installed library, which cannot load an ASan build; the normal run has it.
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDELIN_SANITIZE=address
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan -j "$jobs" --output-on-failure -E '^install[.]'

cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDELIN_SANITIZE=thread \
    -DORDELIN_BUILD_TOOLS=OFF
cmake --build build/tsan -j "$jobs" --target reliability_concurrent_hosts_test
ctest --test-dir build/tsan -R ConcurrentHosts --output-on-failure

./scripts/fuzz.sh all "${ORDELIN_FUZZ_SECONDS:-20}"

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j "$jobs"
ctest --test-dir build/release -j "$jobs" --output-on-failure
