#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the command-line host's demo, which
# writes a sample plant store to ./wardlet-demo and shows who may do what.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
build/bin/wardlet demo
