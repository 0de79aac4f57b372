#!/usr/bin/env bash
# Starts a simulated device on a free local TCP port and talks to it with the command-line front
# end: identification, then its identification registers.
#   scripts/demo-cli.sh [--model vex324]      (VEX_BUILD chooses the build folder, default build/)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
b="${VEX_BUILD:-$here/build}"
model=vex324
while (($#)); do
  case "$1" in
    --model) model="${2:?--model needs a model key}"; shift 2 ;;
    --model=*) model="${1#--model=}"; shift ;;
    --demo) shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
for p in vexemu vexcli; do
  if [ ! -x "$b/$p" ]; then
    echo "$b/$p is not built yet (scripts/setup.sh builds it)" >&2
    exit 1
  fi
done

out=$(mktemp -d)
emu=""
cleanup() {
  [ -n "$emu" ] && kill "$emu" 2>/dev/null && wait "$emu" 2>/dev/null
  rm -rf "$out"
}
trap cleanup EXIT
"$b/vexemu" --model "$model" --tcp 0 --bind 127.0.0.1 >"$out/emu.txt" 2>"$out/emu.err" &
emu=$!
# the device names its port on a line "tcp 127.0.0.1:<port>"
addr=""
for _ in $(seq 50); do
  addr=$(sed -n 's/^tcp //p' "$out/emu.txt")
  [ -n "$addr" ] && break
  if ! kill -0 "$emu" 2>/dev/null; then
    echo "the simulated device did not start:" >&2
    cat "$out/emu.err" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$addr" ]; then
  echo "the simulated device did not name its port" >&2
  exit 1
fi
head -n 1 "$out/emu.txt"
echo "+ vexcli identify --tcp $addr"
"$b/vexcli" identify --tcp "$addr"
echo "+ vexcli read --tcp $addr 0 16"
"$b/vexcli" read --tcp "$addr" 0 16
