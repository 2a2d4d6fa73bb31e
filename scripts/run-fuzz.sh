#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 20) on a copy of its corpus. Any finding of any
# target fails the run: a non-zero exit, a crash, leak, timeout or
# out-of-memory file, or a sanitizer report in the output. The whole output of
# a target with a finding is shown; the others show their final figures.
# FUZZ_TARGETS (names without "fuzz_") runs only some of the targets.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
targets=${FUZZ_TARGETS:-"reply text_file config bank_load frequency wav panel"}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVARO_FUZZ=ON -DTALVARO_BUILD_PROGRAM=OFF \
  -DTALVARO_BUILD_TESTS=OFF -DTALVARO_BUILD_CLIPS=OFF -DTALVARO_WERROR=ON
cmake --build build-fuzz -j "$(nproc)"

# Undefined behaviour ends the run as a crash would (the build makes it fatal
# as well); leaks are findings.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export ASAN_OPTIONS=detect_leaks=1

# Each run keeps its findings in its own folder, so that an earlier finding is
# neither lost nor counted again.
artifacts="$(pwd)/build-fuzz/artifacts/$(date -u +%Y%m%d-%H%M%S)-$$"
mkdir -p "$artifacts"
report_pattern='ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: (Address|Leak|UndefinedBehavior)Sanitizer|==[0-9]+==ERROR'
failed=()
for target in $targets; do
  echo "== fuzz_$target for ${seconds}s"
  work=$(mktemp -d)
  log=$(mktemp)
  cp -r "fuzz/corpus/$target/." "$work/"
  status=0
  "build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 \
    -timeout=25 -artifact_prefix="$artifacts/$target-" \
    -print_final_stats=1 "$work" >"$log" 2>&1 || status=$?
  # (A slow-unit file is only a note, not a finding.)
  findings=$(find "$artifacts" -maxdepth 1 \( -name "$target-crash-*" -o -name "$target-leak-*" \
    -o -name "$target-timeout-*" -o -name "$target-oom-*" \) -print)
  if [[ $status -ne 0 || -n $findings ]] || grep -Eq "$report_pattern" "$log"; then
    cat "$log"
    echo "!! fuzz_$target found a fault (exit status $status)"
    [[ -z $findings ]] || echo "!! reproducer: $findings"
    failed+=("fuzz_$target")
  else
    tail -n 12 "$log"
  fi
  rm -rf "$work" "$log"
done
if [[ ${#failed[@]} -ne 0 ]]; then
  echo "!! fuzzing found faults in: ${failed[*]}"
  exit 1
fi
rmdir "$artifacts" 2>/dev/null || true
echo "== fuzzing found nothing"
