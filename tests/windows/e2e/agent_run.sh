# Shared by the scripts that run spoolagent.exe under Wine against a host
# (sourced, bash): a work folder, profiles imported into the prefix's registry
# and removed again at the end, and one agent run checked on the host's side.
# The sourcing script has set agent_exe (spoolagent.exe) and sets
# profile_names to the profiles it imports.

work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-wine-e2e-XXXXXX")
host_pid=
profile_names=()
cleanup() {
  if [[ -n "$host_pid" ]]; then kill "$host_pid" 2>/dev/null || true; fi
  local name
  for name in "${profile_names[@]}"; do
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

# Imports the profile NAME with COMMTYPE and PORT into the prefix's registry;
# the lines of standard input are the rest of its values, in .reg syntax.
import_profile() {
  local name=$1 comm=$2 port=$3
  {
    printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\%s]\n' "$name"
    printf '"Machine"="localhost"\n"CommType"="%s"\n"Port"="%s"\n' "$comm" "$port"
    printf '"Online"="ONL1"\n"User"="prtuser"\n"Location"="floor2"\n"printerid"="LASER1"\n'
    cat
  } >"$work/$name.reg"
  wine regedit /S "$(winepath -w "$work/$name.reg")" || fail "regedit could not import $name"
}

# Runs the agent for profile NAME to its end; the host, whose output is
# HOST_OUT, must then end too, with every message acknowledged.
run_agent() {
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
}
