# Shared by the scripts that run VornPrintService.exe under Wine's service
# manager (sourced, bash): a copy of the Wine prefix of WINEPREFIX (default
# ~/.wine) for the service alone, booted with the time scale in its system
# environment (the service manager hands its services the environment it
# read at boot) and without any profile the other tests left in the registry.
#   service_prefix_boot COPY SCALE   exports WINEPREFIX=COPY and boots it
#   service_prefix_end               ends the copy's wineserver
# The sourcing script removes COPY with its work folder.

service_prefix_copy=

service_prefix_boot() {
  local copy=$1 scale=$2 source_prefix=${WINEPREFIX:-$HOME/.wine}
  if [[ ! -f "$source_prefix/system.reg" ]]; then
    echo "skipped: no Wine prefix at $source_prefix"
    exit 77
  fi
  # From here on the end concerns the copy, never the prefix it comes from.
  service_prefix_copy=$copy
  # Other tests may be changing the prefix meanwhile: a file that goes away
  # while it is copied is no loss, the registry files are what counts.
  cp -a "$source_prefix" "$copy" 2>"$copy.copy-errors" || echo "note: $(head -3 "$copy.copy-errors")"
  rm -f "$copy.copy-errors"
  [[ -f "$copy/system.reg" && -f "$copy/user.reg" ]] || { echo "FAIL: could not copy the prefix"; exit 1; }
  # The time scale in the system environment, after the key's own option lines.
  awk -v scale="$scale" '
    { print }
    /^\[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment\]/ { inKey = 1; next }
    inKey && !/^#/ { inKey = 0 }
    inKey && /^#time=/ { print "\"VORNPRINT_TIME_SCALE\"=\"" scale "\""; inKey = 0 }
  ' "$source_prefix/system.reg" >"$copy/system.reg"
  grep -q VORNPRINT_TIME_SCALE "$copy/system.reg" || { echo "FAIL: could not set the time scale in the prefix"; exit 1; }
  export WINEPREFIX=$copy
  # One server for the copy's whole life: a server that ended between two
  # commands (on a loaded machine) would boot the service manager again,
  # which starts every service of automatic start by itself.
  wineserver -p >/dev/null 2>&1 </dev/null &
  wineboot >/dev/null 2>&1
  wine reg delete 'HKLM\SOFTWARE\Kolvane\VornPrint\profiles' /f >/dev/null 2>&1 || true
}

service_prefix_end() {
  [[ -n $service_prefix_copy ]] || return 0
  WINEPREFIX=$service_prefix_copy wineserver -k 2>/dev/null || true
  WINEPREFIX=$service_prefix_copy wineserver -w 2>/dev/null || true
}
