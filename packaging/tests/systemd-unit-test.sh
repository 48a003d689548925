#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The meterlog@.service template as configured for the install: an instance of
# it passes systemd-analyze verify, and its command line is one meterlog takes.
# Usage: systemd-unit-test.sh <configured unit> <meterlog program>
# Exits 77 (skipped) where systemd-analyze is not installed.
set -euo pipefail
unit=$1
meterlog=$2
command -v systemd-analyze >/dev/null 2>&1 || { echo "systemd-analyze not installed: skipped"; exit 77; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
instance="$dir/meterlog@dev-hidraw0.service"
# The built program stands in for the installed one, which verify looks for.
bindir=$(sed -n 's|^ExecStart=\(.*\)/meterlog .*|\1|p' "$unit")
[ -n "$bindir" ] || { echo "no ExecStart with meterlog in $unit"; exit 1; }
sed "s|^ExecStart=$bindir/meterlog |ExecStart=$meterlog |" "$unit" >"$instance"

out=$(SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no "$instance" 2>&1) || {
    echo "$out"
    echo "systemd-analyze verify failed"
    exit 1
}
# Warnings about the unit itself fail the test; notes about the host do not.
if grep -F "meterlog@" <<<"$out"; then
    echo "systemd-analyze verify warns about the unit"
    exit 1
fi

# The command line, with the environment and a cable that is not there filled
# in as systemd would, passes meterlog's option checks (status 2 would be a
# usage error) and ends with status 3: no such cable.
line=$(sed -n 's/^ExecStart=//p' "$instance")
line=${line//'${METERLOG_MODEL}'/km90}
line=${line//%f//dev/km-meter-cable-absent}
line=${line//%%/%}
read -r -a words <<<"$line"
status=0
(cd "$dir" && "${words[@]}" >/dev/null 2>"$dir/err") || status=$?
if [ "$status" -ne 3 ]; then
    cat "$dir/err"
    echo "meterlog ended with status $status on the unit's command line: $line"
    exit 1
fi
echo "meterlog@.service verified"
