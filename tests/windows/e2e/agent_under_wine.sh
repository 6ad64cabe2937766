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

work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-wine-e2e-XXXXXX")
host_pid=
cleanup() {
  if [[ -n "$host_pid" ]]; then kill "$host_pid" 2>/dev/null || true; fi
  for name in wine-tcp wine-pipe; do
    wine reg delete "HKLM\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\$name" /f >/dev/null 2>&1 || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for f in "$work"/*.out "$work"/*.err; do [[ -s "$f" ]] && { echo "--- $f"; cat "$f"; }; done
  exit 1
}

# A report that uses every kind of byte the direct-to-disk writer translates
# (the same as the Linux end-to-end test's).
printf '\r\nKOLVANE TRADING\x0e\x05Statement\r\n\x02A120\r\nItem\x09Amount\r\nRent\x0e\x03900.00\r\n\x14\x23\x01\x02\x03raw\r\n\fPage two\r\n\f' \
  >"$work/statement.vps"

# Waits until the host's output says it listens; prints that line.
wait_listening() {
  local out=$1
  for _ in $(seq 200); do
    if grep -q "vornhost: listening on" "$out" 2>/dev/null; then
      grep "vornhost: listening on" "$out"
      return 0
    fi
    kill -0 "$host_pid" 2>/dev/null || break
    sleep 0.1
  done
  fail "the host did not listen"
}

# Imports the profile NAME with COMMTYPE and PORT into the prefix's registry.
import_profile() {
  local name=$1 comm=$2 port=$3 out_dir
  out_dir=$(winepath -w "$work/$name")
  mkdir -p "$work/$name"
  cat >"$work/$name.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\$name]
"Machine"="localhost"
"CommType"="$comm"
"Port"="$port"
"Online"="ONL1"
"User"="prtuser"
"Location"="floor2"
"printerid"="LASER1"
"printername"="NoPrinterNeeded"
"PrintToFile"="yes"
"directtodisk"="yes"
"PTFPath"="${out_dir//\\/\\\\}\\\\"
"PTFOpt"=dword:00000002
REG
  wine regedit /S "$(winepath -w "$work/$name.reg")" || fail "regedit could not import $name"
}

# Runs the agent for profile NAME to its end, then checks the host and the file.
run_and_check() {
  local name=$1 host_out=$2 code=0
  # The service starts the agent with the command line /profile="<name>";
  # Wine would quote an argument holding quotes, a batch file passes it as it is.
  printf '@"%s" /profile="%s"\r\n@exit /b %%ERRORLEVEL%%\r\n' "$(winepath -w "$agent_exe")" "$name" >"$work/$name.bat"
  timeout 60 wine cmd /c "$(winepath -w "$work/$name.bat")" >"$work/$name-agent.out" 2>"$work/$name-agent.err" || code=$?
  [[ $code -eq 0 ]] || fail "$name: spoolagent.exe ended with $code"
  for _ in $(seq 100); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$host_pid" 2>/dev/null && fail "$name: the host did not end"
  wait "$host_pid" || fail "$name: the host ended with $?"
  host_pid=
  grep -q "wrong=0 missing=0" "$host_out" || fail "$name: not every message was acknowledged"
  cmp "$work/$name/Monthly statement.dat" "$golden" || fail "$name: the file differs from the Linux agent's"
  echo "ok: $name"
}

# 1. Over TCP to the Linux host.
"$linux_host" --port 0 --report "Monthly statement" "$work/statement.vps" --terminate 1 \
  >"$work/tcp-host.out" 2>"$work/tcp-host.err" &
host_pid=$!
port=$(wait_listening "$work/tcp-host.out" | sed -n 's/.*:\([0-9]*\).*/\1/p')
import_profile wine-tcp socket "$port"
run_and_check wine-tcp "$work/tcp-host.out"

# 2. Over the named pipe, both programs under Wine.
pipe=$((20000 + $$ % 10000))
wine "$host_exe" --pipe "$pipe" --report "Monthly statement" "$(winepath -w "$work/statement.vps")" --terminate 1 \
  >"$work/pipe-host.out" 2>"$work/pipe-host.err" &
host_pid=$!
wait_listening "$work/pipe-host.out" >/dev/null
import_profile wine-pipe pipe "$pipe"
run_and_check wine-pipe "$work/pipe-host.out"
