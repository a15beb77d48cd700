#!/usr/bin/env bash
# Configures and builds the project in a build directory (default: build/).
#   scripts/build.sh [BUILD_DIR] [extra cmake -D options...] [-- ninja targets...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh

build_dir=${1:-build}
shift || true

cmake_args=()
targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--" ]; then shift; targets=("$@"); break; fi
  cmake_args+=("$1"); shift
done

# clang + lld compile JUCE about a third faster than g++ here.
if [ -z "${CXX:-}" ] && command -v clang++ >/dev/null; then
  export CC=clang CXX=clang++
fi

if [ ! -f "$build_dir/build.ninja" ] || [ ${#cmake_args[@]} -gt 0 ]; then
  cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"
fi

cmake --build "$build_dir" ${targets[@]+--target "${targets[@]}"}
