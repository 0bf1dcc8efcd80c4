#!/bin/sh
# Builds the Debian packages of both Qt major variants from release builds
# (build/package-qt5, build/package-qt6; the .deb files land in each one's
# packages/ folder) and runs lintian on them. Installs what is missing.
# lintian's errors fail the script; its warnings are printed and left to
# the reader (docs/integration.md, "Installing on a panel", says which
# remain and why).
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=$(nproc)
status=0
for major in 5 6; do
    build=build/package-qt$major
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DORDELIN_QT_MAJOR=$major -DORDELIN_BUILD_TESTS=OFF > "$build.configure.log" 2>&1 \
        || { cat "$build.configure.log"; exit 1; }
    cmake --build "$build" -j "$jobs"
    rm -f "$build"/packages/*.deb
    (cd "$build" && cpack -G DEB) > "$build.cpack.log" 2>&1 || { cat "$build.cpack.log"; exit 1; }
    for deb in "$build"/packages/*.deb; do
        echo "== $deb"
        dpkg-deb --field "$deb" Package Version Depends
        lintian --fail-on error "$deb" || status=1
    done
done
exit $status
