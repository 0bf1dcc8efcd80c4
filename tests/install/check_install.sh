#!/bin/sh
# Installs the built tree into a scratch prefix, then builds and runs a host
# that knows only find_package(Ordelin), and checks the pkg-config file.
set -eu
build_dir="$1"
source_dir="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" > "$work/install.log"
cmake -S "$source_dir/tests/install/consumer" -B "$work/consumer" \
      -DCMAKE_PREFIX_PATH="$work/prefix" > "$work/configure.log"
cmake --build "$work/consumer" > "$work/build.log"
LD_LIBRARY_PATH="$work/prefix/lib:${LD_LIBRARY_PATH:-}" "$work/consumer/consumer"
libdir=$(ls -d "$work"/prefix/lib*/pkgconfig | head -n1)
PKG_CONFIG_PATH="$libdir" pkg-config --libs ordelin | grep -q -- "-lOrdelin"
echo "pkg-config: $(PKG_CONFIG_PATH="$libdir" pkg-config --modversion ordelin)"
