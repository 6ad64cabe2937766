#!/usr/bin/env bash
# spoolagent.exe under Wine printing through GDI: the Linux vornhost sends a
# two-page report over TCP, the profile prints it on a raw CUPS queue as Wine
# shows it, and Wine's PostScript driver renders it. The host must have had
# every message acknowledged, and the job must reach the queue's backend as
# PostScript with the document's name, two pages and the report's text, the
# second page turned to landscape (the agent resets the device between pages
# with the printer's merged device mode).
#   print_under_wine.sh SPOOLAGENT_EXE LINUX_VORNHOST
# Runs in the Wine prefix of WINEPREFIX against the private cupsd of
# CUPS_SERVER, whose raw queue VORN_WINE_CUPS_QUEUE writes each job into
# VORN_WINE_CUPS_OUTPUT (scripts/test starts one). Exits 77 (skipped) without
# them or without the Linux vornhost.
set -euo pipefail

agent_exe=$1 linux_host=$2
if [[ -z "${CUPS_SERVER:-}" || -z "${VORN_WINE_CUPS_QUEUE:-}" || ! -d "${VORN_WINE_CUPS_OUTPUT:-}" ]]; then
  echo "SKIPPED LOUDLY: no private cupsd with a raw queue (CUPS_SERVER, VORN_WINE_CUPS_QUEUE, VORN_WINE_CUPS_OUTPUT; scripts/test starts one)"
  exit 77
fi
if [[ ! -x "$linux_host" ]]; then
  echo "skipped: no Linux vornhost at $linux_host (build the default preset first)"
  exit 77
fi

source "$(dirname "$0")/agent_run.sh"
profile_names=(wine-print)
queue=$VORN_WINE_CUPS_QUEUE output=$VORN_WINE_CUPS_OUTPUT
before=$(ls "$output")

# A statement whose second page is landscape (the orientation selector
# \x02E1 before the form feed).
printf '\r\nKOLVANE TRADING\x0e\x05Statement\r\nItem\x09Amount\r\nRent\x0e\x03900.00\r\n\x02E1\fPage two\r\n\f' \
  >"$work/statement.vps"

"$linux_host" --port 0 --report "Monthly statement" "$work/statement.vps" --terminate 1 \
  >"$work/print-host.out" 2>"$work/print-host.err" &
host_pid=$!
port=$(wait_listening "$work/print-host.out" | sed -n 's/.*:\([0-9]*\).*/\1/p')
# Wine names a CUPS queue's printer after the queue.
import_profile wine-print socket "$port" <<REG
"printername"="$queue"
"PrintToFile"="no"
REG
run_agent wine-print "$work/print-host.out"

# cupsd hands the job to the backend after the agent's EndDoc.
job=
for _ in $(seq 100); do
  job=$(comm -13 <(echo "$before") <(ls "$output") | head -n 1)
  [[ -n "$job" ]] && break
  sleep 0.1
done
[[ -n "$job" ]] || fail "no job reached the queue $queue"
job=$output/$job

[[ $(head -c 4 "$job") == "%!PS" ]] || fail "the job is not PostScript: $(head -c 64 "$job" | od -c | head -n 3)"
grep -aqx '%%Title: Vorn: Monthly statement' "$job" || fail "the job does not carry the document's name: $(grep -a -m1 '%%Title' "$job")"
pages=$(grep -ac '^%%Page: ' "$job" || true)
[[ $pages -eq 2 ]] || fail "the job has $pages pages, not 2"

# Wine's driver turns a landscape page in its set-up: "-90 rotate".
page_rotation() {
  awk -v want="$1" '/^%%Page: / { page = $2 } page == want && $2 == "rotate" { print $1; exit }' "$job"
}
[[ $(page_rotation 1) == 0 ]] || fail "page 1 is not portrait: rotation $(page_rotation 1)"
[[ $(page_rotation 2) == -90 || $(page_rotation 2) == 90 ]] || fail "page 2 is not landscape: rotation $(page_rotation 2)"

# Wine's driver draws each character as a named glyph ("/K glyphshow"): the
# names of one page, single letters and spaces, spell its text.
page_text() {
  awk -v want="$1" '
    /^%%Page: / { page = $2 }
    page == want && $2 == "glyphshow" {
      name = substr($1, 2)
      if (length(name) == 1) text = text name
      else if (name == "space") text = text " "
    }
    END { print text }' "$job"
}
[[ $(page_text 1) == *"KOLVANE TRADING"* ]] || fail "page 1 does not show KOLVANE TRADING: $(page_text 1)"
[[ $(page_text 2) == *"Page two"* ]] || fail "page 2 does not show Page two: $(page_text 2)"
echo "ok: wine-print ($job: $pages pages)"
