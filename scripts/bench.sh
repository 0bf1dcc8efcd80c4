#!/bin/sh
# Builds the benchmarks in Release and prints every performance figure:
#   1 one steady-state exchange, 2 the read-list rebuild, 3 the request
#   exports, 4 image reads alone and beside a full-speed poller,
#   5 the whole host (reference host against the simulator) and its CPU
#     per exchange against a plain C ping-pong's,
#   6 the host on a paced line at 9600 and 115200 baud,
#   7 the MQTT gateway: latency from a value changing in the simulator to a
#     subscriber, on a paced 115200 baud line with 10 and 200 tags, and the
#     tag messages per second it sustains to a local broker at QoS 1, with
#     its processor time per message,
#   8 the gateway's journal: its cost per message and size with the broker
#     away, the replay of ORDELIN_BENCH_REPLAY messages (default 1000000)
#     beside live values, and the gateway's memory with 1,000 tags.
# Medians over ORDELIN_BENCH_REPETITIONS runs (default 10); figure 5 runs
# ORDELIN_BENCH_EXCHANGES exchanges (default 20000) in each of
# ORDELIN_BENCH_ROUNDS rounds (default 3), figure 6 ORDELIN_BENCH_PACED_SECONDS
# (default 10) per baud rate in as many rounds, figures 7 and 8
# ORDELIN_BENCH_GATEWAY_SECONDS (default 10) per run.
# ORDELIN_QT_MAJOR=6 measures the Qt 6 variant, in build/bench-qt6.
# Figures are only as quiet as the machine: check `uptime` first.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
qt=${ORDELIN_QT_MAJOR:-5}
suffix=$([ "$qt" = 5 ] || echo "-qt$qt")
build=build/bench$suffix
repetitions=${ORDELIN_BENCH_REPETITIONS:-10}
exchanges=${ORDELIN_BENCH_EXCHANGES:-20000}
rounds=${ORDELIN_BENCH_ROUNDS:-3}
paced_seconds=${ORDELIN_BENCH_PACED_SECONDS:-10}
gateway_seconds=${ORDELIN_BENCH_GATEWAY_SECONDS:-10}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DORDELIN_QT_MAJOR="$qt" -DORDELIN_BUILD_BENCH=ON \
    -DORDELIN_BUILD_TESTS=OFF -DORDELIN_BUILD_TOOLS=ON >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

echo "Qt $qt; machine: $(nproc) x $(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -1);" \
    "load average $(cut -d' ' -f1-3 /proc/loadavg)"

# Google Benchmark prints the header, then one line per aggregate asked for.
run() {
    binary=$1
    shift
    "$build/bench/$binary" --benchmark_repetitions="$repetitions" \
        --benchmark_display_aggregates_only=true "$@" 2>/dev/null \
        | grep -E "^Benchmark|$aggregates"
}

echo
echo "== 1. one steady-state exchange (target: median <= 0.5 us)"
aggregates=_median run bench_exchange
echo
echo "== 2. ReCreatReadVarList, shuffled definitions (target: 32,110 in <= 20 ms, n log n growth)"
aggregates=_median run bench_read_list
echo
echo "== 3. request exports (target: microseconds per call)"
aggregates=_median run bench_requests
echo
echo "== 4. GetRegisterData (target: 10,000 DM words <= 20 us alone; beside the poller the"
echo "      reader waits no longer than about one reply's decoding). _max: slowest repetition"
aggregates='_median|_max' run bench_image
echo
echo "== 5. whole host: ordelin-poll against ordelin-sim"
if [ -x "$build/tools/ordelin-poll$suffix" ] && [ -x "$build/tools/ordelin-sim$suffix" ]; then
    ./bench/whole_host.sh "$build" "$exchanges" "$rounds" "$suffix"
    echo
    echo "== 6. the host on a paced line: ordelin-poll against ordelin-sim --pace"
    ./bench/paced_host.sh "$build" "$paced_seconds" "$rounds" "$suffix"
else
    echo "skipped: the tools were not built"
fi
echo
echo "== 7 and 8. the MQTT gateway and its journal: ordelin-gateway against ordelin-sim and a mosquitto broker on 127.0.0.1"
if [ -x "$build/tools/ordelin-gateway$suffix" ]; then
    ./bench/gateway.sh "$build" "$gateway_seconds" "$suffix"
else
    echo "skipped: the gateway was not built (libmosquitto-dev missing)"
fi
