#!/bin/sh
# The MQTT gateway at work: installs what is missing, builds ordelin-gateway,
# starts a mosquitto broker on a free loopback port with a config made here,
# runs the gateway on the built-in simulator with examples/plant.json, shows
# the status and a few tag messages, makes one allowed write (oven_temp is
# marked writable) and one refused (flow is not), stops the broker for a
# while and starts it again, shows that a subscriber got every change in
# order, and stops everything.
# With --lines it runs a plant of three lines instead, each on a built-in
# simulator of its own, with examples/plant-lines.json: the lines' states,
# a tag of each line, one line's process killed and started again alone,
# and the stop of the whole plant.
#   ORDELIN_QT_MAJOR          5 (default): build/release; 6: build/release-qt6
#   ORDELIN_DEMO_OUTAGE_S     how long the broker stays away (default 10)
set -eu
cd "$(dirname "$0")/.."
case "${1:-}" in
    "" | --lines) mode=${1:-} ;;
    *) echo "usage: $0 [--lines]" >&2; exit 1 ;;
esac
./scripts/install-deps.sh
qt=${ORDELIN_QT_MAJOR:-5}
suffix=$([ "$qt" = 5 ] || echo "-qt$qt")
build=build/release$suffix
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORDELIN_QT_MAJOR="$qt" >/dev/null
cmake --build "$build" -j "$(nproc)" --target ordelin-gateway Ordelin

work=$(mktemp -d)
broker="" gateway="" historian=""
finish() {
    [ -n "$historian" ] && kill "$historian" 2>/dev/null || true
    [ -n "$gateway" ] && kill "$gateway" 2>/dev/null || true
    [ -n "$broker" ] && kill "$broker" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT INT TERM

# A port nobody listens on: the broker exits at once when it cannot bind.
for try in 1 2 3 4 5 6 7 8 9 10; do
    port=$(( 20000 + $(od -An -N2 -tu2 /dev/urandom) % 20000 ))
    # A plant's broker keeps its subscribers' sessions over a restart.
    { echo "listener $port 127.0.0.1"; echo "allow_anonymous true"
      echo "persistence true"; echo "persistence_location $work/"
      [ "$(id -u)" -eq 0 ] && echo "user root"; } >"$work/broker.conf"
    mosquitto -c "$work/broker.conf" 2>"$work/broker.log" &
    broker=$!
    sleep 0.5
    kill -0 "$broker" 2>/dev/null && break
    broker=""
done
[ -n "$broker" ] || { cat "$work/broker.log"; echo "no broker could start" >&2; exit 1; }
echo "broker on 127.0.0.1:$port"

sub() { mosquitto_sub -p "$port" -v -W 5 "$@" || true; }

plant() {
    "$build/tools/ordelin-gateway$suffix" --sim --config examples/plant-lines.json \
        --broker "127.0.0.1:$port" --journal "$work/plant.journal" 2>"$work/gateway.log" &
    gateway=$!
    sleep 2
    root=ordelin/plant-lines
    echo; echo "--- the lines' states (retained) ---"
    sub -t $root/lines -C 1
    echo; echo "--- one tag of each line ---"
    sub -t "$root/+/tags/cycles" -C 3

    echo; echo "--- the oven line's process is killed: it starts again alone ---"
    oven=$(sub -t $root/lines -C 1 | sed -n 's/.*"name":"oven","pid":\([0-9]*\).*/\1/p')
    kill -KILL "$oven"
    sleep 2
    sub -t $root/lines -C 1

    echo; echo "--- the plant stops, and every line with it ---"
    kill -TERM "$gateway"
    wait "$gateway" || true
    gateway=""
    sub -t $root/lines -C 1
    echo; echo "--- the gateway's standard error, each line's named ---"
    cat "$work/gateway.log"
}
if [ "$mode" = --lines ]; then
    plant
    exit 0
fi

# A historian: a session the broker keeps, at QoS 1, from the start.
mosquitto_sub -p "$port" -q 1 -c -i demo-historian -t 'ordelin/plant/tags/+' -v >"$work/historian" &
historian=$!
sleep 0.3
"$build/tools/ordelin-gateway$suffix" --sim --config examples/plant.json --broker "127.0.0.1:$port" \
    --journal "$work/plant.journal" 2>"$work/gateway.log" &
gateway=$!
sleep 2

echo; echo "--- status and tags (retained, as a newcomer gets them) ---"
sub -t ordelin/plant/status -t 'ordelin/plant/tags/+' -C 7

echo; echo "--- an allowed write and a refused one ---"
sub -t 'ordelin/plant/tags/+/result' -C 2 >"$work/results" &
results=$!
sleep 0.5
mosquitto_pub -p "$port" -t ordelin/plant/tags/oven_temp/set -m '{"value": 185.5, "id": "demo-1"}'
mosquitto_pub -p "$port" -t ordelin/plant/tags/flow/set -m '{"value": 3, "id": "demo-2"}'
wait "$results"
cat "$work/results"
sub -t ordelin/plant/tags/oven_temp -C 1

outage=${ORDELIN_DEMO_OUTAGE_S:-10}
echo; echo "--- the broker stops for $outage s; the gateway keeps every change in its journal ---"
kill -TERM "$broker"
wait "$broker" 2>/dev/null || true
sleep "$outage"
mosquitto -c "$work/broker.conf" 2>>"$work/broker.log" &
broker=$!
# Until the replay after the outage is done (the gateway's back-off can
# take up to 30 s to try again).
for _ in $(seq 60); do
    awk '/lost the broker/ { lost = 1 } lost && /replay done/ { done = 1 } END { exit !done }' \
        "$work/gateway.log" && break
    sleep 1
done
sleep 2
grep "journal:" "$work/gateway.log" | tail -2
kill "$historian" 2>/dev/null || true
wait "$historian" 2>/dev/null || true
# Every seq from the first the historian saw to the last, each read before the next.
sed -n 's/.*"seq":\([0-9]*\).*/\1/p' "$work/historian" | sort -n | uniq | awk '
    NR > 1 && $1 != last + 1 { holes++ } { last = $1; n++ }
    END { printf "the historian holds %d messages, seq up to %d, %s\n", n, last, holes ? holes " holes" : "none missing" }'
echo "the last replayed ones, as they came:"
grep '"replayed":true' "$work/historian" | tail -3

echo; echo "--- the gateway stops: its status goes offline ---"
kill -TERM "$gateway"
wait "$gateway" || true
gateway=""
sub -t ordelin/plant/status -C 1
echo; echo "--- the gateway's standard error (audit lines) ---"
cat "$work/gateway.log"
