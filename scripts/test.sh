#!/usr/bin/env bash
# Builds everything and runs the whole test suite (CTest).
#   scripts/test.sh [ctest options...]     e.g. scripts/test.sh -R GestureTracker
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh build
cd build
ctest --output-on-failure -j"$(nproc)" "$@"
