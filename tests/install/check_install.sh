#!/bin/sh
# Installs one or more build trees (one per Qt major version) into one
# scratch prefix and checks that each variant is whole and usable there:
# no file installed twice, the minimal host of docs/integration.md (the
# listing there is examples/minimal_host/main.cpp, byte for byte), built
# once with find_package and once with pkg-config, writes and polls the
# installed ordelin-sim through the installed library, and the installed
# ordelin-poll finds its own driver. With two variants, each ordelin-poll
# must refuse the other's driver with exit code 7.
#   check_install.sh SOURCE_DIR BUILD_DIR [BUILD_DIR...]
set -eu
source_dir="$1"
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

# The names of a build's variant, as cmake/QtMajor.cmake sets them.
variant() {
    major=$(sed -n 's/^ORDELIN_QT_MAJOR:[A-Z]*=//p' "$1/CMakeCache.txt")
    case $major in
        5) package=Ordelin suffix="" ;;
        *) package=OrdelinQt$major suffix=-qt$major ;;
    esac
}

example="$source_dir/examples/minimal_host"
awk '/^## A complete minimal host/ { inside = 1 } inside && /^```$/ { exit }
     listing { print } inside && /^```cpp$/ { listing = 1 }' \
    "$source_dir/docs/integration.md" > "$work/listing.cpp"
cmp "$work/listing.cpp" "$example/main.cpp" \
    || { echo "docs/integration.md's listing differs from examples/minimal_host/main.cpp"; exit 1; }

# Runs a built minimal host against the installed simulator on a fresh
# pseudo-terminal; the simulator prints its path first.
#   run_host HOW_IT_WAS_BUILT PROGRAM
run_host() {
    rm -f "$work/sim.out"
    "$prefix/bin/ordelin-sim$suffix" > "$work/sim.out" 2>&1 &
    sim=$!
    tries=0
    until [ -s "$work/sim.out" ] || [ $tries -ge 100 ]; do sleep 0.1; tries=$((tries + 1)); done
    code=0
    timeout 60 "$2" "$(head -n1 "$work/sim.out")" 20 > "$work/host.out" 2>&1 || code=$?
    kill "$sim"
    wait "$sim" || true
    grep -q '^DM100 = 1234$' "$work/host.out" && [ $code = 0 ] \
        || { cat "$work/host.out" "$work/sim.out"; echo "$1 failed: exit $code"; exit 1; }
    echo "$1: $(tr '\n' ' ' < "$work/host.out")"
}

for build in "$@"; do
    cmake --install "$build" --prefix "$prefix" > "$work/install.log"
    cat "$build/install_manifest.txt" >> "$work/installed"
    echo >> "$work/installed"
done
twice=$(sort "$work/installed" | uniq -d | grep . || true)
[ -z "$twice" ] || { printf 'installed by more than one variant:\n%s\n' "$twice"; exit 1; }

export LD_LIBRARY_PATH="$(dirname "$(find "$prefix" -name "libOrdelin*.so" | head -n1)")"
export PKG_CONFIG_PATH="$LD_LIBRARY_PATH/pkgconfig"
for build in "$@"; do
    variant "$build"
    cmake -S "$example" -B "$work/$package" -DQT_MAJOR="$major" \
          -DCMAKE_PREFIX_PATH="$prefix" > "$work/configure.log"
    cmake --build "$work/$package" > "$work/build.log"
    run_host "find_package($package)" "$work/$package/minimal_host"
    # Qt's own libraries need position-independent code in the host.
    mkdir -p "$work/$package-pc"
    c++ -std=c++17 -fPIC -o "$work/$package-pc/minimal_host" "$example/main.cpp" \
        $(pkg-config --cflags --libs "ordelin$suffix" "Qt${major}SerialPort")
    run_host "pkg-config ordelin$suffix" "$work/$package-pc/minimal_host"
    poll="$prefix/bin/ordelin-poll$suffix"
    [ -x "$poll" ] || continue
    timeout 30 "$poll" --sim --count 3 --format csv DM0 > "$work/poll.log" 2>&1 \
        || { cat "$work/poll.log"; echo "ordelin-poll$suffix failed with its own driver"; exit 1; }
    for library in "$LD_LIBRARY_PATH"/libOrdelin*.so; do
        [ "$library" = "$LD_LIBRARY_PATH/lib$package.so" ] && continue
        code=0
        timeout 30 "$poll" --sim --count 3 --library "$library" DM0 > "$work/poll.log" 2>&1 || code=$?
        [ "$code" = 7 ] || { cat "$work/poll.log"; echo "ordelin-poll$suffix took $library: exit $code"; exit 1; }
        echo "ordelin-poll$suffix refuses $(basename "$library"): $(cat "$work/poll.log")"
    done
done
