#!/usr/bin/env bash
# The Windows installer under Wine, in a prefix of its own: msiexec installs
# the programs in Program Files\VornPrint and registers VornPrintService with
# automatic start; spoolcmd.exe starts it, shows its agents and stops it; the
# service is started once more, and msiexec's uninstall stops it and leaves
# no service, no process and no installed file behind.
#   msi_under_wine.sh SOURCE_DIR WINDOWS_BIN_DIR VERSION
set -euo pipefail

source_dir=$1 bin_dir=$2 version=$3
scale=20
command -v wixl >/dev/null || { echo "SKIPPED: wixl is missing (scripts/setup test installs it)"; exit 77; }
source "$(dirname "$0")/service_prefix.sh"
source "$(dirname "$0")/spoolcmd_driver.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-wine-msi-XXXXXX")
cleanup() {
  service_prefix_end
  rm -rf "$work"
}
trap cleanup EXIT
trap 'fail "line $LINENO"' ERR

msi=$work/VornPrint-$version.msi
"$source_dir/packaging/windows/build-msi" "$bin_dir" "$version" "$msi" >"$work/build.out"
service_prefix_boot "$work/prefix" "$scale"
folder="$WINEPREFIX/drive_c/Program Files/VornPrint"
spoolcmd_exe=$folder/spoolcmd.exe
programs=(spoolcmd VornPrintService spoolagent VornPrintProfiles)
service_key='HKLM\SYSTEM\CurrentControlSet\Services\VornPrintService'

expect_stop() {
  spoolcmd stop
  [[ $rc -eq 0 && "$(cat "$work/spoolcmd.out")" =~ ^"  waiting for VornPrintService to stop "(". ")*"  ok"$ ]] ||
    fail "spoolcmd stop: $rc $(cat "$work/spoolcmd.out")"
}
service_processes() { pgrep -f "Program Files.VornPrint.VornPrintService.exe" || true; }

# 1. Installed: the files, and the service registered with automatic start.
wine msiexec /i "$(winepath -w "$msi")" /qn >"$work/install.out" 2>&1 || fail "msiexec /i failed"
for program in "${programs[@]}"; do
  [[ -f $folder/$program.exe ]] || fail "$program.exe was not installed"
done
for program in spoolcmd VornPrintService spoolagent; do
  out=$(wine "$folder/$program.exe" --version 2>/dev/null | tr -d '\r')
  [[ $out == "$program (VornPrint) $version" ]] || fail "$program.exe --version: $out"
done
wine reg query "$service_key" >"$work/service.out" 2>/dev/null || fail "no service was registered"
grep -Eq 'Start[[:space:]]+REG_DWORD[[:space:]]+0x2' "$work/service.out" || fail "the service does not start automatically"
grep -q 'Program Files\\VornPrint\\VornPrintService.exe' "$work/service.out" || fail "the service names another program"
echo "ok: installed, the service registered with automatic start"

# 2. Used: started, listed, stopped with the installed spoolcmd.exe.
expect_ok start
spoolcmd show
[[ $rc -eq 0 && "$(sed -n 2p "$work/spoolcmd.out")" == "There are 0 active VornPrintService printers:"* ]] ||
  fail "spoolcmd show: $rc $(cat "$work/spoolcmd.out")"
expect_stop
echo "ok: started, shown and stopped"

# 3. Started again, then uninstalled: the uninstaller stops and removes it.
expect_ok start
[[ -n $(service_processes) ]] || fail "the service does not run"
wine msiexec /x "$(winepath -w "$msi")" /qn >"$work/uninstall.out" 2>&1 || fail "msiexec /x failed"
[[ ! -e $folder ]] || fail "left in Program Files: $(ls -A "$folder")"
# A service deleted while its process ends goes with the process.
service_gone() { [[ -z $(service_processes) ]] && ! wine reg query "$service_key" >/dev/null 2>&1; }
for _ in $(seq 20); do service_gone && break; sleep 0.5; done
[[ -z $(service_processes) ]] || fail "the service still runs: $(service_processes)"
if wine reg query "$service_key" >/dev/null 2>&1; then fail "the service is still registered"; fi
echo "ok: uninstalled, no service, process or file left"
