#!/bin/sh
# Runs the libFuzzer targets under ASan+UBSan for a bounded time.
#   scripts/fuzz.sh TARGET SECONDS    TARGET: poll, address, producers, set_request
#                                     (the gateway's write requests) or all
# The committed seeds in fuzz/corpus/TARGET are read, never written; what the
# fuzzer finds goes to build/fuzz/corpus/TARGET and is kept between runs.
# A crash, hang or broken invariant stops the run with a non-zero exit and
# leaves the input under build/fuzz/artifacts/ (replay: build/fuzz/fuzz/fuzz_TARGET FILE).
# ORDELIN_QT_MAJOR=6 builds against Qt 6, in build/fuzz-qt6.
# ORDELIN_FUZZ_RUNS=N also stops each target after N executions (a recorded
# long run asks for a count, not a time, whatever the machine's speed).
set -eu
cd "$(dirname "$0")/.."
usage="usage: scripts/fuzz.sh poll|address|producers|set_request|all SECONDS"
target=${1:?$usage}
seconds=${2:?$usage}
case $target in
    all) targets="poll address producers set_request" ;;
    poll|address|producers|set_request) targets=$target ;;
    *) echo "$usage" >&2; exit 2 ;;
esac

qt=${ORDELIN_QT_MAJOR:-5}
build=build/fuzz$([ "$qt" = 5 ] || echo "-qt$qt")
mkdir -p build
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORDELIN_QT_MAJOR="$qt" -DORDELIN_BUILD_FUZZ=ON -DORDELIN_SANITIZE=address \
    -DORDELIN_BUILD_TESTS=OFF -DORDELIN_BUILD_TOOLS=OFF >"$build.configure.log" 2>&1 \
    || { cat "$build.configure.log"; exit 1; }
for t in $targets; do
    cmake --build "$build" -j "$(nproc)" --target "fuzz_$t" >"$build.build.log" 2>&1 \
        || { cat "$build.build.log"; exit 1; }
done

for t in $targets; do
    mkdir -p "$build/corpus/$t" "$build/artifacts"
    log="$build/fuzz_$t.log"
    # -timeout: an input running over 25 s counts as a hang. Inputs take well
    # under a second; the limit is wall-clock time, and the margin keeps a
    # busy machine from looking like a hang. -max_len: a kilobyte of input
    # already drives hundreds of calls.
    if "$build/fuzz/fuzz_$t" -max_total_time="$seconds" ${ORDELIN_FUZZ_RUNS:+-runs=$ORDELIN_FUZZ_RUNS} -timeout=25 -rss_limit_mb=2048 -max_len=1024 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" \
        "$build/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
        took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
        echo "fuzz $t (Qt $qt): $runs executions in ${took:-$seconds}s, $coverage, no crash"
    else
        tail -40 "$log"
        echo "fuzz $t: FAILED, input saved under $build/artifacts/ (log: $log)" >&2
        exit 1
    fi
done
