#!/bin/sh
# Builds everything and runs the whole test suite against both Qt major
# versions, each under different checks so nothing runs twice: installs
# what is missing, then
#   1. Qt 5: the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer
#      (build/asan; LeakSanitizer checks the unload test too),
#   2. Qt 6: under ThreadSanitizer (build/tsan-qt6; Qt 6's QMutex tells the
#      sanitizer itself) the library's concurrency stress test, and the
#      tools' threads: a poll of a faulty line (the simulator on its own
#      thread beside the host) and the monitor's window test (its loop on a
#      worker thread),
#   3. Qt 6: each fuzz target for a short while under ASan + UBSan
#      (build/fuzz-qt6, clang),
#   4. Qt 5: a normal build of the library and the tools with their man
#      pages (build/release),
#   5. Qt 6: a normal build and the whole suite (build/release-qt6), last, so
#      the run ends with its summary; its install test installs 4 and 5 into
#      one prefix and checks both variants side by side.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=$(nproc)

# The install check builds a separate, uninstrumented host against the
# installed library, which cannot load an ASan build; step 5 has it, and
# the check of the unpacked Debian packages.
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDELIN_QT_MAJOR=5 \
    -DORDELIN_SANITIZE=address
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan -j "$jobs" --output-on-failure -E '^(install|packaging)[.]'

cmake -S . -B build/tsan-qt6 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDELIN_QT_MAJOR=6 \
    -DORDELIN_SANITIZE=thread
cmake --build build/tsan-qt6 -j "$jobs" --target reliability_concurrent_hosts_test e2e_poll_e2e_test \
    monitor_window_test
# The window tests whose reports fall inside Qt's own threads (the scan's
# QThread ending, QtGui's caches behind a project's tags) are left out:
# Debian's QtCore and QtGui synchronise them out of the sanitizer's sight.
ctest --test-dir build/tsan-qt6 -j "$jobs" --output-on-failure \
    -R 'ConcurrentHosts|Poll[.](FaultyRepliesAreRejected|AChatteringLine)|monitor[.]Window' \
    -E 'monitor[.]Window[.](ProjectTagsAndOnceReads|FindSettingsFillsInTheRateThePlcAnswers)'

ORDELIN_QT_MAJOR=6 ./scripts/fuzz.sh all "${ORDELIN_FUZZ_SECONDS:-20}"

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDELIN_QT_MAJOR=5
cmake --build build/release -j "$jobs" --target Ordelin ordelin-poll ordelin-sim ordelin_man_pages

cmake -S . -B build/release-qt6 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDELIN_QT_MAJOR=6 \
    -DORDELIN_OTHER_QT_BUILD="$PWD/build/release"
cmake --build build/release-qt6 -j "$jobs"
ctest --test-dir build/release-qt6 -j "$jobs" --output-on-failure
