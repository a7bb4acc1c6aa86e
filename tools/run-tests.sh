#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Reciplex and runs the whole test suite.
#   tools/run-tests.sh              normal build in build/
#   tools/run-tests.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
cmake_args=(-DCMAKE_BUILD_TYPE=Debug)
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-asan
  cmake_args=(-DCMAKE_BUILD_TYPE=Debug -DRECIPLEX_SANITIZE=ON)
fi

tools/ensure-packages.sh
cmake -S . -B "$build_dir" -G Ninja "${cmake_args[@]}"
ninja -C "$build_dir" -j "$(nproc)"
cd "$build_dir"
ctest --output-on-failure -j 2 --timeout 900
