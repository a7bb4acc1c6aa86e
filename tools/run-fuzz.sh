#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time on a copy of its
# seed corpus. Any crash, leak, sanitizer report or hang fails the run.
#   tools/run-fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
tools/ensure-packages.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRECIPLEX_FUZZ=ON
ninja -C build-fuzz -j "$(nproc)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts="build-fuzz/artifacts"
mkdir -p "$artifacts"
failed=0
for target in build-fuzz/tests/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  seeds="tests/fuzz/corpus/${name#fuzz_}"
  mkdir -p "$work/$name"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work/$name"/
  echo "== $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -artifact_prefix="$artifacts/$name-" -print_final_stats=1 "$work/$name" > "$work/$name.log" 2>&1; then
    failed=1
    tail -n 60 "$work/$name.log"
    echo "!! $name failed; the input is in $artifacts"
  else
    tail -n 6 "$work/$name.log"
  fi
done
exit $failed
