#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes sure the Debian packages the build needs are installed.
# As root it installs what is missing (apt-get update once, then apt-get install);
# otherwise it prints the exact install line and fails.
# Usage: scripts/ensure-packages.sh [extra packages...]
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev
          libhidapi-dev libudev-dev libxxhash-dev libxml2-dev libfontconfig-dev libbenchmark-dev fonts-liberation2 poppler-utils
          librsvg2-bin desktop-file-utils appstream man-db groff-base file dpkg-dev lintian python3
          qt6-qpa-plugins libmosquitto-dev mosquitto openssl rapidjson-dev clang libclang-rt-14-dev "$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    echo "Installing missing packages: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    $line
else
    echo "These Debian packages are missing: ${missing[*]}" >&2
    echo "Install them with:" >&2
    echo "  sudo apt-get update && sudo $line" >&2
    exit 1
fi
