#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian package for real: builds it with scripts/package, installs it
# with dpkg -i, runs the installed programs, checks it with lintian, removes it
# and checks that nothing is left behind. It needs root and dpkg (CI runs as
# root on a throw-away machine) and reports itself skipped (77) otherwise. The
# package is removed again however the test ends.
# Usage: package-test.sh SOURCE_DIR VERSION PACKAGE
set -uo pipefail
source_dir=$1 version=$2 package=$3

skip() { echo "SKIPPED: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
command -v dpkg >/dev/null 2>&1 || skip "no dpkg on this machine"
if dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q ' installed$'; then
    skip "$package is already installed here; the test leaves it alone"
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
demo_pid=
cleanup() {
    [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null
    if dpkg-query -W "$package" >/dev/null 2>&1; then
        dpkg --purge "$package" >/dev/null 2>&1 || echo "could not purge $package"
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Paths in the system folders. Caches that other packages' triggers keep
# (menu, icon and manual page caches) and dpkg's own records are not ours.
snapshot() {
    find /usr /etc /opt /var/lib -xdev \
        \( -path /var/lib/dpkg -o -path /var/lib/apt -o -path /var/lib/ucf \) -prune -o -print \
        2>/dev/null | grep -v -e '/icon-theme\.cache$' -e '/mimeinfo\.cache$' | sort
}

start=$SECONDS
if ! "$source_dir/scripts/package" >"$work/package.log" 2>&1; then
    tail -n 40 "$work/package.log"
    echo "FAIL: scripts/package"; exit 1
fi
deb=$(tail -n 1 "$work/package.log")
echo "built $deb in $((SECONDS - start)) s"

# What the package says about itself: the project's version, dependencies
# found by dpkg-shlibdeps.
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6charts6 libhidapi-hidraw0 libudev1 libmosquitto1 libc6 qt6-qpa-plugins; do
    grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

# lintian: no errors; every warning is explained in the README's packaging notes.
command -v lintian >/dev/null 2>&1 || fail "lintian is not installed (scripts/ensure-packages.sh)"
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1)
echo "lintian: ${lintian_out:-no tags}"
grep -q '^E: ' <<<"$lintian_out" && fail "lintian reports errors"
notes=$(sed -n '/^### Packaging notes/,/^##[^#]/p' "$source_dir/README.md")
for tag in $(sed -n 's/^W: [^:]*: \([^ ]*\).*/\1/p' <<<"$lintian_out" | sort -u); do
    grep -q "\`$tag\`" <<<"$notes" || fail "lintian warning $tag is not explained in the README"
done

before=$(snapshot)
if ! dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
    cat "$work/dpkg.log"
    echo "FAIL: dpkg -i"; exit 1
fi

# Files in place.
for f in /usr/bin/KM90 /usr/bin/KM50_60 /usr/bin/meterlog /usr/share/$package/km50.hlp \
    /usr/lib/udev/rules.d/70-km-meter-cable.rules \
    /usr/share/applications/org.kmmeters.km90.desktop \
    /usr/share/applications/org.kmmeters.km50_60.desktop \
    /usr/share/metainfo/org.kmmeters.km90.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/org.kmmeters.km90.svg \
    /usr/share/icons/hicolor/48x48/apps/org.kmmeters.km50_60.png; do
    [ -f "$f" ] || fail "missing $f"
done
for page in KM90 KM50_60 meterlog; do
    [ "$(man -w "$page" 2>/dev/null)" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page"
done

# The installed programs.
out=$(/usr/bin/KM90 --version) || fail "KM90 --version failed"
[ "$(sed -n 1p <<<"$out")" = "KM90  Interface Program Ver:3.01" ] || fail "KM90 --version: $out"
[ "$(sed -n 2p <<<"$out")" = "$package $version" ] || fail "KM90 --version: $out"
out=$(/usr/bin/meterlog --help) || fail "meterlog --help failed"
grep -q '^Usage: meterlog' <<<"$out" || fail "meterlog --help: $out"
for program in KM90 KM50_60; do
    out=$(/usr/bin/$program --help) || fail "$program --help failed"
    grep -qx "Help file: /usr/share/$package/km50.hlp" <<<"$out" || fail "$program --help: $out"
done

# KM90 --demo without a display: it starts, finds its help file (else it says
# so on standard error) and keeps running until it is stopped.
QT_QPA_PLATFORM=offscreen /usr/bin/KM90 --demo >"$work/demo.out" 2>"$work/demo.err" &
demo_pid=$!
sleep 4
if kill -0 "$demo_pid" 2>/dev/null; then
    kill "$demo_pid"
    wait "$demo_pid" 2>/dev/null
else
    wait "$demo_pid"
    fail "KM90 --demo ended by itself (status $?): $(cat "$work/demo.err")"
fi
demo_pid=
grep -q 'Help file' "$work/demo.err" && fail "KM90 --demo: $(cat "$work/demo.err")"

out=$(timeout 60 /usr/bin/meterlog --model km90 --demo --count 3) || fail "meterlog --demo failed"
[ "$(tail -n +2 <<<"$out" | cut -f1 | tr '\n' ' ')" = "1 2 3 " ] \
    || fail "meterlog --demo --count 3 did not print rows 1 to 3: $out"

# Removal: no file of the package's list is left, nor any new path.
listed=$(dpkg -L "$package")
dpkg -r "$package" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -r"; }
while IFS= read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || continue
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        # A folder stays when another package owns it or something else lies in it.
        dpkg -S "$path" >/dev/null 2>&1 || [ -n "$(ls -A "$path")" ] \
            || fail "empty folder left behind: $path"
    else
        fail "left behind: $path"
    fi
done <<<"$listed"
dpkg --purge "$package" >/dev/null 2>&1 || fail "dpkg --purge"
after=$(snapshot)
new=$(comm -13 <(echo "$before") <(echo "$after"))
[ -z "$new" ] || fail "paths that were not there before the install: $new"

echo "package test took $((SECONDS - start)) s"
if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package $deb: all checks passed"
