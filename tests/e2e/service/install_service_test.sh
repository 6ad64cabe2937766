#!/usr/bin/env bash
# scripts/install-service staged into a temporary folder: the programs side by
# side, the unit with the final paths (systemd supervising the service's own
# process, checked by systemd-analyze verify), the registration naming the
# final program, and a second run that keeps the registration.
set -euo pipefail
source_dir=$1
bin_dir=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

"$source_dir/scripts/install-service" --prefix /opt/vorn --root /srv/vornprint --destdir "$stage" --build "$bin_dir" >/dev/null
for program in spoolcmd VornPrintService spoolagent; do
  [[ -x $stage/opt/vorn/bin/$program ]] || { echo "missing $program"; exit 1; }
done
unit=$stage/etc/systemd/system/vornprint.service
grep -qx 'ExecStart=/opt/vorn/bin/spoolcmd start' "$unit"
grep -qx 'ExecStop=-/opt/vorn/bin/spoolcmd stop' "$unit"
grep -qx 'Environment=VORNPRINT_ROOT=/srv/vornprint' "$unit"
grep -qx 'Type=forking' "$unit"
grep -qx 'PIDFile=/srv/vornprint/services/VornPrintService/pid' "$unit"
grep -qx 'Restart=on-failure' "$unit"
grep -qx 'UMask=0027' "$unit"
! grep -q '^KillMode=' "$unit"  # the default: the whole control group
config=$stage/srv/vornprint/services/VornPrintService/config
expected='{"DisplayName":"VornPrintService","ImagePath":"/opt/vorn/bin/VornPrintService","Type":16,"Start":2,"ErrorControl":1}'
[[ $(cat "$config") == "$expected" ]] || { echo "registration: $(cat "$config")"; exit 1; }
"$source_dir/scripts/install-service" --prefix /opt/vorn --root /srv/vornprint --destdir "$stage" --build "$bin_dir" \
  | grep -q 'registration kept'
[[ $(cat "$config") == "$expected" ]]
echo "install-service staged: ok"

# The unit as systemd reads it, its programs where the stage has them: any
# word from systemd-analyze (an unknown key, a missing program) fails.
if ! command -v systemd-analyze >/dev/null; then
  echo "SKIPPED: systemd-analyze verify of the unit: systemd-analyze is not installed (scripts/setup installs it)"
  exit 77
fi
mkdir "$stage/verify"
sed "s|/opt/vorn/bin|$stage/opt/vorn/bin|g" "$unit" > "$stage/verify/vornprint.service"
report=$(systemd-analyze verify "$stage/verify/vornprint.service" 2>&1) || { echo "$report"; exit 1; }
[[ -z $report ]] || { echo "systemd-analyze verify: $report"; exit 1; }
echo "systemd-analyze verify: ok"
