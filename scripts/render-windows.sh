#!/usr/bin/env bash
# Renders the program's windows as a user sees them: the view tests run under a virtual X server
# at 1366x768 and 1600x1000, with a window manager when one is installed (openbox), and save the
# pictures (whole screens included) in build/shots/<size>/.
#   scripts/render-windows.sh [gtest filter]      (VEX_BUILD chooses the build folder, default build/)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
b="${VEX_BUILD:-$here/build}"
filter="${1:-ProgramTest.*:MainViewTest.Rendered*:PortsViewTest.Rendered*:DemoTest.Rendered*}"
[ -x "$b/test_app" ] || { echo "$b/test_app is not built yet" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (scripts/setup.sh installs it)" >&2; exit 1; }
failed=0
for size in 1366x768 1600x1000; do
  out="$b/shots/$size"
  mkdir -p "$out"
  # the tests save into build/shots; each size gets its own copy
  rm -f "$b"/shots/*.png
  xvfb-run -a -s "-screen 0 ${size}x24" bash -c '
    if command -v openbox >/dev/null; then openbox >/dev/null 2>&1 & wm=$!; sleep 0.5; fi
    QT_QPA_PLATFORM=xcb "$1/test_app" --gtest_filter="$2"; rc=$?
    [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
    exit $rc' _ "$b" "$filter" || failed=1
  cp "$b"/shots/*.png "$out"/
  echo "pictures at $size: $out"
done
exit $failed
