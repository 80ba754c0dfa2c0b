#!/usr/bin/env bash
# Installs what building and testing Wardlet needs on Debian: compiler, CMake and Ninja,
# GoogleTest and Google Benchmark, Qt 6 Widgets for the dialogs and a Chinese font to draw them,
# the time-zone data the tests use; the MQTT broker, client and libsodium that carry a store
# between stations; toml++, CLI11 and nlohmann-json for configuration, the command line and JSON
# output; libsystemd for the journal; clang for the fuzz targets; openssl for the TLS test
# certificates; pkg-config for the installed-host check.
set -euo pipefail

packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev tzdata binutils
          qt6-base-dev fonts-wqy-zenhei
          mosquitto mosquitto-clients libmosquitto-dev libsodium-dev
          libtomlplusplus-dev libcli11-dev nlohmann-json3-dev libsystemd-dev
          clang libclang-rt-14-dev openssl pkg-config dpkg-dev)

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
