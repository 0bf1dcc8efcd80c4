#!/bin/sh
# Makes this build's Debian packages, unpacks them into a scratch root and
# polls the built-in simulator with the unpacked ordelin-poll alone: the
# dynamic loader's log must show the driver coming from the scratch root,
# never from the build tree.
#   check_packages.sh BUILD_DIR PROGRAM_NAME
set -eu
build="$1"
poll="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/packages" > "$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; exit 1; }
for deb in "$work"/packages/*.deb; do
    dpkg-deb -x "$deb" "$work/root"
    echo "unpacked $(dpkg-deb --field "$deb" Package)"
done
program="$work/root/usr/bin/$poll"
env -u LD_LIBRARY_PATH LD_DEBUG=files timeout 60 "$program" --sim --count 50 --format csv DM0 \
    > "$work/poll.out" 2> "$work/poll.err" \
    || { cat "$work/poll.out" "$work/poll.err"; echo "$poll failed"; exit 1; }
loaded=$(sed -n 's/.*calling init: \(.*libOrdelin.*\)/\1/p' "$work/poll.err" | sort -u)
case $loaded in
    "$work/root/"*) echo "driver loaded from the package: ${loaded#"$work"/root}" ;;
    *) echo "driver not loaded from the unpacked package: '$loaded'"; exit 1 ;;
esac
grep -q '50 exchanges, 50 accepted, 0 rejected, 0 dropped' "$work/poll.err" \
    || { grep -v '^ *[0-9]*: ' "$work/poll.err"; echo "expected 50 accepted exchanges"; exit 1; }
