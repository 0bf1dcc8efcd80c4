#!/bin/sh
# Installs one or more build trees (one per Qt major version) into one
# scratch prefix and checks that each variant is whole and usable there:
# no file installed twice, a host that knows only find_package and one that
# knows only pkg-config both poll through the installed library, and the
# installed ordelin-poll finds its own driver. With two variants, each
# ordelin-poll must refuse the other's driver with exit code 7.
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

for build in "$@"; do
    cmake --install "$build" --prefix "$prefix" > "$work/install.log"
    cat "$build/install_manifest.txt" >> "$work/installed"
    echo >> "$work/installed"
done
twice=$(sort "$work/installed" | uniq -d | grep . || true)
[ -z "$twice" ] || { printf 'installed by more than one variant:\n%s\n' "$twice"; exit 1; }

export LD_LIBRARY_PATH="$(dirname "$(ls "$prefix"/lib*/libOrdelin*.so | head -n1)")"
export PKG_CONFIG_PATH="$LD_LIBRARY_PATH/pkgconfig"
consumer="$source_dir/tests/install/consumer"
for build in "$@"; do
    variant "$build"
    cmake -S "$consumer" -B "$work/$package" -DORDELIN_PACKAGE="$package" \
          -DCMAKE_PREFIX_PATH="$prefix" > "$work/configure.log"
    cmake --build "$work/$package" > "$work/build.log"
    echo "find_package($package): $("$work/$package/consumer")"
    # Qt's own libraries need position-independent code in the host.
    c++ -std=c++17 -fPIC -o "$work/$package-pc" "$consumer/main.cpp" \
        $(pkg-config --cflags --libs "ordelin$suffix")
    echo "pkg-config ordelin$suffix $(pkg-config --modversion "ordelin$suffix"): $("$work/$package-pc")"
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
