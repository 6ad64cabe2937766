#!/usr/bin/env bash
# The control pipe of VornPrintService.exe under Wine against the Linux
# service's: the same profiles, the same show, run and kill requests (through
# spoolcmd and, byte by byte, through vornpipe), on both sides; the two
# transcripts must be identical once process ids are set aside.
#   pipe_under_wine.sh LINUX_BIN_DIR WINDOWS_BIN_DIR
# Both folders hold spoolcmd, VornPrintService, spoolagent, vornhost and
# vornpipe (.exe on Windows). The Windows side runs in a copy of the Wine
# prefix of WINEPREFIX (service_prefix.sh), the Linux side in a platform
# root of its own, both with the service's waits 20 times faster (a stop
# waits out a grace period). Exits 77 (skipped) without the Linux programs
# (the default build makes them).
set -euo pipefail

linux_bin=$1 windows_bin=$2
scale=20
source "$(dirname "$0")/service_prefix.sh"
for program in spoolcmd VornPrintService spoolagent vornhost vornpipe; do
  if [[ ! -x "$linux_bin/$program" ]]; then
    echo "skipped: no Linux $program in $linux_bin (build the default preset first)"
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-wine-pipe-XXXXXX")
side=
host_pids=()
service_created=
# Each side has pipe names of its own (its platform root, its prefix copy).
port_base=41000
profiles=(A B C)

# Failures go to the test's own output (3), also from inside the transcript.
exec 3>&1
fail() {
  {
    echo "FAIL ($side): $*"
    for f in "$work"/*.log; do [[ -s "$f" ]] && { echo "--- $f"; cat "$f"; }; done
  } >&3
  exit 1
}

# --- What differs between the two sides -----------------------------------

spoolcmd() {
  if [[ $side == linux ]]; then timeout 60 "$linux_bin/spoolcmd" "$@"; else
    timeout 60 wine "$windows_bin/spoolcmd.exe" "$@" 2>/dev/null; fi
}
vornpipe() {
  if [[ $side == linux ]]; then timeout 30 "$linux_bin/vornpipe" "$@"; else
    timeout 30 wine "$windows_bin/vornpipe.exe" "$@" 2>/dev/null; fi
}
start_host() {
  local port=$1 log=$2
  if [[ $side == linux ]]; then "$linux_bin/vornhost" --pipe "$port" --hold --keep-listening >"$log" 2>&1 &
  else wine "$windows_bin/vornhost.exe" --pipe "$port" --hold --keep-listening >"$log" 2>&1 & fi
  host_pids+=($!)
}
import_profiles() {
  local reg=$1
  if [[ $side == linux ]]; then cp "$reg" "$VORNPRINT_ROOT/registry.reg"; else
    wine regedit /S "$(winepath -w "$reg")" || fail "regedit could not import the profiles"; fi
}

# --- The same on both sides ---------------------------------------------------

cleanup_side() {
  if [[ -n $service_created ]]; then
    spoolcmd stop >/dev/null 2>&1 || true
    spoolcmd delete >/dev/null 2>&1 || true
    service_created=
  fi
  for pid in "${host_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  host_pids=()
}
trap 'cleanup_side; service_prefix_end; rm -rf "$work"' EXIT

# A, B active and C not; each has a host of its own that keeps its agent.
write_profiles() {
  local reg=$1 index=0
  printf 'REGEDIT4\n' >"$reg"
  for name in "${profiles[@]}"; do
    local active=yes
    [[ $name == C ]] && active=no
    cat >>"$reg" <<REG

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\$name]
"Active"="$active"
"Machine"="localhost"
"CommType"="pipe"
"Port"="$((port_base + index))"
"Online"="ONL1"
"User"="prtuser"
"Location"="floor2"
"printerid"="LASER1"
"printername"="NoPrinterNeeded"
"PrintToFile"="yes"
"directtodisk"="yes"
REG
    index=$((index + 1))
  done
}

# The profile names spoolcmd show lists as running, on one line.
running_names() { spoolcmd show | sed -n 's/^ *[0-9][0-9]*     running   //p' | tr '\n' ' '; }

# Waits until exactly the agents NAMES... run.
wait_running() {
  local expected="$* " got=
  for _ in $(seq 300); do
    got=$(running_names) || true
    [[ $got == "$expected" ]] && return 0
    sleep 0.1
  done
  fail "waited for the agents $expected to run; running: $got"
}

# Runs one command of the transcript: the command, what it printed (process
# ids set aside) and its exit code.
step() {
  local code=0 output
  output=$("$@" 2>&1) || code=$?
  printf '$ %s\n%s\nexit %d\n' "$*" "$output" "$code" |
    sed -E 's/^ +[0-9]+     running   /         <pid>     running   /'
}

# N zero bytes in hexadecimal.
zeros() { printf '00%.0s' $(seq "$1"); }

# Show, run and kill through both clients, and requests that are not well formed.
scenario() {
  local long_name
  long_name=$(printf 'N%.0s' $(seq 256))
  wait_running A B
  step spoolcmd show
  step vornpipe --zero-process-ids show
  step spoolcmd run /profile=C
  step vornpipe run C
  step vornpipe run NOSUCH
  step spoolcmd kill /profile=B
  wait_running A C
  step vornpipe --zero-process-ids show
  step spoolcmd kill /profile=B
  step vornpipe run B
  step vornpipe --zero-process-ids show
  step vornpipe kill C
  wait_running A B
  step vornpipe --zero-process-ids show
  step vornpipe run "$long_name"
  step vornpipe send "09000000$(zeros 4)"     # no such function
  step vornpipe send 02000000                  # too short for any request
  step vornpipe send "02000000$(zeros 21)"     # show of one slot: the header alone
  step vornpipe send "02000000$(zeros 24)"     # show whose length is not its name's
  step vornpipe send "03000000$(zeros 52)4142" # run, its name without its zero
  step spoolcmd show
}

run_side() {
  side=$1
  write_profiles "$work/profiles-$side.reg"
  import_profiles "$work/profiles-$side.reg"
  for index in 0 1 2; do start_host $((port_base + index)) "$work/host-$side-${profiles[$index]}.log"; done
  local out
  out=$(spoolcmd create) || fail "spoolcmd create: $out"
  service_created=yes
  out=$(spoolcmd start) || fail "spoolcmd start: $out"
  scenario >"$work/$side.transcript"
  cleanup_side
  echo "ok: the $side service answered the scenario"
}

(
  trap cleanup_side EXIT
  export VORNPRINT_ROOT="$work/root" VORNPRINT_TIME_SCALE=$scale
  mkdir -p "$VORNPRINT_ROOT"
  run_side linux
)
service_prefix_boot "$work/prefix" "$scale"
run_side wine

if ! diff -u "$work/linux.transcript" "$work/wine.transcript" >"$work/transcripts.diff"; then
  echo "FAIL: the Windows service answered differently (- Linux, + Windows):"
  cat "$work/transcripts.diff"
  exit 1
fi
cat "$work/wine.transcript"
echo "ok: spoolcmd's outputs and the pipe replies are the same on Linux and Windows"
