#!/usr/bin/env bash
# The Debian package for real: built and checked with lintian, installed with
# dpkg -i, the service started by hand, one report printed through an agent
# on the built-in PDF printer, an upgrade in place that keeps the registry,
# the output and the running service, a removal that deletes the service and
# keeps the registry, and a purge that leaves nothing of the package behind.
# The machine is restored whatever fails. Needs root.
#   debian_package_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1 build_dir=$2

skip() { echo "SKIPPED: $*"; exit 77; }
[[ $(id -u) -eq 0 ]] || skip "installing a package needs root"
for tool in dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/setup test installs it)"
done
# Whether dpkg knows the package in any state but gone.
package_known() {
  local status
  status=$(dpkg-query -W -f='${db:Status-Status}' vornprint 2>/dev/null) || return 1
  [[ -n $status && $status != not-installed ]]
}
! package_known || skip "the package vornprint is on this machine; the test would replace it"
root=/var/lib/vornprint
[[ ! -e $root ]] || skip "$root exists (a service installed otherwise?); the test would remove it"
[[ ! -e /usr/lib/vornprint && ! -e /usr/sbin/spoolcmd ]] || skip "VornPrint programs are installed on this machine"

work=$(mktemp -d)
chmod 0755 "$work"
host_pid=
started=$SECONDS
export VORNPRINT_TIME_SCALE=20 PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

