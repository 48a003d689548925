#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a temporary prefix with `cmake --install` and checks
# what a desktop expects there: the programs, the help file found from the
# installed programs, menu entries, icons, AppStream data, manual pages and the
# udev rule. The validators are the desktop's own tools.
# Usage: install-test.sh BUILD_DIR SOURCE_DIR VERSION PACKAGE KM90_ID KM50_60_ID
set -uo pipefail
build=$1 source=$2 version=$3 package=$4
ids=("$5" "$6")
programs=(KM90 KM50_60)

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check_file() { [ -f "$prefix/$1" ] || fail "missing $1"; }

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
if ! cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log"; rm -f "$prefix.log"
    echo "FAIL: cmake --install"; exit 1
fi
rm -f "$prefix.log"

# Every installed file is one of these; nothing else lands in the prefix.
expected=(bin/KM90 bin/KM50_60 bin/meterlog "share/$package/km50.hlp"
          lib/udev/rules.d/70-km-meter-cable.rules lib/systemd/system/meterlog@.service
          share/man/man1/KM90.1.gz share/man/man1/KM50_60.1.gz share/man/man1/meterlog.1.gz
          "share/doc/$package/copyright" "share/doc/$package/changelog.gz")
for id in "${ids[@]}"; do
    expected+=("share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
               "share/icons/hicolor/scalable/apps/$id.svg")
    for size in 16 22 24 32 48 64 128 256; do
        expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
    done
done
for f in "${expected[@]}"; do check_file "$f"; done
extra=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort | comm -23 - <(printf '%s\n' "${expected[@]}" | sort))
[ -z "$extra" ] || fail "unexpected installed files: $extra"
cmp -s "$source/packaging/udev/70-km-meter-cable.rules" "$prefix/lib/udev/rules.d/70-km-meter-cable.rules" \
    || fail "udev rule differs from packaging/udev"
cmp -s "$source/src/app/km50.hlp" "$prefix/share/$package/km50.hlp" || fail "help file differs"

# PNG icons have the size their folder says.
for id in "${ids[@]}"; do
    for size in 16 22 24 32 48 64 128 256; do
        got=$(file -b "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png")
        [[ $got == "PNG image data, $size x $size,"* ]] || fail "$id ${size}px icon is: $got"
    done
done

# Menu entries: valid, naming the installed program, its icon and its window class.
for i in 0 1; do
    desktop="$prefix/share/applications/${ids[$i]}.desktop"
    # Hints and warnings count too: the entries are to validate clean.
    if ! out=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
        fail "desktop-file-validate ${ids[$i]}: $out"
    fi
    grep -qx "Exec=${programs[$i]}" "$desktop" || fail "${ids[$i]}: Exec is not ${programs[$i]}"
    grep -qx "Icon=${ids[$i]}" "$desktop" || fail "${ids[$i]}: Icon is not ${ids[$i]}"
    grep -qx "StartupWMClass=${programs[$i]}" "$desktop" || fail "${ids[$i]}: StartupWMClass"
    [ -x "$prefix/bin/${programs[$i]}" ] || fail "${programs[$i]} not executable"
done

# AppStream: valid without the network; the release is the project's version.
for id in "${ids[@]}"; do
    metainfo="$prefix/share/metainfo/$id.metainfo.xml"
    # Pedantic notes count too: the components are to validate clean.
    if ! out=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) \
        || grep -q '^[EWIP]: ' <<<"$out"; then
        fail "appstreamcli validate $id: $out"
    fi
    grep -q "<release version=\"$version\"" "$metainfo" || fail "$id: release is not $version"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
        || fail "$id: launchable"
done

# Manual pages: no warnings from man (groff), the version in the header.
for page in KM90 KM50_60 meterlog; do
    gz="$prefix/share/man/man1/$page.1.gz"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man --warnings $page: $warnings"
    zcat "$gz" | grep -q "^\.TH .*\"$package $version\"" || fail "$page.1: version is not $version"
    for section in NAME SYNOPSIS OPTIONS "EXIT STATUS" FILES; do
        zcat "$gz" | grep -q "^\.SH \"\?$section" || fail "$page.1 has no $section section"
    done
    zcat "$gz" | grep -q "70\\\\-km\\\\-meter\\\\-cable.rules" || fail "$page.1 does not name the udev rule"
done

# The installed programs: version from the project, help file found in the
# installed data folder; in the build tree, beside the program.
for program in KM90 KM50_60; do
    out=$("$prefix/bin/$program" --version) || fail "$program --version failed"
    [ "$(sed -n 2p <<<"$out")" = "$package $version" ] || fail "$program --version: $out"
    out=$("$prefix/bin/$program" --help) || fail "$program --help failed"
    grep -qx "Help file: $prefix/share/$package/km50.hlp" <<<"$out" \
        || fail "installed $program does not find its help file: $out"
    out=$("$build/src/app/$program" --help) || fail "build-tree $program --help failed"
    grep -qx "Help file: $build/src/app/km50.hlp" <<<"$out" \
        || fail "build-tree $program does not find its help file: $out"
done
out=$("$prefix/bin/meterlog" --version) || fail "meterlog --version failed"
[ "$out" = "meterlog ($package $version)" ] || fail "meterlog --version: $out"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "install layout in a temporary prefix: all checks passed"
