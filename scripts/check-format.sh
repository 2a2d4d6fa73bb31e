#!/usr/bin/env bash
# Fails when any C++ source differs from what clang-format makes of it. The
# version is pinned: another clang-format formats some constructs differently,
# so this script does not fall back to one (scripts/install-deps.sh installs
# the pinned package).
set -euo pipefail
cd "$(dirname "$0")/.."
format=clang-format-14
if ! command -v "$format" >/dev/null; then
  echo "check-format: $format is missing (install the Debian package $format," >&2
  echo "              e.g. with scripts/install-deps.sh); no other version is used" >&2
  exit 1
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ ${#files[@]} -eq 0 ]; then exit 0; fi
"$format" --dry-run --Werror "${files[@]}"
