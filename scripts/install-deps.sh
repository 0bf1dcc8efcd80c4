#!/bin/sh
# Installs the Debian packages the build, the tools and the tests need,
# only those that are missing; apt-get update runs once, when needed.
set -eu
packages="g++ make cmake pkg-config qtbase5-dev libqt5serialport5-dev libqt5charts5-dev
qt6-base-dev qt6-serialport-dev libqt6core6 libqt6serialport6 qt6-charts-dev libqt6opengl6-dev
libgtest-dev libgmock-dev
libbenchmark-dev socat clang libclang-rt-14-dev binutils dpkg-dev help2man lintian
libmosquitto-dev mosquitto mosquitto-clients openssl libqt5sql5-sqlite libqt6sql6-sqlite"
[ "${ORDELIN_WITH_VALGRIND:-0}" = 1 ] && packages="$packages valgrind"
missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing="$missing $package"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends $missing
