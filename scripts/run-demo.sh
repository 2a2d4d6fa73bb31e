#!/usr/bin/env bash
# The panel against the built-in receiver simulator: installs what is missing,
# builds the program, the simulator and the clips, prepares a demo folder with
# a configuration whose port 1 is linked to the simulator, and opens the panel.
# Closing the panel (or Q) stops the simulator too.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"

demo="$root/demo"
mkdir -p "$demo"
cd "$demo"
printf 'PRT=COM1\r\nBAUDR=9600\r\nMODEL=AR8600\r\nVOICE=1\r\nDEBUG=1\r\n' > TALVARO.CFG

sim_pid=""
if [ -x "$root/build/ar8600-sim" ]; then
  rm -f COM1
  "$root/build/ar8600-sim" --link "$demo/COM1" --scenario "$root/tools/ar8600-sim/demo.scenario" \
    --log "$demo/sim.log" &
  sim_pid=$!
  for _ in $(seq 50); do [ -e COM1 ] && break; sleep 0.1; done
fi
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true' EXIT

display_args=()
if [ -z "${DISPLAY:-}" ]; then
  echo "No DISPLAY set: start an X server (or run under xvfb-run) to see the panel." >&2
fi
"$root/build/talvaro" "${display_args[@]}"
