#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program against a simulated device.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
if [ -x "$here/build/vexsim" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "$here/build/vexsim" --demo "$@"
fi
# No display (or no GUI build yet): show the link layer at work on the command line.
exec "$here/scripts/demo-cli.sh" "$@"
