#!/usr/bin/env python3
"""Generates the agent's two error name tables from the Windows SDK headers
shipped by mingw-w64 (Debian package mingw-w64-common).

    generate_error_names.py [--include-dir DIR] [--output-dir DIR]
    generate_error_names.py [--include-dir DIR] --check DIR

The first form writes result_code_names.inc and system_error_names.inc into
the output folder (default: agent/diag next to this script's repository).
The second regenerates them into a temporary folder and compares them with
the files in DIR: exit status 0 when they are current, 1 when they differ,
77 (skipped) when the SDK headers are not installed.

Both tables are sorted by code, one entry a line, `{0x........u, "NAME"},`,
so that C++ code can include them into a constant array and search it with
std::lower_bound.

Selection rules
---------------
Only numeric definitions are taken: `__MSABI_LONG(n)`, `_HRESULT_TYPEDEF_(n)`,
`((HRESULT)n)`, a plain literal, and olectl.h's `STD_CTL_SCODE(n)`. Aliases
(a definition naming another symbol) and range markers (names ending in
`_FIRST` or `_LAST`) are never taken, so every code keeps the one name the
header gives it.

Result codes (392): the codes of the COM/OLE families of the classic SDK,
looked up by the full 32-bit code. For each facility a code is taken when its
name has one of the facility's prefixes and the code lies in one of the
facility's ranges (RESULT_RULES below):

  NULL      37  S_OK, S_FALSE; E_... and CO_E_... from 0x80000000 to
                0x80004021 (CO_E_NOT_SUPPORTED), and E_UNEXPECTED 0x8000FFFF
  RPC       49  RPC_E_... from 0x80010001 to 0x8001011F (RPC_E_TIMEOUT), and
                RPC_E_UNEXPECTED 0x8001FFFF
  DISPATCH  41  DISP_E_... up to 0x80020010 (DISP_E_BADCALLEE); all TYPE_E_...
  STORAGE   42  STG_E_... below 0x80030200; STG_S_... 0x00030200..0x00030203
  ITF      112  every family: success codes 0x00040000..0x000401FF (OLE_S_...
                to MK_S_...), failure codes 0x80040000..0x800401FF except the
                later registry/category/class store block 0x80040156..0x8004016F
  WIN32      4  the E_... codes that winerror.h defines in facility 7
  WINDOWS   12  CO_S_NOTALLINTERFACES 0x00080012; 0x80080000..0x80080011
  SSPI      33  NTE_... up to 0x80090021 (NTE_SYS_ERR)
  CONTROL   40  CTL_E_... (olectl.h: winerror.h has no FACILITY_CONTROL codes)
  CERT      22  TRUST_E_..., DIGSIG_E_..., CERT_E_... up to 0x800B010D

System error codes (676): ERROR_..., RPC_S_..., RPC_X_..., EPT_S_... and OR_...
codes of the classic Windows NT blocks (SYSTEM_RANGES below), 0 to 6118.
"""

import argparse
import filecmp
import os
import re
import sys
import tempfile

DEFAULT_INCLUDE_DIR = "/usr/share/mingw-w64/include"
RESULT_FILE = "result_code_names.inc"
SYSTEM_FILE = "system_error_names.inc"

# facility: (expected count, name prefixes, inclusive code ranges)
RESULT_RULES = {
    0: (37, ("S_", "E_", "CO_E_"),
        [(0x00000000, 0x00000001), (0x80000000, 0x80004021), (0x8000FFFF, 0x8000FFFF)]),
    1: (49, ("RPC_E_",),
        [(0x80010001, 0x8001011F), (0x8001FFFF, 0x8001FFFF)]),
    2: (41, ("DISP_E_", "TYPE_E_"),
        [(0x80020000, 0x80020010), (0x80028000, 0x8002FFFF)]),
    3: (42, ("STG_E_", "STG_S_"),
        [(0x80030000, 0x800301FF), (0x00030200, 0x00030203)]),
    4: (112, ("",),
        [(0x00040000, 0x000401FF), (0x80040000, 0x80040155), (0x80040170, 0x800401FF)]),
    7: (4, ("E_",),
        [(0x80070000, 0x8007FFFF)]),
    8: (12, ("CO_S_", "CO_E_", "MK_E_", "MEM_E_"),
        [(0x00080012, 0x00080012), (0x80080000, 0x80080011)]),
    9: (33, ("NTE_",),
        [(0x80090001, 0x80090021)]),
    10: (40, ("CTL_E_",),
         [(0x800A0000, 0x800AFFFF)]),
    11: (22, ("TRUST_E_", "DIGSIG_E_", "CERT_E_"),
         [(0x800B0000, 0x800B010D)]),
}
RESULT_TOTAL = 392

