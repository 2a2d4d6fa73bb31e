#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 20) on its corpus. Any finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVARO_FUZZ=ON -DTALVARO_BUILD_PROGRAM=OFF \
  -DTALVARO_BUILD_TESTS=OFF -DTALVARO_BUILD_CLIPS=OFF
cmake --build build-fuzz -j "$(nproc)"
for target in reply text_file config bank_load frequency wav; do
  echo "== fuzz_$target for ${seconds}s"
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$target/." "$work/"
  mkdir -p build-fuzz/artifacts
  build-fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 \
    -artifact_prefix="$(pwd)/build-fuzz/artifacts/" \
    -print_final_stats=1 "$work" 2>&1 | tail -n 12
  rm -rf "$work"
done
echo "== fuzzing found nothing"
