#!/usr/bin/env python3
"""pdf_check.py catches what it checks: a PDF vornrender made passes; the
same PDF with one rule broken (each case below) fails on that rule, and with
a sound edit (SOUND) still passes.

    pdf_check_test.py   (VORN_BIN_DIR names the folder of vornrender)
"""
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "pdf_check.py")


def zero_first_glyph(qdf):
    """The CIDToGIDMap's entry for 'A' (code 0x41) set to glyph 0."""
    at = qdf.index(b"/CIDToGIDMap")
    ref = re.match(rb"/CIDToGIDMap (\d+) 0 R", qdf[at:]).group(1)
    start = qdf.index(b"stream\n", qdf.index(ref + b" 0 obj")) + len(b"stream\n")
    return qdf[: start + 0x82] + b"\0\0" + qdf[start + 0x84:]


CASES = [
    ("6.2.11.4 /Length1", lambda q: re.sub(rb"/Length1 \d+", b"", q)),
    ("6.2.11.5 widths", lambda q: re.sub(rb"(/W \[\s*\d+\s*\[\s*)[0-9.]+", rb"\g<1>500", q)),
    ("6.2.2 output intent", lambda q: q.replace(b"/GTS_PDFA1", b"/GTS_PDFX")),
    ("6.6.2 metadata matches Info", lambda q: q.replace(b"<xmp:CreateDate>20", b"<xmp:CreateDate>19")),
    ("6.6.4 pdfaid", lambda q: q.replace(b"<pdfaid:conformance>U<", b"<pdfaid:conformance>B<")),
    ("6.2.11.8 .notdef", zero_first_glyph),
    ("6.2.11.7.2 ToUnicode", lambda q: q.replace(b"<41> <0041>", b"<41> <0000>").replace(b"<41><0041>", b"<41><0000>")),
    ("6.1.3 /ID", lambda q: re.sub(rb"/ID \[[^]]*\]", b"", q)),
]

# Edits that keep the file sound: the check must still pass it.
# An identifier is random bytes, which now and then read as text.
SOUND = [
    ("an /ID that reads as text", lambda q: re.sub(rb"/ID \[[^]]*\]", b"/ID [<" + b"41" * 16 + b"><" + b"41" * 16 + b">]", q)),
]


def run_check(path):
    run = subprocess.run([sys.executable, CHECK, path], capture_output=True, text=True)
    return run.returncode, run.stdout


def main():
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        stream = os.path.join(folder, "a.vps")
        with open(stream, "wb") as f:
            f.write(b"ABC abc\n")
        good = os.path.join(folder, "good.pdf")
        subprocess.run([os.path.join(os.environ["VORN_BIN_DIR"], "vornrender"), "-o", good, stream], check=True,
                       capture_output=True)
        code, output = run_check(good)
        if code != 0:
            failures.append("the PDF as made fails: " + output)
        qdf = os.path.join(folder, "good.qdf.pdf")
        subprocess.run(["qpdf", "--qdf", "--object-streams=disable", good, qdf], check=True)
        with open(qdf, "rb") as f:
            source = f.read()
        for rule, edit in CASES + SOUND:
            changed = edit(source)
            if changed == source:
                failures.append(f"{rule}: the case changed nothing")
                continue
            edited = os.path.join(folder, "edited.pdf")
            fixed = os.path.join(folder, "fixed.pdf")
            with open(edited, "wb") as f:
                f.write(changed)
            with open(fixed, "wb") as f:
                subprocess.run(["fix-qdf", edited], stdout=f, check=True)
            code, output = run_check(fixed)
            if (rule, edit) in SOUND:
                if code != 0:
                    failures.append(f"{rule}: reported as a fault: {output.strip()}")
            elif code == 0 or f": {rule}: " not in output:
                failures.append(f"{rule}: not reported; the check said: {output.strip()}")
    for line in failures:
        print(line)
    print(f"pdf_check_test: {len(CASES) + len(SOUND) + 1 - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
