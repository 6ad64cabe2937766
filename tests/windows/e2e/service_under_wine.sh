#!/usr/bin/env bash
# VornPrintService.exe under Wine's service manager, driven by spoolcmd.exe:
# created, started, stopped and deleted, with the system's codes for each
# refusal (1056, 1060, 1062, 1073), an agent that ends started again
# after the restart delay of 60 seconds on the time scale, and the agents
# ending with a service that is killed outright.
#   service_under_wine.sh SPOOLCMD_EXE VORNHOST_EXE
# Works in a copy of the Wine prefix of WINEPREFIX (service_prefix.sh).
set -euo pipefail

spoolcmd_exe=$1 host_exe=$2
scale=20
source "$(dirname "$0")/service_prefix.sh"
source "$(dirname "$0")/spoolcmd_driver.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-wine-service-XXXXXX")
host_pid= hold_pid=
cleanup() {
  if [[ -n "$host_pid" ]]; then kill "$host_pid" 2>/dev/null || true; fi
  if [[ -n "$hold_pid" ]]; then kill "$hold_pid" 2>/dev/null || true; fi
  service_prefix_end
  rm -rf "$work"
}
trap cleanup EXIT
trap 'echo "FAIL: line $LINENO"' ERR
service_prefix_boot "$work/prefix" "$scale"

# spoolcmd ARGS... must end with 1 after the system's error CODE, as
#   *** error: TEXT,\n  last error: CODE <the system's text>\r\n\n
expect_error() {
  local code=$1 text=$2
  shift 2
  spoolcmd "$@"
  local expected_head
  expected_head=$(printf '*** error: %s,\n  last error: %s ' "$text" "$code")
  local out
  out=$(cat "$work/spoolcmd.out"; echo x)
  out=${out%x}
  [[ $rc -eq 1 && "${out:0:${#expected_head}}" == "$expected_head" && "$out" == *$'\r\n\n' &&
     "$(printf '%s' "$out" | wc -l)" -eq 3 ]] || fail "spoolcmd $*: $rc $out"
  echo "ok: spoolcmd $* gives $code"
}

# Waits until the host has seen COUNT attach requests; prints the second of the day then.
wait_attaches() { wait_attaches_of "$work/host.out" "$@"; }
wait_attaches_of() {
  local output=$1 count=$2
  for _ in $(seq 300); do
    if [[ $(grep -c "^attach connect-string=" "$output" 2>/dev/null) -ge $count ]]; then
      date +%s.%N
      return 0
    fi
    sleep 0.1
  done
  fail "the host of $output saw fewer than $count attach requests"
}

# The Linux process ids of this prefix's processes running PROGRAM (an .exe).
prefix_pids() {
  local program=$1 environ
  for environ in $(grep -lzxF "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ 2>/dev/null); do
    grep -qzF "$program" "${environ%/environ}/cmdline" 2>/dev/null && basename "${environ%/environ}"
  done
  return 0
}

# 1. The service's life cycle and the system's refusals.
expect_error 1060 "could not open service handle" start
expect_ok create
expect_error 1073 "failed to create service" create

# 2. One active profile whose host ends every agent it accepts: the service
# starts the agent, which ends, and starts it again after the delay.
pipe=$((30000 + $$ % 10000))
wine "$host_exe" --pipe "$pipe" --terminate 0 --keep-listening >"$work/host.out" 2>&1 &
host_pid=$!
# And one whose host keeps every agent it accepts.
hold_pipe=$((pipe + 10000))
wine "$host_exe" --pipe "$hold_pipe" --hold --keep-listening >"$work/hold.out" 2>&1 &
hold_pid=$!
out_dir=$(winepath -w "$work/files")
mkdir -p "$work/files"
cat >"$work/profile.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\A]
"Active"="yes"
"Machine"="localhost"
"CommType"="pipe"
"Port"="$pipe"
"Online"="ONL1"
"User"="prtuser"
"Location"="floor2"
"printerid"="LASER1"
"printername"="NoPrinterNeeded"
"PrintToFile"="yes"
"directtodisk"="yes"
"PTFPath"="${out_dir//\\/\\\\}\\\\"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\B]
"Active"="yes"
"Machine"="localhost"
"CommType"="pipe"
"Port"="$hold_pipe"
"Online"="ONL1"
"User"="prtuser"
"Location"="floor2"
"printerid"="LASER2"
"printername"="NoPrinterNeeded"
"PrintToFile"="yes"
"directtodisk"="yes"
"PTFPath"="${out_dir//\\/\\\\}\\\\"
REG
wine regedit /S "$(winepath -w "$work/profile.reg")" || fail "regedit could not import the profile"

expect_ok start
expect_error 1056 "failed to start service" start
first=$(wait_attaches 1)
second=$(wait_attaches 2)
restart_delay=$((60 / scale))
gap=$(awk -v a="$first" -v b="$second" 'BEGIN { printf "%.1f", b - a }')
# Started again after the delay, not at once (the agent's own start-up and
# the host's Terminate take well under a second).
awk -v gap="$gap" -v delay="$restart_delay" 'BEGIN { exit !(gap >= delay - 0.5 && gap < delay + 10) }' ||
  fail "the agent was started again after ${gap}s, not after ${restart_delay}s"
echo "ok: the ended agent was started again after ${gap}s (60 s at scale $scale)"

# 3. However the service ends, its agents end with it: VornPrintService.exe
# killed outright (SIGKILL: wineserver ends it as TerminateProcess does)
# takes its agents with it, through the job object it keeps them in. A new
# start serves the profiles again.
wait_attaches_of "$work/hold.out" 1 >/dev/null
service=$(prefix_pids VornPrintService.exe)
[[ $(wc -w <<<"$service") -eq 1 ]] || fail "not one VornPrintService.exe process: $service"
[[ -n $(prefix_pids spoolagent.exe) ]] || fail "no agent runs"
kill -KILL "$service"
for _ in $(seq 100); do
  [[ -z $(prefix_pids spoolagent.exe) ]] && break
  sleep 0.1
done
[[ -z $(prefix_pids spoolagent.exe) ]] || fail "agents outlived their service: $(prefix_pids spoolagent.exe)"
echo "ok: the killed service took its agents with it"
for _ in $(seq 100); do
  spoolcmd start
  [[ $rc -eq 0 ]] && break
  sleep 0.1
done
[[ $rc -eq 0 ]] || fail "spoolcmd start after the kill: $rc $(cat "$work/spoolcmd.out")"
wait_attaches_of "$work/hold.out" 2 >/dev/null
[[ $(wc -w <<<"$(prefix_pids spoolagent.exe)") -le 2 ]] || fail "more agents than profiles"
echo "ok: started again after the kill"

# 4. Stopped, refused a second stop, deleted, then gone.
spoolcmd stop
[[ $rc -eq 0 && "$(cat "$work/spoolcmd.out")" =~ ^"  waiting for VornPrintService to stop "(". ")*"  ok"$ ]] ||
  fail "spoolcmd stop: $rc $(cat "$work/spoolcmd.out")"
expect_error 1062 "could not stop service" stop
expect_ok delete
expect_error 1060 "could not open service handle" delete
echo "ok: created, started, stopped and deleted"