SYSTEM_PREFIXES = ("ERROR_", "RPC_S_", "RPC_X_", "EPT_S_", "OR_")
SYSTEM_RANGES = [
    (0, 216),        # base system codes up to ERROR_EXE_MACHINE_TYPE_MISMATCH
    (229, 299),      # pipes, extended attributes, partial copy
    (317, 317),      # ERROR_MR_MID_NOT_FOUND
    (487, 487),      # ERROR_INVALID_ADDRESS
    (534, 536),      # arithmetic overflow, pipe connected/listening
    (994, 999),      # I/O completion and paging
    (1000, 1078),    # stack, registry, services up to ERROR_DUPLICATE_SERVICE_NAME
    (1100, 1132),    # tape, disk and device
    (1150, 1159),    # application loading, DDE, handles
    (1200, 1241),    # network connections
    (1300, 1395),    # security
    (1400, 1460),    # window manager up to ERROR_TIMEOUT
    (1500, 1503),    # event log
    (1700, 1918),    # RPC, printing, OR_ codes
    (2000, 2005),    # GDI
    (2100, 2999),    # network redirector
    (3000, 3006),    # print monitors and processors
    (4000, 4006),    # WINS
    (6118, 6118),    # ERROR_NO_BROWSER_SERVERS_FOUND
]
SYSTEM_TOTAL = 676

# Codes the tables must carry under these names (listed in the diagnostics'
# documentation and tests).
RESULT_EXAMPLES = {
    0x00000000: "S_OK", 0x00000001: "S_FALSE", 0x8000000A: "E_PENDING",
    0x8000FFFF: "E_UNEXPECTED", 0x80004005: "E_FAIL", 0x80040154: "REGDB_E_CLASSNOTREG",
    0x80070005: "E_ACCESSDENIED", 0x80070006: "E_HANDLE", 0x8007000E: "E_OUTOFMEMORY",
    0x80070057: "E_INVALIDARG", 0x00080012: "CO_S_NOTALLINTERFACES", 0x800A02EA: None,
}
SYSTEM_EXAMPLES = {
    0: "ERROR_SUCCESS", 2: "ERROR_FILE_NOT_FOUND", 5: "ERROR_ACCESS_DENIED",
    1801: "ERROR_INVALID_PRINTER_NAME", 6118: "ERROR_NO_BROWSER_SERVERS_FOUND",
}

DEFINE = re.compile(r"^\s*#\s*define\s+([A-Za-z_][A-Za-z0-9_]*)\s+(.*?)\s*$")
NUMBER = r"(0[xX][0-9A-Fa-f]+|\d+)[uUlL]*"
VALUE_FORMS = [
    re.compile(r"^__MSABI_LONG\(" + NUMBER + r"\)$"),
    re.compile(r"^_HRESULT_TYPEDEF_\(" + NUMBER + r"\)$"),
    re.compile(r"^\(\(HRESULT\)" + NUMBER + r"\)$"),
    re.compile(r"^" + NUMBER + r"$"),
]
HRESULT_FORMS = (1, 2)  # indexes of VALUE_FORMS that mark a result code
CTL_FORM = re.compile(r"^STD_CTL_SCODE\((\d+)\)$")


class GeneratorError(Exception):
    pass


def read_defines(path):
    """Yields (name, value, is_hresult) for each numeric definition."""
    with open(path, encoding="latin-1") as header:
        for line in header:
            match = DEFINE.match(line)
            if not match:
                continue
            name, text = match.groups()
            text = re.sub(r"/\*.*?\*/|//.*$", "", text).strip()
            if name.endswith("_FIRST") or name.endswith("_LAST"):
                continue
            ctl = CTL_FORM.match(text)
            if ctl:
                yield name, 0x800A0000 | int(ctl.group(1)), True
                continue
            for index, form in enumerate(VALUE_FORMS):
                value = form.match(text)
                if value:
                    yield name, int(value.group(1), 0) & 0xFFFFFFFF, index in HRESULT_FORMS
                    break


def in_ranges(code, ranges):
    return any(low <= code <= high for low, high in ranges)


def add_unique(table, code, name, what):
    if code in table and table[code] != name:
        raise GeneratorError(f"{what} 0x{code:08x} has two names: {table[code]}, {name}")
    table[code] = name


