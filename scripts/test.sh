#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the full build (core, emulator, command line, Qt application) and all its tests;
#   2. the core and emulator tests again under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)

"$here/scripts/setup.sh" --deps

# The code follows the committed clang-format configuration.
unformatted=$(cd "$here" && git ls-files '*.cpp' '*.h' 2>/dev/null |
  while read -r f; do clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || echo "$f"; done)
if [ -n "$unformatted" ]; then
  echo "Not formatted with clang-format (run clang-format -i on them):"; echo "$unformatted"; exit 1
fi

cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$here/build" -j"$jobs"
(cd "$here/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")

cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVEX_SANITIZE=ON -DVEX_CORE_ONLY=ON
cmake --build "$here/build-asan" -j"$jobs"
(cd "$here/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs")
