#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given), passing any further arguments to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" -G Ninja "$@" >/dev/null
ninja -C "$build_dir"
