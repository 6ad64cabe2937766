#!/usr/bin/env bash
# The manual pages as the build made them: each one there, with the project's
# version in its footer, formatted by man without a single warning of groff's
# (what lintian checks too), and every page it refers to one of ours or the
# system's.
#   man_pages_test.sh MAN_DIR VERSION PAGE...
set -euo pipefail
man_dir=$1 version=$2
shift 2
if ! command -v scdoc >/dev/null; then
  echo "SKIPPED: scdoc is not installed, so no manual page was built (scripts/setup test installs it)"
  exit 77
fi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ours=" $* "
system_pages=" systemd.unit(5) regedit syslog(3) "

for page in "$@"; do
  file=$man_dir/man${page##*.}/$page
  [[ -f $file ]] || { fail "$page was not built"; continue; }
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null) || true
  [[ -z $warnings ]] || fail "$page: $warnings"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null | col -b)
  [[ $(tail -n 1 <<<"$text") == *"VornPrint $version"* ]] || fail "$page: no version $version in its footer"
  grep -q '^NAME' <<<"$text" && grep -q '^SEE ALSO' <<<"$text" || fail "$page: no NAME or SEE ALSO section"
  # Every reference NAME(N) in SEE ALSO names a page of ours.
  for ref in $(sed -n '/^SEE ALSO/,$p' <<<"$text" | grep -o '[A-Za-z-]*([158])'); do
    name=${ref%(*} section=${ref#*(}
    [[ $ours == *" $name.${section%)} "* || $system_pages == *" $ref "* ]] || fail "$page refers to $ref, which is no page"
  done
done

((failures == 0)) || exit 1
echo "$# manual pages build cleanly"
