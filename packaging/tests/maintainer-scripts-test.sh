#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the package's postinst and postrm with a stand-in udevadm that records
# its calls, with and without udev's control socket (a copy of each script
# looks for the socket in a temporary folder instead of /run/udev).
# Usage: maintainer-scripts-test.sh PACKAGING_DIR
set -uo pipefail
packaging=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
printf '#!/bin/sh\necho "$*" >>"%s/calls"\n' "$work" >"$work/bin/udevadm"
chmod +x "$work/bin/udevadm"
for script in postinst postrm; do
    sed "s|/run/udev/control|$work/control|g" "$packaging/debian/$script" >"$work/$script"
done

failures=0
# run SCRIPT ARGUMENT: runs it and prints the udevadm calls it made, one per line.
run() {
    rm -f "$work/calls"
    PATH="$work/bin:$PATH" sh -e "$work/$1" "$2" || echo "exit status $?"
    cat "$work/calls" 2>/dev/null
}
expect() {
    local name=$1 got=$2 want=$3
    if [ "$got" != "$want" ]; then
        echo "FAIL: $name"; echo "  got:  ${got//$'\n'/ | }"; echo "  want: ${want//$'\n'/ | }"
        failures=$((failures + 1))
    fi
}

hidraw="trigger --action=change --subsystem-match=hidraw"
python3 -c "import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])" "$work/control"
expect "postinst configure with udev" "$(run postinst configure)" "control --reload-rules
$hidraw
trigger --action=change --subsystem-match=usb --attr-match=idVendor=1a86 --attr-match=idProduct=e008
trigger --action=change --subsystem-match=usb --attr-match=idVendor=04fa --attr-match=idProduct=2490"
expect "postrm remove with udev" "$(run postrm remove)" "control --reload-rules
$hidraw"
expect "postrm purge with udev" "$(run postrm purge)" "control --reload-rules
$hidraw"
expect "postrm upgrade" "$(run postrm upgrade)" ""
expect "postinst abort-upgrade" "$(run postinst abort-upgrade)" ""

# A failing udevadm does not fail the install or the removal.
printf '#!/bin/sh\nexit 1\n' >"$work/bin/udevadm"
expect "postinst with a failing udevadm" "$(run postinst configure)" ""
expect "postrm with a failing udevadm" "$(run postrm remove)" ""

# Without udev running (containers, chroots): nothing is called.
printf '#!/bin/sh\necho "$*" >>"%s/calls"\n' "$work" >"$work/bin/udevadm"
rm -f "$work/control"
expect "postinst configure without udev" "$(run postinst configure)" ""
expect "postrm remove without udev" "$(run postrm remove)" ""

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "maintainer scripts: all checks passed"
