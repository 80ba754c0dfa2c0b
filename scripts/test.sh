#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test twice: in an optimised build, and in a
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
scripts/build.sh build
(cd build && ctest --output-on-failure -j "$jobs")

scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DWARDLET_SANITIZE=ON -DWARDLET_BENCHMARKS=OFF
(cd build-sanitize && ctest --output-on-failure -j "$jobs")
