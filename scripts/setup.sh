#!/usr/bin/env bash
# Installs what building and testing Wardlet needs on Debian: compiler, CMake and Ninja,
# GoogleTest and Google Benchmark, Qt 6 Widgets for the dialogs and a Chinese font to draw them,
# and the time-zone data the tests use.
set -euo pipefail

packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev tzdata binutils
          qt6-base-dev fonts-wqy-zenhei)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
