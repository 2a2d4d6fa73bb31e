#!/usr/bin/env bash
# The panel against the built-in receiver simulator, for trying it by ear:
# installs what is missing, builds the program, the simulator and the voice
# clips, prepares demo/ with a configuration whose port 1 is linked to the
# simulator, and opens the panel there. Closing the panel (or Q) stops the
# simulator too. The bank files and the state record stay in demo/ for the
# next run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVARO_BUILD_PROGRAM=ON -DTALVARO_BUILD_CLIPS=ON
cmake --build build -j "$(nproc)" --target talvaro ar8600-sim clips

# Without a desktop the panel still runs, on a virtual X display of its own;
# a VNC viewer (x11vnc -display :N) or xdotool can reach it there.
xvfb_pid=""
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  number=77
  while [ -e "/tmp/.X${number}-lock" ]; do number=$((number + 1)); done
  Xvfb ":$number" -screen 0 1280x800x24 -nolisten tcp > /dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$number"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${number}" ] && break; sleep 0.1; done
  echo "run-demo: no display was set; the panel runs on the virtual display $DISPLAY"
  echo "          (view it with: x11vnc -display $DISPLAY, type into it with: DISPLAY=$DISPLAY xdotool key ...)"
fi

demo="$root/demo"
mkdir -p "$demo"
cd "$demo"
printf 'PRT=COM1\r\nBAUDR=9600\r\nMODEL=AR8600\r\nVOICE=1\r\nDEBUG=1\r\n' > TALVARO.CFG

# The simulator makes COM1 a link to its terminal once the terminal is ready,
# and removes the link when it stops.
rm -f COM1
"$root/build/ar8600-sim" --link "$demo/COM1" --scenario "$root/tools/ar8600-sim/demo.scenario" \
  --log "$demo/sim.log" --control "$demo/sim.control" > "$demo/sim.out" 2>&1 &
sim_pid=$!

# Both are called only through the traps below, which shellcheck does not follow.
# shellcheck disable=SC2317
stop_sim() {
  if kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
# shellcheck disable=SC2317
stop_all() {
  stop_sim
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

for _ in $(seq 100); do
  [ -L COM1 ] && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then break; fi
  sleep 0.1
done
if [ ! -L COM1 ]; then
  echo "run-demo: the receiver simulator did not start:" >&2
  cat "$demo/sim.out" >&2
  exit 1
fi

cat <<EOF
The panel is opening, talking to the simulated receiver (its scenario is
tools/ar8600-sim/demo.scenario: signals on 145.2125, 145.5 and 145.8 MHz,
memory bank A filled). Try: 1 4 5 . 5 Enter to tune, F to hear the
frequency, M the signal, R to search 145-146 MHz, Enter to end it, G A Enter
to scan the receiver's bank A, H for spoken help, Q to quit.
Working folder: $demo (debug1.dat is the panel's log, sim.log the receiver's).
EOF

status=0
"$root/build/talvaro" || status=$?
exit "$status"
