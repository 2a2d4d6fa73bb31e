#!/usr/bin/env bash
# The installed programs from an empty folder, under their own Xvfb: the
# installed simulator stands in for the receiver as COM1 in ~/Talvaro (HOME is
# a fresh folder); the desktop launcher's first start opens the setup window,
# which speaks, and Escape there ends it without a configuration or a panel;
# talvaro-setup --detect --write finds the simulator and writes TALVARO.CFG;
# the launcher then starts the installed panel there, which reaches the
# simulator, speaks, and Q ends it with EX last on the wire. Both speak with
# the installed clips (the working folder and the program's folder have
# none). Then
# the desktop entry is validated and each manual page rendered without a
# warning. PREFIX (first argument, default /usr) is where the tree is
# installed: a tree installed elsewhere with cmake --install works the same.
set -euo pipefail
prefix=${1:-/usr}
bin=$prefix/bin
home=$(mktemp -d /tmp/talvaro-install-XXXXXX)
work=$home/Talvaro
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ "${keep:-0}" = 1 ]; then echo "kept: $home"; else rm -rf "$home"; fi
}
trap cleanup EXIT
fail() {
  keep=1
  echo "installed smoke test FAILED: $*" >&2
  for log in "$work/sim.log" "$home/panel.out" "$home/setup.out"; do
    [ -f "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}
# Polls a command until it succeeds, at most $1 seconds.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}
# The commands the simulator received after the first $since log lines.
since=0
commands() { tail -n +$((since + 1)) "$work/sim.log" | grep -v '^[0-9.]* # ' | cut -d' ' -f2- | tr -d '\r'; }
polled() { commands | grep -qx LM; }
# Audio goes to a file: it holds sound only when clips were found (the working
# folder and the program's folder have none: they come from share/talvaro).
spoke() { [ -n "$(tr -d '\0' <"$home/audio.raw" 2>/dev/null | head -c 1)" ]; }
window_named() { timeout 30 xdotool search --sync --onlyvisible --name "$1" | head -n 1; }

mkdir -p "$work"
cd "$work"
"$bin/ar8600-sim" --link COM1 --log sim.log >"$home/sim.out" 2>&1 &
pids+=($!)
wait_until 15 test -L COM1 -a -f sim.log || fail "the simulator's link COM1"
if [ -e wave ] || [ -e "$bin/wave" ]; then fail "clips beside the working folder or the program"; fi
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$home/display" >"$home/xvfb.log" 2>&1 &
pids+=($!)
wait_until 20 grep -qs '^[0-9]*$' "$home/display" || fail "no X server"
display=$(cat "$home/display")
export DISPLAY=:$display SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$home/audio.raw

echo "-- first start from the desktop launcher: the setup window, left with Escape"
HOME=$home timeout 60 "$bin/talvaro-start" >"$home/setup.out" 2>&1 &
launcher=$!
pids+=("$launcher")
window=$(window_named 'AR8600 Talvaro Setup') || fail "no setup window"
xdotool windowfocus --sync "$window"
xdotool key --window "$window" Escape
wait "$launcher" || true
if [ -e TALVARO.CFG ] || [ -n "$(xdotool search --name 'AR8600 Talvaro Front Panel')" ]; then
  fail "the panel started, or a configuration was written, after Escape"
fi
spoke || fail "the setup program played no clip"

echo "-- talvaro-setup --detect --write"
"$bin/talvaro-setup" --detect --write >>"$home/setup.out" 2>&1 || fail "talvaro-setup exited with $?"
cmp -s <(head -n 2 TALVARO.CFG) <(printf 'PRT=COM1\r\nBAUDR=9600\r\n') || fail "TALVARO.CFG: $(head -2 TALVARO.CFG)"

echo "-- the panel from the desktop launcher"
since=$(wc -l <sim.log)
rm -f "$home/audio.raw"
HOME=$home timeout 120 "$bin/talvaro-start" >"$home/panel.out" 2>&1 &
panel=$!
pids+=("$panel")
window=$(window_named 'AR8600 Talvaro Front Panel') || fail "no panel window"
wait_until 60 polled || fail "the panel did not poll the receiver"
[ "$(commands | head -n 4 | tr '\n' ' ')" = "VA0145000000 MD1 ST012.50 AT0 " ] || fail "first commands: $(commands | head -4)"
spoke || fail "the panel played no clip"

xdotool windowfocus --sync "$window"
xdotool key --window "$window" q
status=0
wait "$panel" || status=$?
[ "$status" = 0 ] || fail "the panel exited with $status"
[ "$(commands | tail -n 1)" = EX ] || fail "last on the wire: $(commands | tail -n 1)"

echo "-- desktop entry and manual pages"
desktop-file-validate "$prefix/share/applications/talvaro.desktop" || fail "desktop-file-validate"
for page in talvaro talvaro-setup ar8600-sim; do
  warnings=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
done
echo "installed smoke test passed"
