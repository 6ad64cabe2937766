#!/usr/bin/env bash
# Every program answers --version with the project's one version number, and
# a command line that is not exactly that request is read as it always was.
#   version_test.sh BIN_DIR VERSION
set -euo pipefail
bin=$1 version=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
export VORNPRINT_ROOT=$root
failures=0

# expect STATUS OUTPUT COMMAND...: the command ends with STATUS and prints OUTPUT.
expect() {
  local status=$1 expected=$2 out rc=0
  shift 2
  out=$("$@" 2>&1) || rc=$?
  if [[ $rc -ne $status || $out != "$expected" ]]; then
    echo "FAIL: $*: status $rc, printed: $out"
    failures=$((failures + 1))
  fi
}

for program in spoolagent VornPrintService spoolcmd vornhost vornrender vornpipe VornPrintProfiles; do
  expect 0 "$program (VornPrint) $version" "$bin/$program" --version
done

# spoolcmd's command word is taken without regard to case, and takes nothing after it.
expect 0 "spoolcmd (VornPrint) $version" "$bin/spoolcmd" --VERSION
expect 1 "*** error: called with too many parameters" "$bin/spoolcmd" --version now
# vornhost and vornrender take it among their options, before any check of the others.
expect 0 "vornhost (VornPrint) $version" "$bin/vornhost" --port 1 --version
# vornpipe takes it alone: with a request it is a usage error.
rc=0
"$bin/vornpipe" --version show >/dev/null || rc=$?
((rc == 2)) || { echo "FAIL: vornpipe --version show: status $rc"; failures=$((failures + 1)); }

# The agent reads a quoted "--version" as a profile's name, and the service
# started from a console with other arguments still writes its 1063 event.
expect 0 "" "$bin/spoolagent" '/profile="--version"'
expect 0 "" "$bin/VornPrintService" --version extra
events=$root/log/events.jsonl
grep -q '"couldn'"'"'t open registry key","SOFTWARE\\\\Kolvane\\\\VornPrint\\\\profiles\\\\--version"' "$events" ||
  { echo "FAIL: the agent did not look up the profile --version"; cat "$events"; failures=$((failures + 1)); }
grep -q '"StartServiceCtrlDispatcher error' "$events" ||
  { echo "FAIL: the service from a console wrote no 1063 event"; cat "$events"; failures=$((failures + 1)); }

((failures == 0)) || exit 1
echo "every program answers --version $version"
