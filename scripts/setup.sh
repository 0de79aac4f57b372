#!/usr/bin/env bash
# Installs every Debian 12 package the project needs (idempotent), then configures and builds.
#   scripts/setup.sh            install + build (Release-ish, build/)
#   scripts/setup.sh --deps     install only
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

pkgs=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev        # GUI (Qt 6 Widgets)
  libgtest-dev libgmock-dev                        # unit tests
  libsimpleini-dev                                 # INI documents
  libcli11-dev                                     # command line
  nlohmann-json3-dev                               # vexcli --json output
  srecord                                          # cross-checks of image files (srec_cat)
  mbpoll                                           # independent Modbus master for emulator tests
  clang libclang-rt-14-dev                         # fuzzing (libFuzzer + ASan)
  clang-format
  xvfb xauth                                       # rendering windows without a display
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
[ "${1:-}" = "--deps" ] && exit 0

cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$here/build" -j"$(nproc)"
