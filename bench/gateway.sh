#!/bin/bash
# The MQTT gateway from the PLC's memory to a subscriber, with a mosquitto
# broker started here on a free loopback port and ordelin-sim on a
# pseudo-terminal of its own (the gateway, the simulator, the broker and the
# subscriber are four processes).
#
# (a) Latency, on a paced 115200 baud 8N1 line (ordelin-sim --pace) with 10
# and with 200 one-word tags, --interval 0 so the poll cycle is the line's
# own. The tags are timers TV_c0.. given a preset of 9999: like DM0 each
# counts the simulator's scan ticks from its start, so every tag changes at
# every tick, at t0 + n * 97 ms on the simulator's clock when it turns to n.
# 97 ms is a length no poll cycle divides, so the ticks fall at every phase
# of the cycle. t0 is not printed, so it is placed at the earliest instant
# the data allows: no read can see n before tick n began, so
# t0 <= ts - n * 97 ms for every message, ts being the gateway's read time in
# it (whole milliseconds). The latency of a message is its arrival at
# mosquitto_sub (nanosecond stamp) minus t0 + n * 97 ms. Taking the bound as
# t0 makes the figures low by the shortest wait from a tick to the read that
# saw it over the run, at most one exchange (1.6 ms at 115200 baud) once the
# run has seen every phase; the stamp in whole milliseconds can make them up
# to 1 ms high. Each tag's first message (the value found at start) is left
# out.
#
# (b) Throughput at QoS 1: the simulator unpaced, 200 tags on timers
# TV_c0..TV_c199 that all count every 2 ms scan tick (each given a preset of
# 9999), so nearly every read finds a new value and every cycle publishes
# nearly every tag. Prints the tag messages a subscriber received per
# second, what the gateway published (its last seq), and the gateway's and
# the broker's processor time per message.
#
# (c) The journal while the broker is away: the set-up of (b) with the
# gateway pointed at a port nobody listens on, so every message goes to the
# journal only. Prints the messages kept, the gateway's processor time per
# message and the file's size per million messages.
#
# (d) Replay: a journal of REPLAY messages (ORDELIN_BENCH_REPLAY, 1000000),
# made as in (c) with --journal-max REPLAY, replayed at QoS 1 by a gateway
# that meanwhile polls 10 changing tags on a paced 115200 baud line. Prints
# the replay's rate and the live messages' latency during it, from the read
# time in each message to its arrival at the subscriber, and the gateway's
# largest resident memory (VmRSS) meanwhile.
#
# (e) Memory: the resident size (VmRSS) of a gateway with 1,000 tags after
# SECONDS of polling an unpaced simulator.
#
#   bench/gateway.sh BUILD_DIR [SECONDS] [SUFFIX]
set -euo pipefail
build=$1
seconds=${2:-10}
suffix=${3:-}  # -qt6 for the Qt 6 build's programs
tools=$build/tools