def select_result_codes(winerror, olectl):
    table = {}
    per_facility = {facility: 0 for facility in RESULT_RULES}
    sources = [(n, v, h) for n, v, h in read_defines(winerror)]
    sources += [(n, v, h) for n, v, h in read_defines(olectl) if n.startswith("CTL_E_")]
    for name, code, is_hresult in sources:
        if not is_hresult:
            continue
        facility = (code >> 16) & 0x1FFF
        rule = RESULT_RULES.get(facility)
        if rule is None:
            continue
        _, prefixes, ranges = rule
        if not name.startswith(prefixes) or not in_ranges(code, ranges):
            continue
        if code not in table:
            per_facility[facility] += 1
        add_unique(table, code, name, "result code")
    for facility, (expected, _, _) in RESULT_RULES.items():
        if per_facility[facility] != expected:
            raise GeneratorError(
                f"facility {facility}: {per_facility[facility]} result codes, expected {expected}")
    if len(table) != RESULT_TOTAL:
        raise GeneratorError(f"{len(table)} result codes, expected {RESULT_TOTAL}")
    for code, name in RESULT_EXAMPLES.items():
        if name is None:
            if code not in table:
                raise GeneratorError(f"result code 0x{code:08x} missing")
        elif table.get(code) != name:
            raise GeneratorError(f"result code 0x{code:08x} is {table.get(code)}, expected {name}")
    return table


def select_system_codes(winerror):
    table = {}
    for name, code, is_hresult in read_defines(winerror):
        if is_hresult or not name.startswith(SYSTEM_PREFIXES):
            continue
        if in_ranges(code, SYSTEM_RANGES):
            add_unique(table, code, name, "system error code")
    if len(table) != SYSTEM_TOTAL:
        raise GeneratorError(f"{len(table)} system error codes, expected {SYSTEM_TOTAL}")
    if max(table) >= 9000:
        raise GeneratorError("system error code at or above 9000")
    for code, name in SYSTEM_EXAMPLES.items():
        if table.get(code) != name:
            raise GeneratorError(f"system error code {code} is {table.get(code)}, expected {name}")
    return table


def render(table, comment):
    lines = [
        "// Generated by tools/errnames/generate_error_names.py; do not edit.",
        f"// {comment}",
    ]
    lines += [f'{{0x{code:08x}u, "{name}"}},' for code, name in sorted(table.items())]
    return "\n".join(lines) + "\n"


def generate(include_dir, output_dir):
    winerror = os.path.join(include_dir, "winerror.h")
    olectl = os.path.join(include_dir, "olectl.h")
    results = select_result_codes(winerror, olectl)
    systems = select_system_codes(winerror)
    os.makedirs(output_dir, exist_ok=True)
    outputs = {
        RESULT_FILE: render(results, f"{len(results)} result codes by full 32-bit code."),
        SYSTEM_FILE: render(systems, f"{len(systems)} system error codes by code."),
    }
    for file_name, text in outputs.items():
        with open(os.path.join(output_dir, file_name), "w", encoding="ascii", newline="\n") as out:
            out.write(text)


def main():
    repository = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--include-dir", default=DEFAULT_INCLUDE_DIR)
    parser.add_argument("--output-dir", default=os.path.join(repository, "agent", "diag"))
    parser.add_argument("--check", metavar="DIR",
                        help="compare freshly generated tables with those in DIR")
    args = parser.parse_args()

    for header in ("winerror.h", "olectl.h"):
        if not os.path.isfile(os.path.join(args.include_dir, header)):
            print(f"{header} not found in {args.include_dir} (install mingw-w64-common); "
                  "skipping", file=sys.stderr)
            return 77
    try:
        if not args.check:
            generate(args.include_dir, args.output_dir)
            return 0
        with tempfile.TemporaryDirectory() as fresh:
            generate(args.include_dir, fresh)
            stale = [name for name in (RESULT_FILE, SYSTEM_FILE)
                     if not os.path.isfile(os.path.join(args.check, name))
                     or not filecmp.cmp(os.path.join(fresh, name),
                                        os.path.join(args.check, name), shallow=False)]
        if stale:
            print("out of date: " + ", ".join(stale) +
                  " (run tools/errnames/generate_error_names.py)", file=sys.stderr)
            return 1
        print("error name tables are current")
        return 0
    except GeneratorError as error:
        print(f"error: {error}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
