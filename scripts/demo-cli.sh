#!/usr/bin/env bash
# The main jobs on the command line against a simulated device started on a free local TCP port:
# identification and its registers, the configuration read in ISA-18.1 terms, an alarm raised in
# the field and acknowledged on the panel, and a firmware upload with its progress. A step whose
# command this build of vexcli does not have is skipped with a line saying so.
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
  exec 3>&- 2>/dev/null || true
  [ -n "$emu" ] && kill "$emu" 2>/dev/null && wait "$emu" 2>/dev/null
  rm -rf "$out"
}
trap cleanup EXIT
"$b/vexemu" --model "$model" --tcp 0 --bind 127.0.0.1 --control 0 >"$out/emu.txt" 2>"$out/emu.err" &
emu=$!
# the device names its port on a line "tcp 127.0.0.1:<port>", its control interface on a line
# "control 127.0.0.1:<port>"
addr=""
control=""
for _ in $(seq 50); do
  addr=$(sed -n 's/^tcp //p' "$out/emu.txt")
  control=$(sed -n 's/^control 127.0.0.1://p' "$out/emu.txt")
  [ -n "$addr" ] && [ -n "$control" ] && break
  if ! kill -0 "$emu" 2>/dev/null; then
    echo "the simulated device did not start:" >&2
    cat "$out/emu.err" >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$addr" ] || [ -z "$control" ]; then
  echo "the simulated device did not name its ports" >&2
  exit 1
fi
head -n 1 "$out/emu.txt"
exec 3<>"/dev/tcp/127.0.0.1/$control"

# True when this vexcli has the command: its help is that command's own ("Usage: vexcli config
# read ..."); a command it does not know answers with the help of the nearest one it has.
have() {
  local usage
  usage=$("$b/vexcli" "$@" --help 2>/dev/null | grep -m1 '^Usage:') || return 1
  [[ "$usage" == "Usage: vexcli $* "* || "$usage" == "Usage: vexcli $*" ]]
}
step() {
  echo
  echo "== $1"
}
skipped() { echo "(skipped: this vexcli has no \"$1\" command yet)"; }
run() {
  echo "+ vexcli $*"
  "$b/vexcli" "$@"
}
# One command to the simulated device's control interface; prints its reply.
field() {
  local reply
  echo "+ vexemu control: $*"
  printf '%s\n' "$*" >&3
  IFS= read -r -t 5 reply <&3 || reply="(no reply)"
  echo "  $reply"
}

# An application image in Intel HEX: the 8-byte header (the loader finishes its checksum and
# size; the version word $0554 is edition 5 of the Vex324, which its bootloader revision takes)
# and 2 KiB of code from address $0800.
app_hex() {
  local start=$((0x0800)) n=$((8 + 2048)) off a i k count sum line v
  printf ';PIC18F46K22\r\n'
  for ((off = 0; off < n; off += 16)); do
    a=$((start + off))
    count=$((n - off < 16 ? n - off : 16))
    sum=$((count + (a >> 8 & 255) + (a & 255)))
    line=$(printf ':%02X%04X00' "$count" "$a")
    for ((i = 0; i < count; i++)); do
      k=$((off + i))
      if ((k == 6)); then
        v=$((0x54))
      elif ((k == 7)); then
        v=$((0x05))
      elif ((k < 8)); then
        v=0
      else
        v=$(((k * 37 + 1) & 255))
      fi
      line+=$(printf '%02X' "$v")
      sum=$((sum + v))
    done
    printf '%s%02X\r\n' "$line" $(((256 - (sum & 255)) & 255))
  done
  printf ':00000001FF\r\n'
}

step "Identification"
run identify --tcp "$addr"
run read --tcp "$addr" 0 16

step "Configuration in ISA-18.1 terms"
if have config read; then
  run config read --tcp "$addr"
else
  skipped "config read"
fi

step "An alarm raised in the field and acknowledged on the panel"
if have monitor && have key; then
  field set 3
  sleep 0.5  # the device's detection time
  run monitor --once --tcp "$addr"
  run key ack --tcp "$addr"
  run monitor --once --tcp "$addr"
  field clear 3
else
  skipped "$(have monitor && echo key || echo monitor)"
fi

step "Firmware upload"
if have upload; then
  if [ "$model" = vex324 ]; then
    app_hex >"$out/app.hex"
    run upload --tcp "$addr" "$out/app.hex"
  else
    echo "(skipped: the demonstration image is one of the Vex324)"
  fi
else
  skipped upload
fi
