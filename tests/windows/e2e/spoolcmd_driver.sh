# Shared by the scripts that drive an installed VornPrintService with
# spoolcmd.exe (sourced, bash). The sourcing script sets $work (its work
# folder, whose *.out files a failure shows) and $spoolcmd_exe.
#   spoolcmd ARGS...    runs spoolcmd.exe into $work/spoolcmd.out, its exit code in $rc
#   expect_ok ARGS...   spoolcmd ARGS must print "  ok" and end with 0
#   fail MESSAGE        says what failed with every output kept, and ends the script

fail() {
  echo "FAIL: $*"
  for f in "$work"/*.out; do [[ -s "$f" ]] && { echo "--- $f"; cat "$f"; }; done
  exit 1
}

spoolcmd() {
  rc=0
  wine "$spoolcmd_exe" "$@" >"$work/spoolcmd.out" 2>/dev/null || rc=$?
}

expect_ok() {
  spoolcmd "$@"
  [[ $rc -eq 0 && "$(cat "$work/spoolcmd.out")" == "  ok" ]] || fail "spoolcmd $*: $rc $(cat "$work/spoolcmd.out")"
}
