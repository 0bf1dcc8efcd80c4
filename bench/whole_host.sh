#!/bin/bash
# The whole host: ordelin-poll (the reference host, loading libOrdelin.so)
# polling ordelin-sim with one-word DM reads, 11 bytes out and 7 back, in
# two set-ups:
#   (a) two processes on a socat pseudo-terminal pair, beside link_pingpong,
#       plain C writing and reading the same bytes over the same pair in the
#       same run: the link's own ceiling; and beside link_pingpong --poll,
#       the same with the host's ppoll() wait before each read, which shows
#       what a bounded, stoppable wait costs by itself. With two processors or more, the
#       PLC side (socat, the simulator, the ping-pong's PLC) keeps to the
#       first and the host (ordelin-poll, the ping-pong's host) to the
#       second, as on a real line, where the PLC is another machine: the
#       host's processor waits idle for the reply instead of running the
#       other side, and the scheduler no longer decides, run by run, whether
#       the two sides share a processor (which moved the ping-pong's own CPU
#       per exchange between 3 and 6 us on this two-processor machine);
#   (b) ordelin-poll --sim, the simulator on a pseudo-terminal in-process,
#       beside link_pingpong on a pseudo-terminal of its own.
# Each host runs twice, for one exchange and for N + 1; the difference
# between the two runs is N steady-state exchanges, without loading, port
# opening, the link start-up and the final report. (A short run is taken
# off rather than a half-length one: on a busy machine a run of N can take
# longer than one of 2N, and their difference means nothing.) A
# pseudo-terminal's speed swings with the machine's load, so (a) alternates
# ceiling and host over ROUNDS rounds and sets each host figure against the
# ceiling just measured.
#
#   bench/whole_host.sh BUILD_DIR EXCHANGES [ROUNDS [TOOL_SUFFIX]]
# TOOL_SUFFIX is -qt6 for a Qt 6 build (ordelin-poll-qt6, ordelin-sim-qt6).
set -euo pipefail
build=$1
exchanges=$2
rounds=${3:-3}
suffix=${4:-}
tools=$build/tools
# 100 DM words per read cycle: one line of values per 100 exchanges.
variables=DM0:100

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Prints "seconds cpu_seconds" of one run of the command: the host process
# with all its threads (with --sim, the in-process simulator's too).
timed() {
    local TIMEFORMAT='%R %U %S'
    { time "$@" >/dev/null 2>"$work/stderr"; } 2>"$work/time" || {
        cat "$work/stderr" >&2
        return 1
    }
    awk '{ printf "%s %.6f\n", $1, $2 + $3 }' "$work/time"
}

# Per exchange from the 1 and N + 1 runs: exchanges/s and host CPU microseconds.
steady() {
    local short long
    short=$(timed "$@" --count 1)
    long=$(timed "$@" --count $((exchanges + 1)))
    echo "$short $long" | awk -v n="$exchanges" '{
        wall = $3 - $1; cpu = $4 - $2;
        printf "per_second=%.0f host_cpu_us=%.2f\n", n / wall, cpu / n * 1e6 }'
}

# waitFor TEST PATH: until the file test holds (-e a link, -s a first line).
waitFor() {
    for _ in $(seq 100); do
        [ "$1" "$2" ] && return 0
        sleep 0.05
    done
    echo "whole_host: $2 did not appear" >&2
    return 1
}

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }

# Processor pinning for (a), as command prefixes (taskset executes the
# command, so $! is still its process); none with one processor.
if [ "$(nproc)" -ge 2 ]; then
    onPlc=(taskset -c 0)
    onHost=(taskset -c 1)
    pingpongPin=(--plc-cpu 0)
else
    onPlc=()
    onHost=()
    pingpongPin=()
fi

# Figures are only as quiet as the machine: each part starts and ends with its load.
load() { echo "    load average $(cut -d' ' -f1-3 /proc/loadavg)"; }

