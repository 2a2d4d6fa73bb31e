#!/usr/bin/env bash
# The test suite's size against the code's: non-blank lines of C++ and Python
# under tests/ may be at most 40 % of the code lines (C++, Python and shell)
# under src/ and tools/. A larger
# suite fails the check; scripts/mutation-score.py tells whether a smaller one
# still catches the faults.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
  local folders=("${@:2}")
  find "${folders[@]}" -type f -regex "$1" -print0 | xargs -0 cat | grep -cv '^[[:space:]]*$'
}

tests=$(count '.*\.\(cpp\|h\|py\)' tests)
code=$(count '.*\.\(cpp\|h\|py\|sh\)' src tools)
limit=$((code * 40 / 100))
echo "test lines: $tests, code lines: $code, limit (40 %): $limit ($((tests * 100 / code)) % now)"
if ((tests > limit)); then
  echo "the tests have grown past 40 % of the code: fold restated cases into tables or scenarios" >&2
  exit 1
fi
