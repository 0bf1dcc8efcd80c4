#!/bin/bash
# The host on a line as slow as a real one: ordelin-sim --pace on a
# pseudo-terminal of its own, polled by ordelin-poll (another process) with
# one-word DM reads, 11 bytes out and 7 back, --interval 0, at 9600 and
# 115200 baud 8N1. The simulator holds every command for its wire time and
# every reply for its own, so the rate it sees can only fall short of the
# wire's limit by what the host adds between a reply and its next frame.
# Prints, per baud rate and round: the wire-limited rate, the rate seen and
# its share of the limit, the host's turnaround (the reply's last byte to
# the next command's first byte, at the simulator) as median and 99th
# percentile, and the simulator's own lateness writing replies, which the
# pacing keeps out of the host's figures.
#
# Each baud rate runs twice a round: with the scheduler free to place the
# two processes, and with both on one processor. In the first, every
# exchange wakes an idle virtual processor two or three times, and on a
# virtual machine each such wake-up can cost tens of microseconds that
# neither program spends (a real line wakes the host once, by the port's
# interrupt); the second leaves one wake-up, the simulator's own timer.
#
#   bench/paced_host.sh BUILD_DIR [SECONDS] [ROUNDS] [SUFFIX]
set -euo pipefail
build=$1
seconds=${2:-10}
rounds=${3:-3}
suffix=${4:-}  # -qt6 for the Qt 6 build's programs
tools=$build/tools

work=$(mktemp -d)
sim=
cleanup() {
    if [ -n "$sim" ]; then
        kill "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# figure LINE_PATTERN VALUE_PATTERN: the number after VALUE_PATTERN on the
# simulator's report line that matches LINE_PATTERN.
figure() { grep "$1" "$work/sim.out" | sed -n "s/.*$2\([0-9.]*\).*/\1/p"; }

paced() {
    local baud=$1 placement=$2
    local pin=()
    [ "$placement" = "one cpu" ] && pin=(taskset -c "$(($(nproc) - 1))")
    "${pin[@]}" "$tools/ordelin-sim$suffix" --pace --baud "$baud" >"$work/sim.out" &
    sim=$!
    for _ in $(seq 100); do
        [ -s "$work/sim.out" ] && break
        sleep 0.05
    done
    "${pin[@]}" "$tools/ordelin-poll$suffix" --port "$(head -1 "$work/sim.out")" --baud "$baud" --interval 0 \
        --format csv --duration "$seconds" DM0:100 >/dev/null 2>"$work/poll.err"
    kill -INT "$sim"
    wait "$sim" || true
    sim=
    printf '  %-7s %6d 8N1  limit %6.1f/s  seen %6.1f/s  %5.1f%%   turnaround median %6.1f us, p99 %8.1f us   simulator late: median %6.1f us, p99 %8.1f us\n' \
        "$placement" "$baud" "$(figure paced 'allows ')" "$(figure paced 'seen ')" "$(figure paced '(')" \
        "$(figure 'host turnaround' 'median ')" "$(figure 'host turnaround' 'percentile ')" \
        "$(figure lateness 'median ')" "$(figure lateness 'percentile ')"
}

load() { echo " load average $(cut -d' ' -f1-3 /proc/loadavg)"; }

echo "paced line, $seconds s a run (targets: >= 99.5% of the limit at 9600, >= 98% at 115200)"
load
for round in $(seq "$rounds"); do
    echo " round $round"
    for placement in free "one cpu"; do
        paced 9600 "$placement"
        paced 115200 "$placement"
    done
done
load
