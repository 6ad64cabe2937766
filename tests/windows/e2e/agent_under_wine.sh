#!/usr/bin/env bash
# spoolagent.exe under Wine against a real host: the Linux vornhost over TCP,
# then vornhost.exe under Wine over the named pipe \\.\pipe\termlink-<Port>.
# Each time the host sends a report that the profile writes direct to disk;
# the file must match the Linux agent's reviewed one byte for byte, and the
# host must have had every message acknowledged.
#   agent_under_wine.sh SPOOLAGENT_EXE VORNHOST_EXE LINUX_VORNHOST GOLDEN_FILE
# Runs in the Wine prefix of WINEPREFIX. Exits 77 (skipped) without the Linux
# vornhost (the default build makes it).
set -euo pipefail

agent_exe=$1 host_exe=$2 linux_host=$3 golden=$4
if [[ ! -x "$linux_host" ]]; then
  echo "skipped: no Linux vornhost at $linux_host (build the default preset first)"
  exit 77
fi

source "$(dirname "$0")/agent_run.sh"
profile_names=(wine-tcp wine-pipe)

# A report that uses every kind of byte the direct-to-disk writer translates
# (the same as the Linux end-to-end test's).
printf '\r\nKOLVANE TRADING\x0e\x05Statement\r\n\x02A120\r\nItem\x09Amount\r\nRent\x0e\x03900.00\r\n\x14\x23\x01\x02\x03raw\r\n\fPage two\r\n\f' \
  >"$work/statement.vps"

# Imports the direct-to-disk profile NAME with COMMTYPE and PORT.
import_disk_profile() {
  local name=$1 out_dir
  out_dir=$(winepath -w "$work/$name")
  mkdir -p "$work/$name"
  import_profile "$@" <<REG
"printername"="NoPrinterNeeded"
"PrintToFile"="yes"
"directtodisk"="yes"
"PTFPath"="${out_dir//\\/\\\\}\\\\"
"PTFOpt"=dword:00000002
REG
}

# Runs the agent for profile NAME to its end, then checks the host and the file.
run_and_check() {
  local name=$1
  run_agent "$@"
  cmp "$work/$name/Monthly statement.dat" "$golden" || fail "$name: the file differs from the Linux agent's"
  echo "ok: $name"
}

# 1. Over TCP to the Linux host.
"$linux_host" --port 0 --report "Monthly statement" "$work/statement.vps" --terminate 1 \
  >"$work/tcp-host.out" 2>"$work/tcp-host.err" &
host_pid=$!
port=$(wait_listening "$work/tcp-host.out" | sed -n 's/.*:\([0-9]*\).*/\1/p')
import_disk_profile wine-tcp socket "$port"
run_and_check wine-tcp "$work/tcp-host.out"

# 2. Over the named pipe, both programs under Wine.
pipe=$((20000 + $$ % 10000))
wine "$host_exe" --pipe "$pipe" --report "Monthly statement" "$(winepath -w "$work/statement.vps")" --terminate 1 \
  >"$work/pipe-host.out" 2>"$work/pipe-host.err" &
host_pid=$!
wait_listening "$work/pipe-host.out" >/dev/null
import_disk_profile wine-pipe pipe "$pipe"
run_and_check wine-pipe "$work/pipe-host.out"