work=$(mktemp -d)
# The processes running now, by the variable holding each one's id; stop
# empties the variable, so an interrupted run ends only what still runs.
broker= sim= gw= sub=
cleanup() {
    for pid in $gw $sub $sim $broker; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# A broker on a port nobody listens on: it exits at once when it cannot bind.
for _ in $(seq 10); do
    port=$((20000 + $(od -An -N2 -tu2 /dev/urandom) % 20000))
    { echo "listener $port 127.0.0.1"; echo "allow_anonymous true"
      # A subscriber that falls behind gets every message late rather
      # than some never (the default queue holds 1000 per client).
      echo "max_queued_messages 0"
      [ "$(id -u)" -eq 0 ] && echo "user root"; } >"$work/broker.conf"
    mosquitto -c "$work/broker.conf" 2>"$work/broker.log" &
    broker=$!
    sleep 0.5
    kill -0 "$broker" 2>/dev/null && break
    broker=
done
[ -n "$broker" ] || { cat "$work/broker.log"; echo "no broker could start" >&2; exit 1; }

# start_sim OPTIONS...: the simulator on a new pseudo-terminal, its path in $pty.
start_sim() {
    "$tools/ordelin-sim$suffix" "$@" >"$work/sim.out" &
    sim=$!
    for _ in $(seq 100); do
        [ -s "$work/sim.out" ] && break
        sleep 0.05
    done
    pty=$(head -1 "$work/sim.out")
}
# stop SIGNAL VARIABLE: ends the process whose id the variable holds.
stop() {
    kill "-$1" "${!2}"
    wait "${!2}" || true
    printf -v "$2" ''
}

# project TAGS ADDRESS_FAMILY: a project file of TAGS uint16 tags t0.. on
# successive addresses of the family, for the line at $pty.
project() {
    rm -f "$work/project.journal"*
    {
        echo "{\"line\": {\"port\": \"$pty\", \"baud\": 115200, \"data_bits\": 8, \"parity\": \"none\", \"stop_bits\": 1},"
        echo " \"tags\": ["
        for i in $(seq 0 $(($1 - 1))); do
            [ "$i" = 0 ] || echo ","
            echo "  {\"name\": \"t$i\", \"address\": \"$2$i\", \"type\": \"uint16\"}"
        done
        echo "]}"
    } >"$work/project.json"
}

# gateway PREFIX OPTIONS...: runs the gateway for $seconds with the
# subscriber already listening, then stops it with SIGTERM.
gateway() {
    local prefix=$1
    shift
    TZ=UTC "$tools/ordelin-gateway$suffix" --config "$work/project.json" --broker "127.0.0.1:$port" \
        --prefix "$prefix" --interval 0 "$@" 2>"$work/gateway.err" &
    gw=$!
    sleep "$seconds"
    cpu_gateway=$(cpu "$gw")
    cpu_broker=$(cpu "$broker")
    stop TERM gw
}

# Processor time (user + system) of a process so far, in seconds.
cpu() { awk -v hz="$(getconf CLK_TCK)" '{ print ($14 + $15) / hz }' "/proc/$1/stat"; }

# figure PATTERN: the number after PATTERN in the simulator's report.
figure() { sed -n "s/.*$1\([0-9.]*\).*/\1/p" "$work/sim.out" | head -1; }

latency() {
    local tags=$1 tick_ms=97
    presets "$tags"
    start_sim --pace --baud 115200 --scan-ms "$tick_ms" --init "$work/init"
    project "$tags" TV_c
    mosquitto_sub -p "$port" -q 1 --nodelay -R -t "bench/latency$tags/tags/+" -F '%U %t %p' >"$work/sub.out" &
    sub=$!
    sleep 0.3
    gateway "bench/latency$tags"
    stop INT sim
    stop TERM sub
    # The exchanges the line carried per second give the cycle: one
    # exchange per tag.
    local rate cycle share
    rate=$(figure 'seen ')
    share=$(figure '(')
    cycle=$(awk -v t="$tags" -v r="$rate" 'BEGIN { printf "%.1f", 1000 * t / r }')
    # Arrival, value and read time of each good message; then t0 as the
    # lowest ts - n * tick, and the latencies against it.
    sed -n 's/^\([0-9.]*\) \([^ ]*\) .*"quality":"good".*"ts":"[0-9-]*T\([0-9:.]*\)Z".*"value":\([0-9]*\).*/\1 \2 \3 \4/p' \
        "$work/sub.out" | awk -v tick="$tick_ms" '
        {
            split($3, hms, ":")
            # The read time in seconds of the arrival day (UTC); a run
            # never spans a midnight by more than its seconds.
            day = $1 - ($1 % 86400)
            ts = day + hms[1] * 3600 + hms[2] * 60 + hms[3]
            if (ts - $1 > 43200) ts -= 86400
            bound = ts - $4 * tick / 1000
            if (NR == 1 || bound < t0) t0 = bound
            # The first message of a tag is the value found at start.
            if (seen[$2]++) { n++; arrival[n] = $1; value[n] = $4 }
        }
        END { for (i = 1; i <= n; i++) print (arrival[i] - t0 - value[i] * tick / 1000) * 1000 }' \
        | sort -n | awk -v tags="$tags" -v cycle="$cycle" -v share="$share" '
        { lat[NR] = $1 }
        END {
            median = lat[int((NR + 1) / 2)]; p99 = lat[int(NR * 0.99 + 0.5)]
            printf "  %3d tags: poll cycle %6.1f ms (line at %s%% of the wire); latency over %d changes: median %6.1f ms (%.2f cycles), p99 %6.1f ms (%.2f cycles), max %6.1f ms\n",
                tags, cycle, share, NR, median, median / cycle, p99, p99 / cycle, lat[NR]
        }'
}

# presets TAGS: an initial values file that starts timers 0 to TAGS - 1.
presets() { for i in $(seq 0 $(($1 - 1))); do echo "TV_p $i=9999"; done >"$work/init"; }

throughput() {
    local tags=200
    presets "$tags"
    start_sim --init "$work/init" --scan-ms 2
    project "$tags" TV_c
    mosquitto_sub -p "$port" -q 1 --nodelay -R -t 'bench/rate/tags/+' -F '%U %p' >"$work/sub.out" &
    sub=$!
    sleep 0.3
    local broker_before
    broker_before=$(cpu "$broker")
    gateway bench/rate --qos 1
    stop INT sim
    # What the broker still holds for the subscriber.
    sleep 1
    stop TERM sub
    local published reads
    published=$(sed -n 's/.*"seq":\([0-9]*\).*/\1/p' "$work/sub.out" | sort -n | tail -1)
    reads=$(sed -n 's/.* \([0-9]*\) reads.*/\1/p' "$work/sim.out")
    awk -v pub="$published" -v reads="$reads" -v cg="$cpu_gateway" -v cb="$cpu_broker" -v cb0="$broker_before" \
        -v tags="$tags" '
        NR == 1 { first = $1 } { last = $1 }
        END {
            span = last - first
            printf "  %d tags changing every 2 ms, unpaced line: %d tag messages received in %.1f s, %.0f/s; the gateway published %d and read %d values\n",
                tags, NR, span, NR / span, pub, reads
            printf "  processor time per tag message: gateway %.1f us (%.2f s in all), broker %.1f us\n",
                1e6 * cg / pub, cg, 1e6 * (cb - cb0) / pub
        }' "$work/sub.out"
}

# The journal's figures in the gateway's last line: replayed, kept, lost.
kept() { sed -n 's/.*journal: [0-9]* messages replayed, \([0-9]*\) kept.*/\1/p' "$work/gateway.err"; }
# The resident memory of a process now, in MB.
rss() { awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
# A port nobody listens on: the broker seems away.
away=$(( port == 65535 ? port - 1 : port + 1 ))

journal_write() {
    presets 200
    start_sim --init "$work/init" --scan-ms 2
    project 200 TV_c
    TZ=UTC "$tools/ordelin-gateway$suffix" --config "$work/project.json" --broker "127.0.0.1:$away" \
        --prefix bench/journal --interval 0 --journal-max 100000000 2>"$work/gateway.err" &
    gw=$!
    sleep "$seconds"
    cpu_gateway=$(cpu "$gw")
    stop TERM gw
    stop INT sim
    local messages bytes
    messages=$(kept)
    bytes=$(stat -c %s "$work/project.journal")
    awk -v m="$messages" -v b="$bytes" -v c="$cpu_gateway" -v s="$seconds" 'BEGIN {
        printf "  200 tags changing every 2 ms, broker away: %d messages journaled in %d s, %.0f/s\n", m, s, m / s
        printf "  processor time per message: gateway %.1f us (%.2f s in all); journal %.1f MB, %.0f bytes a message, %.0f MB per million\n",
            1e6 * c / m, c, b / 1e6, b / m, b / m
    }'
}

replay() {
    local wanted=${ORDELIN_BENCH_REPLAY:-1000000} runs=0 start=$SECONDS
    rm -f "$work/replay.journal"*
    # Timers stop at their preset, 9999 ticks (20 s) after the simulator
    # started: runs of 15 s, each with a simulator of its own, append to the
    # same journal (each gateway goes on from the last one's seq) until it
    # is full.
    while [ "${kept_now:-0}" -lt "$wanted" ] && [ "$runs" -lt 20 ]; do
        presets 200
        start_sim --init "$work/init" --scan-ms 2
        project 200 TV_c
        "$tools/ordelin-gateway$suffix" --config "$work/project.json" --broker "127.0.0.1:$away" --prefix bench/backlog \
            --interval 0 --journal "$work/replay.journal" --journal-max "$wanted" 2>"$work/gateway.err" &
        gw=$!
        sleep 15
        stop TERM gw
        stop INT sim
        kept_now=$(kept)
        runs=$((runs + 1))
    done
    echo "  journal of $kept_now messages made by $runs gateway runs in $((SECONDS - start)) s, $(stat -c %s "$work/replay.journal" | awk '{ printf "%.0f MB", $1 / 1e6 }')"
    presets 10
    start_sim --pace --baud 115200 --scan-ms 97 --init "$work/init"
    project 10 TV_c
    mosquitto_sub -p "$port" -q 1 --nodelay -R -t 'bench/#' -F '%U %p' >"$work/sub.out" &
    sub=$!
    sleep 0.3
    TZ=UTC "$tools/ordelin-gateway$suffix" --config "$work/project.json" --broker "127.0.0.1:$port" --prefix bench/live \
        --interval 0 --journal "$work/replay.journal" --journal-max "$wanted" 2>"$work/gateway.err" &
    gw=$!
    local most=0 now
    for _ in $(seq 1200); do
        grep -q "replay done" "$work/gateway.err" && break
        now=$(rss "$gw")
        most=$(awk -v a="$most" -v b="$now" 'BEGIN { print (b > a ? b : a) }')
        sleep 0.5
    done
    sleep 1
    stop TERM gw
    stop INT sim
    sleep 1
    stop TERM sub
    grep "replay done" "$work/gateway.err" | sed 's/^ordelin-gateway: /  /'
    # Live messages during the replay: from their read time to their arrival.
    awk '/"replayed":true/ { if (!first) first = $1; last = $1; n++ }
        END { printf "  replay: %d messages received in %.1f s, %.0f/s\n", n, last - first, n / (last - first) }' "$work/sub.out"
    awk '/"replayed":true/ { if (!first) first = $1; last = $1 } { line[NR] = $0 }
        END {
            for (i = 1; i <= NR; i++) {
                split(line[i], f, " ")
                if (line[i] ~ /replayed/ || f[1] < first || f[1] > last || line[i] !~ /"quality":"good"/) continue
                match(line[i], /T[0-9:.]*Z/)
                split(substr(line[i], RSTART + 1, RLENGTH - 2), hms, ":")
                day = f[1] - (f[1] % 86400)
                ts = day + hms[1] * 3600 + hms[2] * 60 + hms[3]
                print (f[1] - ts) * 1000
            }
        }' "$work/sub.out" | sort -n | awk -v most="$most" '
        { lat[NR] = $1 }
        END {
            printf "  live messages during the replay: %d, from read to arrival median %.1f ms, p99 %.1f ms, max %.1f ms; gateway VmRSS at most %s MB\n",
                NR, lat[int((NR + 1) / 2)], lat[int(NR * 0.99 + 0.5)], lat[NR], most
        }'
}

memory() {
    start_sim
    project 1000 DM
    "$tools/ordelin-gateway$suffix" --config "$work/project.json" --broker "127.0.0.1:$port" --prefix bench/memory \
        --interval 0 2>"$work/gateway.err" &
    gw=$!
    sleep "$seconds"
    echo "  1,000 tags, $seconds s polling an unpaced simulator: gateway VmRSS $(rss "$gw") MB"
    stop TERM gw
    stop INT sim
}

load() { echo " load average $(cut -d' ' -f1-3 /proc/loadavg)"; }

echo "gateway latency, from a tag's change in the simulator's memory to mosquitto_sub; paced 115200 8N1, --interval 0, $seconds s a run"
load
latency 10
latency 200
load
echo
echo "gateway throughput at QoS 1 to a local broker, $seconds s"
load
throughput
load
echo
echo "the journal with the broker away, $seconds s"
journal_write
load
echo
echo "replay of a journal at QoS 1 to a local broker, beside live values"
replay
load
echo
echo "memory"
memory
load
