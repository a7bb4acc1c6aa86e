#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Reciplex and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/ensure-packages.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
ninja -C build-release -j "$(nproc)" reciplex
exec ./build-release/reciplex "$@"
