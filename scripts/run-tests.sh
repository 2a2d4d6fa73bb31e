#!/usr/bin/env bash
# The whole test suite from nothing: installs what is missing, checks the
# formatting, lints the shell and Python scripts, checks the tests stay at
# most 40 % of the code, builds with warnings as
# errors, runs every test (the ones that need a display start their own Xvfb),
# makes the Debian package, installs it and tries the installed programs,
# then builds and runs the tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings as errors there too), and last runs
# every fuzz target for FUZZ_SECONDS (default 20) each: any finding fails the
# run. Last, the Windows build and its tests under wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== formatting"
scripts/check-format.sh
echo "== lint"
scripts/check-lint.sh
echo "== test size"
scripts/check-test-size.sh

jobs=$(nproc)

echo "== build"
# Every language's clip set once, so that each is proved complete.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVARO_WERROR=ON -DTALVARO_CLIP_LANGUAGES=all
cmake --build build -j "$jobs"
echo "== tests"
(cd build && ctest --output-on-failure -j "$jobs")

echo "== Debian package, installed and tried"
# The package of this build installed on this machine (as root), then the
# installed programs tried from an empty folder (tests/install).
(cd build && cpack -G DEB)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
package=build/talvaro_${version}_$(dpkg --print-architecture).deb
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --reinstall "./$package"
tests/install/installed-smoke.sh /usr

echo "== sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALVARO_SANITIZE=ON -DTALVARO_BUILD_CLIPS=OFF \
  -DTALVARO_WERROR=ON
cmake --build build-asan -j "$jobs"
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j "$jobs" -LE e2e)

echo "== fuzzing (bounded time, AddressSanitizer and UndefinedBehaviorSanitizer, any finding fails)"
FUZZ_SECONDS=${FUZZ_SECONDS:-20} scripts/run-fuzz.sh

# ---------------------------------------------------------------- Windows
# The Windows program cross-built with mingw-w64 (and packed into dist/),
# then the core tests, the Win32 layer tests and the whole panel against the
# simulator under wine in Xvfb (tests/windows/wine_tests.py).
echo "== Windows build"
scripts/build-windows.sh talvaro-e2e talvaro_tests win32_probe
echo "== Windows tests under wine"
(cd build-windows && ctest --output-on-failure)

echo "== all tests passed"
