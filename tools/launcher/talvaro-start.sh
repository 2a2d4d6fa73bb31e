#!/bin/sh
# The desktop launcher: starts the panel in the user's working folder
# ~/Talvaro (made on first start), where its configuration, bank files and
# debug log are kept. When that folder has no TALVARO.CFG yet, the setup
# program runs there first, and the panel starts only if the setup saved one
# (leaving the setup with Escape ends here too).
#   talvaro-start           the panel, with the setup first when needed
#   talvaro-start --setup   the setup alone, in the same folder
# talvaro and talvaro-setup are taken from the launcher's own folder, so an
# installed tree works wherever it was put.
set -u
programs=$(dirname "$(readlink -f "$0")")
folder="${HOME:?}/Talvaro"

mkdir -p "$folder" && cd "$folder" || exit 1
case "${1:-}" in
  --setup) exec "$programs/talvaro-setup" ;;
  "") ;;
  *)
    echo "usage: talvaro-start [--setup]" >&2
    exit 2
    ;;
esac
if [ ! -f TALVARO.CFG ]; then
  "$programs/talvaro-setup"
  status=$?
  [ -f TALVARO.CFG ] || exit "$status"
fi
exec "$programs/talvaro"
