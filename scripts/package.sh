#!/bin/sh
# Builds Debian packages from release builds and runs lintian on them.
# Installs what is missing. Without arguments, both Qt major variants for
# this machine; "arm64" the Qt 5 variant for 64-bit ARM panels, cross-built
# (run scripts/cross-arm64.sh once first: it installs the cross compiler and
# the arm64 Qt packages, and tests the arm64 build under qemu).
#   package.sh [qt5] [qt6] [arm64]   ->  build/package-VARIANT/packages/*.deb
# lintian's errors fail the script; its warnings are printed
# (docs/integration.md, "Building for a panel", says which remain and why).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=$(nproc)
status=0
for variant in ${@:-qt5 qt6}; do
    case $variant in
        qt5) options="-DORDELIN_QT_MAJOR=5" ;;
        qt6) options="-DORDELIN_QT_MAJOR=6" ;;
        # GNUInstallDirs picks the multiarch folder for native builds only.
        arm64) options="-DORDELIN_QT_MAJOR=5 -DCMAKE_INSTALL_LIBDIR=lib/aarch64-linux-gnu
                        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake" ;;
        *) echo "unknown variant '$variant': qt5, qt6 or arm64"; exit 1 ;;
    esac
    build=build/package-$variant
    # Installed under /usr, the library goes to Debian's multiarch folder.
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DORDELIN_BUILD_TESTS=OFF $options > "$build.configure.log" 2>&1 \
        || { cat "$build.configure.log"; exit 1; }
    cmake --build "$build" -j "$jobs"
    rm -f "$build"/packages/*.deb
    (cd "$build" && cpack -G DEB) > "$build.cpack.log" 2>&1 || { cat "$build.cpack.log"; exit 1; }
    for deb in "$build"/packages/*.deb; do
        echo "== $deb"
        dpkg-deb --field "$deb" Package Version Architecture Depends
        lintian --fail-on error "$deb" || status=1
    done
done
exit $status