# Every process running one of the package's programs.
package_processes() {
  local exe pid
  for exe in /proc/[0-9]*/exe; do
    pid=${exe#/proc/}
    pid=${pid%/exe}
    [[ $(readlink "$exe" 2>/dev/null) == /usr/lib/vornprint/* || $(readlink "$exe" 2>/dev/null) == /usr/bin/vorn* ]] &&
      echo "$pid"
  done
  return 0
}

restore() {
  local status=$?
  [[ -n $host_pid ]] && kill "$host_pid" 2>/dev/null
  if package_known; then
    echo "restoring: purging vornprint"
    dpkg --purge vornprint >/dev/null 2>&1 || dpkg --purge --force-all vornprint >/dev/null 2>&1 || true
  fi
  # What the test started and did not stop.
  for pid in $(package_processes); do kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$root" "$work"
  [[ -z $man_db_flag ]] || touch "$man_db_flag"
  exit "$status"
}
trap restore EXIT

# man-db's index is rebuilt after every dpkg run, 20 seconds each: left
# alone while the test runs (man still finds the pages without it).
man_db_flag=
if [[ -e /var/lib/man-db/auto-update ]]; then
  man_db_flag=/var/lib/man-db/auto-update
  rm -f "$man_db_flag"
fi

fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do [[ -s $log ]] && { echo "--- $log"; cat "$log"; }; done
  [[ -f $root/log/events.jsonl ]] && { echo "--- events"; cat "$root/log/events.jsonl"; }
  exit 1
}
trap 'fail "line $LINENO"' ERR

# Waits up to $1 seconds for the command that follows to succeed.
within() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || fail "gave up waiting for: $*"
    sleep 0.1
  done
}
pdf_count() { find "$work/pdf" -name '*.pdf' | wc -l; }
has_pdfs() { (($(pdf_count) >= $1)); }
sent_reports() { (($(grep -c '^sent report=' "$work/host.log") >= $1)); }
agent_running() { /usr/sbin/spoolcmd show | grep -Eq '^ +[0-9]+ +running +LASER1$'; }

# 1. Built, and lintian reports no error and no warning.
"$source_dir/scripts/package-debian" --no-build --build "$build_dir" --output "$work" >"$work/package.log" 2>&1 ||
  fail "scripts/package-debian failed"
cat "$work/package.log"
deb=$(echo "$work"/vornprint_*_amd64.deb)
[[ -f $deb ]] || fail "no package was built"

# 2. Installed: spoolcmd on PATH, the service registered beside it, the unit enabled.
dpkg -i "$deb" >"$work/install.log" 2>&1 || fail "dpkg -i failed"
echo "installed after $((SECONDS - started)) s"
grep -q 'VornPrintService registered' "$work/install.log" || fail "the installation registered no service"
if [[ ! -d /run/systemd/system ]]; then
  grep -q 'no systemd running' "$work/install.log" || fail "the installation did not say what it skipped"
fi
[[ $(command -v spoolcmd) == /usr/sbin/spoolcmd ]] || fail "spoolcmd is not on the administrator's PATH"
for program in vornhost vornrender vornpipe; do
  [[ $(command -v $program) == /usr/bin/$program ]] || fail "$program is not on PATH"
done
grep -q '"ImagePath":"/usr/lib/vornprint/VornPrintService"' "$root/services/VornPrintService/config" ||
  fail "registration: $(cat "$root/services/VornPrintService/config")"
[[ $(stat -c '%a %U' "$root") == "755 root" ]] || fail "platform root: $(stat -c '%a %U' "$root")"
[[ -L /etc/systemd/system/multi-user.target.wants/vornprint.service ]] || fail "the unit is not enabled"
[[ $(man -w spoolcmd) == /usr/share/man/man8/spoolcmd.8.gz ]] || fail "no manual page for spoolcmd"

# 3. One profile on the built-in PDF printer, its host, and the service started by hand.
port=$((47000 + $$ % 1000))
mkdir -m 0755 "$work/pdf"
cat >"$root/registry.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolvane\\VornPrint\\profiles\\LASER1]
"Active"="yes"
"Machine"="localhost"
"CommType"="pipe"
"Port"="$port"
"Online"="ACCT"
"User"="PRTLASER"
"Location"="FLOOR2"
"printerid"="LASER1"
"printername"="VornPDF"

[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\VornPDF]
"Port"="$work/pdf"
REG
cp "$root/registry.reg" "$work/registry.before"
report=/usr/share/doc/vornprint/examples/session/01-invoice-2026-1142.vps
VORNPRINT_ROOT=$root vornhost --pipe "$port" --form STD --hold --keep-listening "$report" >"$work/host.log" 2>&1 &
host_pid=$!
within 10 grep -q 'listening on' "$work/host.log"
[[ $(spoolcmd start) == "  ok" ]] || fail "spoolcmd start"
within 30 sent_reports 1
within 30 has_pdfs 1
within 10 agent_running
pdfinfo "$work/pdf"/*.pdf | grep -q '^Pages: *[1-9]' || fail "the PDF has no page"
echo "printed: $(cd "$work/pdf" && ls)"

# 4. An upgrade in place: the running service is stopped and started again,
# the registry, the registration and the output stay.
dpkg -i "$deb" >"$work/upgrade.log" 2>&1 || fail "the upgrade failed"
grep -q 'registration kept' "$work/upgrade.log" || fail "the upgrade did not keep the registration"
grep -q 'VornPrintService started again' "$work/upgrade.log" || fail "the upgrade did not start the service again"
cmp -s "$root/registry.reg" "$work/registry.before" || fail "the upgrade changed the registry"
within 30 sent_reports 2
within 30 has_pdfs 2
within 10 agent_running

# 5. Stopped by hand; a removal deletes the service and keeps the registry.
spoolcmd stop >"$work/stop.log" || fail "spoolcmd stop"
grep -q '  ok$' "$work/stop.log" || fail "spoolcmd stop did not end with ok"
dpkg -r vornprint >"$work/remove.log" 2>&1 || fail "dpkg -r failed"
grep -q 'VornPrintService deleted' "$work/remove.log" || fail "the removal did not delete the service"
[[ ! -e $root/services/VornPrintService && -f $root/registry.reg ]] || fail "after the removal: $(ls -R "$root")"

# 6. Purged: no file, no service folder, no unit link, no process of the package.
dpkg --purge vornprint >"$work/purge.log" 2>&1 || fail "dpkg --purge failed"
! package_known || fail "dpkg still knows the package"
left=()
while read -r path; do
  path=/${path#./}
  [[ -e $path || -L $path ]] && [[ ! -d $path || $path == *vornprint* ]] && left+=("$path")
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t)
for path in "$root" /etc/systemd/system/multi-user.target.wants/vornprint.service \
  /etc/systemd/system/vornprint.service /var/lib/systemd/deb-systemd-helper-enabled/vornprint.service.dsh-also; do
  [[ -e $path || -L $path ]] && left+=("$path")
done
((${#left[@]} == 0)) || fail "left after the purge: ${left[*]}"
kill "$host_pid" 2>/dev/null || true
wait "$host_pid" 2>/dev/null || true
host_pid=
[[ -z $(package_processes) ]] || fail "processes left: $(package_processes)"
echo "installed, printed, upgraded, removed and purged in $((SECONDS - started)) s"
