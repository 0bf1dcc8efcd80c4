#!/bin/sh
# Makes this build's Debian packages, unpacks them into a scratch root and
# polls the built-in simulator with the unpacked ordelin-poll alone: the
# dynamic loader's log must show the driver coming from the scratch root,
# never from the build tree. The tools package must pull in no GUI library
# (a headless gateway box installs it), the monitor must come in a package
# of its own, the gateway's systemd unit must pass systemd-analyze (where it
# is installed), and lintian (where installed) must find no error.
#   check_packages.sh BUILD_DIR POLL_PROGRAM_NAME [MONITOR_PROGRAM_NAME]
set -eu
build="$1"
poll="$2"
monitor_program="${3:-}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/packages" > "$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; exit 1; }
suffix=${poll#ordelin-poll}
for deb in "$work"/packages/*.deb; do
    dpkg-deb -x "$deb" "$work/root"
    package=$(dpkg-deb --field "$deb" Package)
    echo "unpacked $package"
    dpkg-deb --contents "$deb" | sed 's/.* \.//' > "$work/$package.files"
    case $package in
        *-tools)
            gui=$(dpkg-deb --field "$deb" Depends | tr ',' '\n' | grep -E 'libqt[56](gui|widgets|charts|opengl)' || true)
            [ -z "$gui" ] || { echo "$package depends on a GUI library: $gui"; exit 1; }
            tools="$work/$package.files" ;;
        *-monitor) monitor="$work/$package.files" ;;
    esac
    if command -v lintian > /dev/null; then
        lintian --fail-on error "$deb" || { echo "lintian finds errors in $package"; exit 1; }
    fi
done

# Where each program lands; the monitor only where this build made it.
expect() {
    grep -qx "$2" "${1:-/dev/null}" || { echo "no $2 in the package expected"; exit 1; }
}
tools=${tools:-/dev/null}
expect "$tools" "/usr/bin/$poll"
expect "$tools" "/usr/share/doc/ordelin$suffix-tools/examples/plant.json"
expect "$tools" "/usr/share/doc/ordelin$suffix-tools/examples/plant-lines.json"
! grep -q 'ordelin-monitor' "$tools" || { echo "the tools package holds the monitor"; exit 1; }
[ -z "$monitor_program" ] || expect "${monitor:-}" "/usr/bin/$monitor_program"
gateway="ordelin-gateway$suffix"
if grep -qx "/usr/bin/$gateway" "$tools"; then
    unit="/usr/lib/systemd/system/$gateway@.service"
    expect "$tools" "$unit"
    expect "$tools" "/usr/share/bash-completion/completions/$gateway"
    # Its page wherever the poller's is (a build without help2man has none).
    if grep -qx "/usr/share/man/man1/$poll.1.gz" "$tools"; then
        expect "$tools" "/usr/share/man/man1/$gateway.1.gz"
    fi
    if command -v systemd-analyze > /dev/null; then
        # An instance of the template, its program taken from the scratch
        # root; its man page is checked above, not where man looks.
        sed "s|^ExecStart=/usr/bin/|ExecStart=$work/root/usr/bin/|" "$work/root$unit" > "$work/$gateway@line1.service"
        systemd-analyze verify --man=no "$work/$gateway@line1.service" > "$work/verify.log" 2>&1 \
            || { cat "$work/verify.log"; echo "systemd-analyze rejects $unit"; exit 1; }
        echo "systemd-analyze passes $unit"
    fi
fi
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
