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

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'EOF'
run-demo: there is no display to open the panel on (neither DISPLAY nor
WAYLAND_DISPLAY is set). The demo is a window you listen to and type into:
run it from a desktop session, or over ssh with X forwarding:

    ssh -X you@this-machine
    cd talvaro && scripts/run-demo.sh

On a machine without a desktop, start an X server with a VNC view of it and
point DISPLAY at it, for example:

    Xvfb :5 -screen 0 1280x800x24 &
    x11vnc -display :5 &            # then connect a VNC viewer
    DISPLAY=:5 scripts/run-demo.sh
EOF
  exit 2
fi

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVARO_BUILD_PROGRAM=ON -DTALVARO_BUILD_CLIPS=ON
cmake --build build -j "$(nproc)" --target talvaro ar8600-sim clips

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

stop_sim() {
  if kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
trap stop_sim EXIT
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