echo "(a) two processes on a socat pseudo-terminal pair, $exchanges exchanges a run"
echo "    (target: host >= 95% of the ceiling's rate, host CPU <= 1.6 x the ceiling's per exchange)"
[ "$(nproc)" -ge 2 ] && echo "    PLC side on processor 0, hosts on processor 1"
load
"${onPlc[@]}" socat pty,raw,echo=0,link="$work/host" pty,raw,echo=0,link="$work/plc" &
pids+=($!)
waitFor -e "$work/host"
waitFor -e "$work/plc"
ratios=()
waitRatios=()
for round in $(seq "$rounds"); do
    ceiling=$("${onHost[@]}" "$build/bench/link_pingpong" "${pingpongPin[@]}" "$work/host" "$work/plc" "$exchanges")
    polled=$("${onHost[@]}" "$build/bench/link_pingpong" "${pingpongPin[@]}" --poll "$work/host" "$work/plc" "$exchanges")
    # The simulator takes the PLC end only while the host runs, since the
    # ping-pong's PLC process needs it alone.
    "${onPlc[@]}" "$tools/ordelin-sim$suffix" --port "$work/plc" --baud 115200 >"$work/sim.out" &
    sim=$!
    pids+=("$sim")
    waitFor -s "$work/sim.out"
    host=$(steady "${onHost[@]}" "$tools/ordelin-poll$suffix" --port "$work/host" --baud 115200 --interval 0 \
        --format csv "$variables")
    kill "$sim"
    wait "$sim" || true
    rm -f "$work/sim.out"
    ratio=$(awk -v h="$(field host_cpu_us <<<"$host")" -v c="$(field host_cpu_us <<<"$ceiling")" \
        'BEGIN { print h / c }')
    ratios+=("$ratio")
    waitRatios+=("$(awk -v p="$(field host_cpu_us <<<"$polled")" -v c="$(field host_cpu_us <<<"$ceiling")" \
        'BEGIN { print p / c }')")
    printf '  round %d  ceiling: %6.0f/s, %5.2f us CPU   host: %6.0f/s, %5.2f us CPU   host/ceiling: rate %3.0f%%, CPU %4.2fx\n' \
        "$round" "$(field per_second <<<"$ceiling")" "$(field host_cpu_us <<<"$ceiling")" \
        "$(field per_second <<<"$host")" "$(field host_cpu_us <<<"$host")" \
        "$(awk -v h="$(field per_second <<<"$host")" -v c="$(field per_second <<<"$ceiling")" \
            'BEGIN { print 100 * h / c }')" "$ratio"
    printf '           ceiling with the ppoll() wait: %6.0f/s, %5.2f us CPU\n' \
        "$(field per_second <<<"$polled")" "$(field host_cpu_us <<<"$polled")"
done
# spread WHAT VALUES...: the median, lowest and highest of a round's ratios.
spread() {
    local what=$1
    shift
    printf '  %s over the rounds: median %s, lowest %s, highest %s\n' "$what" \
        "$(printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
            printf "%.2fx", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')" \
        "$(printf '%s\n' "$@" | sort -g | head -1 | awk '{ printf "%.2fx", $1 }')" \
        "$(printf '%s\n' "$@" | sort -g | tail -1 | awk '{ printf "%.2fx", $1 }')"
}
spread "CPU host/ceiling" "${ratios[@]}"
spread "CPU of the ppoll() wait alone/ceiling" "${waitRatios[@]}"

load
echo
echo "(b) ordelin-poll --sim, $exchanges exchanges a run (target: >= 30 x 640 = 19200/s)"
echo "    beside link_pingpong --pty, the same ping-pong over a plain pseudo-terminal"
for round in $(seq "$rounds"); do
    ceiling=$("$build/bench/link_pingpong" --pty "$exchanges")
    host=$(steady "$tools/ordelin-poll$suffix" --sim --interval 0 --format csv "$variables")
    printf '  round %d  ceiling: %6.0f/s, %5.2f us CPU   host and simulator: %6.0f/s, %5.2f us CPU\n' \
        "$round" "$(field per_second <<<"$ceiling")" "$(field host_cpu_us <<<"$ceiling")" \
        "$(field per_second <<<"$host")" "$(field host_cpu_us <<<"$host")"
done
load
