#!/usr/bin/env bash
# Starts a simulated annunciator and talks to it with the command-line front end.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
b="$here/build"
if [ ! -x "$b/vexemu" ]; then
  echo "The simulated device is not built yet; the command line offers:"
  "$b/vexcli" --help
  exit 0
fi
"$b/vexemu" --model vex324 --tcp 1502 & emu=$!
trap 'kill $emu 2>/dev/null' EXIT
sleep 0.5
"$b/vexcli" identify --tcp 127.0.0.1:1502
"$b/vexcli" read --tcp 127.0.0.1:1502 0 16
