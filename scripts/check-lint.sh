#!/usr/bin/env bash
# Lints every shell script with shellcheck and every Python script with
# pyflakes; any finding fails. Both are Debian packages (shellcheck,
# pyflakes3) that scripts/install-deps.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in shellcheck pyflakes3; do
  if ! command -v "$tool" >/dev/null; then
    echo "check-lint: $tool is missing (install the Debian package $tool," >&2
    echo "            e.g. with scripts/install-deps.sh)" >&2
    exit 1
  fi
done
mapfile -t shell_files < <(git ls-files 'scripts/*.sh' 'tools/*.sh' 'tests/*.sh' '.ci/run')
mapfile -t python_files < <(git ls-files 'scripts/*.py' 'tests/*.py' 'bench/*.py' 'tools/*.py')
status=0
if [ ${#shell_files[@]} -ne 0 ]; then shellcheck "${shell_files[@]}" || status=1; fi
if [ ${#python_files[@]} -ne 0 ]; then pyflakes3 "${python_files[@]}" || status=1; fi
if [ "$status" -ne 0 ]; then echo "check-lint: findings above" >&2; fi
exit "$status"
