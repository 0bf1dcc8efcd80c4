#!/bin/sh
# Cross-builds the library and the tools for 64-bit ARM panels with Debian's
# cross compiler and arm64 Qt packages, then runs the library's tests (host,
# internal and reliability) under qemu-aarch64. Installs what is missing:
# the arm64 architecture, the cross compiler, the arm64 development packages
# and qemu-user. Output: build/arm64 (libOrdelin.so and tools/ for aarch64).
#   ORDELIN_ARM64_JOBS  parallel build jobs (default: all cores)
set -eu
cd "$(dirname "$0")/.."
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
packages="crossbuild-essential-arm64 qemu-user cmake make pkg-config qtbase5-dev-tools
qtbase5-dev:arm64 libqt5serialport5-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64"
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing="$missing $package"
done
if [ -n "$missing" ]; then
    echo "installing:$missing"
    dpkg --print-foreign-architectures | grep -qx arm64 || $SUDO dpkg --add-architecture arm64
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y --no-install-recommends --no-remove $missing
fi

build=build/arm64
start=$(date +%s)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake >"$build.configure.log" 2>&1 \
    || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" -j "${ORDELIN_ARM64_JOBS:-$(nproc)}"
built=$(date +%s)
file -L "$build/src/libOrdelin.so" 2>/dev/null || true
# The end-to-end tests start the tools as processes, which needs the kernel
# to run arm64 programs by itself (binfmt); the library's own tests do not.
ctest --test-dir "$build" -j "$(nproc)" --output-on-failure -R '^(host|internal|reliability)[.]'
echo "arm64: built in $((built - start)) s, tested in $(($(date +%s) - built)) s"
