#!/usr/bin/env bash
# VornPrintProfiles.exe under Wine writes the real registry: what it writes,
# Wine's own `reg query` reads back (texts as REG_SZ, the numbers as
# REG_DWORD, in the 64-bit view); what it exports, Wine's regedit imports;
# check, list, show and the refusals answer as on Linux.
#   profiles_under_wine.sh VORNPRINTPROFILES_EXE
# Runs in the Wine prefix of WINEPREFIX; removes the profiles it made.
set -euo pipefail

tool_exe=$1
if [[ ! -f "${WINEPREFIX:-$HOME/.wine}/system.reg" ]]; then
  echo "skipped: no Wine prefix at ${WINEPREFIX:-$HOME/.wine}"
  exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-wine-profiles-XXXXXX")
key='HKLM\SOFTWARE\Kolvane\VornPrint\profiles'
cleanup() {
  local name
  for name in VPPWINE1 VPPWINE2; do wine reg delete "$key\\$name" /f >/dev/null 2>&1 || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for f in "$work"/*.out "$work"/*.err; do [[ -s "$f" ]] && { echo "--- $f"; cat "$f"; }; done
  exit 1
}

# Runs the tool with the arguments; its output in $work/tool.out and tool.err,
# its exit status in $status.
tool() {
  status=0
  wine "$tool_exe" "$@" >"$work/tool.out" 2>"$work/tool.err" || status=$?
  tr -d '\r' <"$work/tool.out" >"$work/tool.txt"
}

expect() {
  local want=$1 text=$2
  [[ $status -eq $want ]] || fail "VornPrintProfiles exited with $status, not $want"
  if [[ -n $text ]]; then
    grep -qF -- "$text" "$work/tool.txt" "$work/tool.err" || fail "no \"$text\" in what VornPrintProfiles wrote"
  fi
}

# The type and data `reg query` shows for VALUE of PROFILE, e.g. "REG_DWORD 0x7".
queried() {
  wine reg query "$key\\$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name { $1 = ""; sub(/^ +/, ""); gsub(/ +/, " "); print }'
}

expect_value() {
  local got
  got=$(queried "$1" "$2")
  [[ $got == "$3" ]] || fail "reg query of $1 $2 shows \"$got\", not \"$3\""
}

tool add VPPWINE1 Machine=localhost Online=ACCT User=PRT Location=HALL printerid=VPPWINE1 \
  printername=NoSuchPrinter Port=5001 MainTray=7 AltTray=0x102
expect 0 "added VPPWINE1"
expect_value VPPWINE1 Machine "REG_SZ localhost"
expect_value VPPWINE1 MainTray "REG_DWORD 0x7"
expect_value VPPWINE1 AltTray "REG_DWORD 0x102"
echo "ok: add, read back by reg query"

tool add vppwine1
expect 1 'profile "vppwine1" exists'
tool set VPPWINE1 MainTray=70000
expect 1 "is not a number the agent takes (0 to 65535)"
tool set VPPWINE1 printername=$(printf 'p%.0s' $(seq 104))
expect 1 "the agent takes at most 103"
expect_value VPPWINE1 MainTray "REG_DWORD 0x7"
tool set VPPWINE1 PTFOpt=3 User=OTHER
expect 0 "set VPPWINE1: PTFOpt, User"
tool unset VPPWINE1 AltTray
expect 0 "unset VPPWINE1: AltTray"
tool activate VPPWINE1
expect 0 "activated VPPWINE1"
expect_value VPPWINE1 PTFOpt "REG_DWORD 0x3"
expect_value VPPWINE1 User "REG_SZ OTHER"
expect_value VPPWINE1 Active "REG_SZ yes"
[[ -z $(queried VPPWINE1 AltTray) ]] || fail "AltTray is still there"
echo "ok: set, unset, activate and the refusals"

tool show VPPWINE1
expect 0 "MainTray=7"
tool list
expect 0 "VPPWINE1"
tool check VPPWINE1
expect 1 'VPPWINE1: error: printername "NoSuchPrinter" is not a printer of this machine (1801)'
tool set VPPWINE1 PrintToFile=yes directtodisk=yes 'PTFPath=C:\windows\temp\vpp-'
tool check VPPWINE1
expect 0 "1 profile checked: none would fail to start"
echo "ok: show, list, check"

exported="$(winepath -w "$work/exported.reg")"
tool export VPPWINE1 "$exported"
expect 0 "exported 1 profile to"
head -c 2 "$work/exported.reg" | od -An -tx1 | grep -q "ff fe" || fail "the export is not UTF-16 with its mark"
tool remove VPPWINE1
expect 0 "removed VPPWINE1"
[[ -z $(queried VPPWINE1 Machine) ]] || fail "the profile is still there"
wine regedit /S "$exported" || fail "regedit could not import the export"
expect_value VPPWINE1 MainTray "REG_DWORD 0x7"
expect_value VPPWINE1 PTFPath 'REG_SZ C:\windows\temp\vpp-'
echo "ok: export, imported by regedit"

# The tool's own import, under another name, of the export made UTF-8.
iconv -f UTF-16 -t UTF-8 "$work/exported.reg" | sed -e 's/VPPWINE1\]/VPPWINE2]/' >"$work/second.reg"
tool import "$(winepath -w "$work/second.reg")"
expect 0 "imported VPPWINE2 (new)"
expect_value VPPWINE2 User "REG_SZ OTHER"
echo "ok: import"
