#!/usr/bin/env python3
"""Checks PDF files as an archive would take them: qpdf --check without a
warning, and the PDF/A-2u rules the printer's PDFs are written to meet.

    pdf_check.py [--allow-empty] FILE_OR_FOLDER...
                 (a folder: every file in it, recursively; --allow-empty: no
                 file at all, or a folder that does not exist, is no fault)

Prints one line per fault ("file: rule: detail") and a closing count; exits 1
when a file has a fault. The rules, by clause of ISO 19005-2:
  6.1.2   header %PDF-1.n (n <= 7) and a binary comment of four bytes above 127
  6.1.3   trailer /ID of two strings; no /Encrypt
  6.1.13  no string above 32767 bytes, no name above 127 bytes
  6.2.2   output intent /GTS_PDFA1 with an RGB ICC profile (/N 3, version <= 4)
  6.2.8   no image with /Interpolate true, no /Alternates
  6.2.11.3 composite fonts: CIDSystemInfo of the CMap and the CIDFont agree,
          embedded CMaps carry the same /WMode as their dictionary,
          CIDFontType2 has a /CIDToGIDMap
  6.2.11.4 every font embedded; FontFile2 with /Length1 (ISO 32000-1)
  6.2.11.5 /W equal to the advances in the font program's hmtx table
  6.2.11.7 ToUnicode for every font, no value 0, U+FEFF or U+FFFE
  6.2.11.8 no character shown with the .notdef glyph (glyph 0)
  6.6.2   the catalog's /Metadata (unfiltered XML) states pdfaid part 2,
          conformance U, and repeats the Info dictionary: title, creator,
          producer, creation and modification dates
"""
import base64
import datetime
import json
import os
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

faults = []


def fault(path, rule, detail):
    faults.append(f"{path}: {rule}: {detail}")


def qpdf_json(path, decoded):
    args = ["qpdf", "--json=2", "--json-stream-data=inline" if decoded else "--json-stream-data=none"]
    if not decoded:
        args.append("--decode-level=none")
    run = subprocess.run(args + [path], capture_output=True)
    if run.returncode not in (0, 3):
        raise RuntimeError(run.stderr.decode(errors="replace"))
    return json.loads(run.stdout)["qpdf"][1]


class Pdf:
    def __init__(self, path):
        self.path = path
        self.objects = qpdf_json(path, True)
        self.raw = qpdf_json(path, False)

    def get(self, ref):
        return self.objects.get("obj:" + ref) if isinstance(ref, str) and ref.endswith(" R") else None

    def value(self, ref):
        """A referenced object's value (a stream's dictionary), or the direct value."""
        obj = self.get(ref)
        if obj is None:
            return ref
        return obj["stream"]["dict"] if "stream" in obj else obj["value"]

    def raw_dict(self, ref):
        obj = self.raw.get("obj:" + ref, {})
        return obj["stream"]["dict"] if "stream" in obj else obj.get("value", {})

    def data(self, ref):
        obj = self.get(ref)
        return base64.b64decode(obj["stream"]["data"]) if obj and "stream" in obj else b""


def text(value):
    """A qpdf JSON string ("u:…" or "b:hex") as Python text."""
    if isinstance(value, str) and value.startswith("u:"):
        return value[2:]
    if isinstance(value, str) and value.startswith("b:"):
        raw = bytes.fromhex(value[2:])
        return raw[2:].decode("utf-16-be") if raw[:2] == b"\xfe\xff" else raw.decode("latin-1")
    return value


def pdf_date(value):
    m = re.fullmatch(r"D:(\d{4})(\d\d)(\d\d)(\d\d)(\d\d)(\d\d)(Z|[+-]\d\d'\d\d'?)?", text(value) or "")
    if not m:
        return None
    return datetime.datetime(*map(int, m.groups()[:6]))


def xmp_date(value):
    m = re.fullmatch(r"(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)(?:\.\d+)?(Z|[+-]\d\d:\d\d)?", value or "")
    return datetime.datetime(*map(int, m.groups()[:6])) if m else None


# --- font programs -------------------------------------------------------------

def advances(program):
    """Units per em and the advance of each glyph, from an sfnt's head, hhea and hmtx."""
    count = struct.unpack(">H", program[4:6])[0]
    tables = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack(">4sIII", program[12 + 16 * i: 28 + 16 * i])
        tables[tag] = program[offset: offset + length]
    units = struct.unpack(">H", tables[b"head"][18:20])[0]
    metrics = struct.unpack(">H", tables[b"hhea"][34:36])[0]
    hmtx = tables[b"hmtx"]
    widths = [struct.unpack(">H", hmtx[4 * i: 4 * i + 2])[0] for i in range(metrics)]
    return units, widths


def cmap_codes(program):
    """An embedded CMap's code -> CID mapping (one-byte codes)."""
    source = program.decode("latin-1")
    mapping = {}
    for block in re.findall(r"begincidrange(.*?)endcidrange", source, re.S):
        for lo, hi, cid in re.findall(r"<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>\s*(\d+)", block):
            for code in range(int(lo, 16), int(hi, 16) + 1):
                mapping[code] = int(cid) + code - int(lo, 16)
    for block in re.findall(r"begincidchar(.*?)endcidchar", source, re.S):
        for code, cid in re.findall(r"<([0-9A-Fa-f]+)>\s*(\d+)", block):
            mapping[int(code, 16)] = int(cid)
    return mapping


def unicode_values(program):
    values = []
    for block in re.findall(r"beginbfchar(.*?)endbfchar", program.decode("latin-1"), re.S):
        values += [int(v, 16) for _, v in re.findall(r"<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>", block)]
    return values


def widths_of(w):
    out = {}
    i = 0
    while i < len(w):
        first = w[i]
        if isinstance(w[i + 1], list):
            for k, width in enumerate(w[i + 1]):
                out[first + k] = width
            i += 2
        else:
            for cid in range(first, w[i + 1] + 1):
                out[cid] = w[i + 2]
            i += 3
    return out


# --- content streams -----------------------------------------------------------

TOKEN = re.compile(rb"\s*(?:(%[^\r\n]*)|(\()|(<<|>>|\[|\])|(<[0-9A-Fa-f\s]*>)|(/[^\s/\[\]()<>{}%]*)|([^\s/\[\]()<>{}%]+))")


def literal(data, at):
    """The bytes of the literal string opening at data[at] ('('), and where it ends."""
    out = bytearray()
    depth = 1
    i = at + 1
    escapes = {ord("n"): 10, ord("r"): 13, ord("t"): 9, ord("b"): 8, ord("f"): 12}
    while depth:
        c = data[i]
        if c == 0x5C:
            n = data[i + 1]
            if n in escapes:
                out.append(escapes[n]); i += 2
            elif 0x30 <= n <= 0x37:
                m = re.match(rb"[0-7]{1,3}", data[i + 1: i + 4])
                out.append(int(m.group(), 8) & 0xFF); i += 1 + len(m.group())
            elif n in (10, 13):
                i += 2
            else:
                out.append(n); i += 2
            continue
        if c == 0x28:
            depth += 1
        elif c == 0x29:
            depth -= 1
            if not depth:
                break
        out.append(c); i += 1
    return bytes(out), i + 1


def shown_strings(content):
    """(font resource name, string bytes) for every string a text operator shows."""
    stack, font, at = [], None, 0
    while at < len(content):
        m = TOKEN.match(content, at)
        if not m or m.end() == at:
            break
        at = m.end()
        if m.group(1):
            continue
        if m.group(2):
            value, at = literal(content, m.start(2))
            stack.append(value)
        elif m.group(3) in (b"[",):
            stack.append("[")
        elif m.group(3) == b"]":
            items = []
            while stack and stack[-1] != "[":
                items.insert(0, stack.pop())
            if stack:
                stack.pop()
            stack.append(items)
        elif m.group(3):
            stack.append(m.group(3))
        elif m.group(4):
            stack.append(bytes.fromhex(re.sub(rb"\s", b"", m.group(4)[1:-1]).decode()))
        elif m.group(5):
            stack.append(m.group(5).decode("latin-1"))
        else:
            word = m.group(6)
            if re.fullmatch(rb"[-+]?[0-9.]+", word):
                stack.append(float(word))
                continue
            if word == b"Tf" and len(stack) >= 2:
                font = stack[-2]
            elif word in (b"Tj", b"'", b'"') and stack and isinstance(stack[-1], bytes):
                yield font, stack[-1]
            elif word == b"TJ" and stack and isinstance(stack[-1], list):
                for item in stack[-1]:
                    if isinstance(item, bytes):
                        yield font, item
            stack.clear()


# --- the checks ------------------------------------------------------------------

def check_structure(path):
    run = subprocess.run(["qpdf", "--check", path], capture_output=True, text=True)
    output = run.stdout + run.stderr
    if run.returncode != 0 or "WARNING" in output.upper():
        fault(path, "qpdf --check", output.strip().replace("\n", " | "))
    with open(path, "rb") as f:
        head = f.read(64)
    lines = head.split(b"\n")
    m = re.fullmatch(rb"%PDF-1\.([0-9])", lines[0].rstrip(b"\r"))
    if not m or int(m.group(1)) > 7:
        fault(path, "6.1.2 header", lines[0])
    if len(lines) < 2 or not lines[1].startswith(b"%") or sum(b > 127 for b in lines[1][1:5]) < 4:
        fault(path, "6.1.2 binary comment", lines[1:2])


def check_archive(path):
    pdf = Pdf(path)
    trailer = pdf.objects["trailer"]["value"]
    ids = trailer.get("/ID")
    # qpdf shows a string as "u:" when its bytes happen to read as text, so a
    # random identifier may come either way.
    if not (isinstance(ids, list) and len(ids) == 2 and all(str(i)[:2] in ("u:", "b:") for i in ids)):
        fault(path, "6.1.3 /ID", ids)
    if "/Encrypt" in trailer:
        fault(path, "6.1.3 /Encrypt", "encrypted")
    info = pdf.value(trailer.get("/Info", ""))
    catalog = pdf.value(trailer["/Root"])

    # Output intent.
    intents = [pdf.value(i) for i in catalog.get("/OutputIntents", [])]
    pdfa = [i for i in intents if i.get("/S") == "/GTS_PDFA1"]
    if len(pdfa) != 1:
        fault(path, "6.2.2 output intent", intents)
    else:
        profile_ref = pdfa[0].get("/DestOutputProfile")
        profile = pdf.data(profile_ref)
        if pdf.value(profile_ref).get("/N") != 3 or len(profile) < 128 or profile[36:40] != b"acsp" or \
                profile[16:20] != b"RGB " or profile[8] > 4 or struct.unpack(">I", profile[:4])[0] != len(profile):
            fault(path, "6.2.2 ICC profile", "not an RGB ICC profile of version 4 or below")

    # Metadata against the Info dictionary.
    metadata_ref = catalog.get("/Metadata")
    if not metadata_ref:
        fault(path, "6.6.2 metadata", "no /Metadata")
    else:
        if "/Filter" in pdf.raw_dict(metadata_ref) or pdf.value(metadata_ref).get("/Subtype") != "/XML":
            fault(path, "6.6.2 metadata", "filtered, or not /Subtype /XML")
        packet = pdf.data(metadata_ref)
        if not packet.startswith(b"<?xpacket begin="):
            fault(path, "6.6.2 metadata", "no xpacket header")
        ns = {"rdf": "http://www.w3.org/1999/02/22-rdf-syntax-ns#", "dc": "http://purl.org/dc/elements/1.1/",
              "xmp": "http://ns.adobe.com/xap/1.0/", "pdf": "http://ns.adobe.com/pdf/1.3/",
              "pdfaid": "http://www.aiim.org/pdfa/ns/id/"}
        root = ET.fromstring(re.sub(rb"<\?xpacket[^>]*\?>", b"", packet))
        find = lambda p: (root.find(".//" + p, ns).text if root.find(".//" + p, ns) is not None else None)
        if find("pdfaid:part") != "2" or find("pdfaid:conformance") != "U":
            fault(path, "6.6.4 pdfaid", (find("pdfaid:part"), find("pdfaid:conformance")))
        pairs = [("dc:title/rdf:Alt/rdf:li", "/Title", text), ("xmp:CreatorTool", "/Creator", text),
                 ("pdf:Producer", "/Producer", text), ("xmp:CreateDate", "/CreationDate", None),
                 ("xmp:ModifyDate", "/ModDate", None)]
        for xmp_name, info_name, convert in pairs:
            xmp_value = find(xmp_name)
            if info_name not in info:
                fault(path, "6.6.2 Info", f"no {info_name}")
                continue
            same = xmp_value == convert(info[info_name]) if convert else \
                xmp_date(xmp_value) is not None and xmp_date(xmp_value) == pdf_date(info[info_name])
            if not same:
                fault(path, "6.6.2 metadata matches Info", f"{xmp_name}={xmp_value!r} {info_name}={info[info_name]!r}")

    # Pages: images, fonts, the characters shown.
    fonts = {}
    for key, obj in pdf.objects.items():
        if not key.startswith("obj:") or "value" not in obj or not isinstance(obj["value"], dict):
            continue
        page = obj["value"]
        if page.get("/Type") != "/Page":
            continue
        resources = pdf.value(page.get("/Resources", {}))
        for name, ref in pdf.value(resources.get("/XObject", {})).items():
            image = pdf.value(ref)
            if image.get("/Interpolate") is True or "/Alternates" in image or "/SMask" in image:
                fault(path, "6.2.8 image", f"{name}: {image}")
        page_fonts = pdf.value(resources.get("/Font", {}))
        for name, ref in page_fonts.items():
            fonts.setdefault(ref, set())
        contents = page.get("/Contents")
        for ref in contents if isinstance(contents, list) else [contents]:
            for font_name, string in shown_strings(pdf.data(ref)):
                ref = page_fonts.get(font_name)
                if ref is None:
                    fault(path, "content", f"text in an unknown font {font_name}")
                else:
                    fonts[ref].update(string)
    for ref, codes in fonts.items():
        check_font(path, pdf, ref, codes)


def check_font(path, pdf, ref, codes):
    font = pdf.value(ref)
    if font.get("/Subtype") != "/Type0":
        fault(path, "6.2.11.4 font", f"{ref}: {font.get('/Subtype')} (the writer makes Type 0 fonts only)")
        return
    cid_font = pdf.value(font["/DescendantFonts"][0])
    descriptor = pdf.value(cid_font["/FontDescriptor"])
    program_ref = descriptor.get("/FontFile2") or descriptor.get("/FontFile3")
    if not program_ref:
        fault(path, "6.2.11.4 embedded", f"{ref}: no font program")
        return
    program = pdf.data(program_ref)
    if "/FontFile2" in descriptor and pdf.value(program_ref).get("/Length1") != len(program):
        fault(path, "6.2.11.4 /Length1", f"{ref}: {pdf.value(program_ref).get('/Length1')} for {len(program)} bytes")
    if "/FontFile3" in descriptor and pdf.value(program_ref).get("/Subtype") != "/OpenType":
        fault(path, "6.2.11.4 FontFile3", f"{ref}: not /OpenType")

    encoding = font.get("/Encoding")
    if isinstance(encoding, str) and encoding.endswith(" R"):
        cmap_dict = pdf.value(encoding)
        cmap = pdf.data(encoding)
        mapping = cmap_codes(cmap)
        system = cmap_dict.get("/CIDSystemInfo", {})
        cid_system = cid_font.get("/CIDSystemInfo", {})
        if (text(system.get("/Registry")), text(system.get("/Ordering"))) != \
                (text(cid_system.get("/Registry")), text(cid_system.get("/Ordering"))) or \
                cid_system.get("/Supplement", 0) > system.get("/Supplement", 0):
            fault(path, "6.2.11.3.1 CIDSystemInfo", f"{ref}: CMap {system} CIDFont {cid_system}")
        wmode = re.search(rb"/WMode\s+(\d)", cmap)
        if int(wmode.group(1) if wmode else 0) != cmap_dict.get("/WMode", 0):
            fault(path, "6.2.11.3.3 WMode", ref)
    else:
        mapping = None  # Identity-H: two-byte codes, not what the writer makes
        fault(path, "encoding", f"{ref}: {encoding}")
        return
    if cid_font.get("/Subtype") == "/CIDFontType2":
        to_gid = cid_font.get("/CIDToGIDMap")
        if to_gid is None:
            fault(path, "6.2.11.3.2 CIDToGIDMap", ref)
            return
        table = None if to_gid == "/Identity" else pdf.data(to_gid)
        gid_of = (lambda cid: cid) if table is None else \
            (lambda cid: struct.unpack(">H", table[2 * cid: 2 * cid + 2])[0] if 2 * cid + 2 <= len(table) else 0)
    else:
        gid_of = lambda cid: cid

    units, glyph_widths = advances(program)
    widths = widths_of(cid_font.get("/W", []))
    for code in sorted(codes):
        cid = mapping.get(code)
        gid = gid_of(cid) if cid is not None else 0
        if gid == 0:
            fault(path, "6.2.11.8 .notdef", f"{ref}: code {code:#04x} shows glyph 0")
            continue
        advance = glyph_widths[min(gid, len(glyph_widths) - 1)] * 1000 / units
        if cid not in widths or abs(widths[cid] - advance) > 0.001:
            fault(path, "6.2.11.5 widths", f"{ref}: code {code:#04x} /W {widths.get(cid)} font {advance:.3f}")

    to_unicode = font.get("/ToUnicode")
    if not to_unicode:
        fault(path, "6.2.11.7.2 ToUnicode", f"{ref}: none")
    elif any(v in (0, 0xFEFF, 0xFFFE) for v in unicode_values(pdf.data(to_unicode))):
        fault(path, "6.2.11.7.2 ToUnicode", f"{ref}: maps to 0, U+FEFF or U+FFFE")


def pdf_files(arguments):
    for argument in arguments:
        if os.path.isdir(argument):
            for folder, _, names in os.walk(argument):
                for name in sorted(names):
                    yield os.path.join(folder, name)
        else:
            yield argument


def main():
    arguments = sys.argv[1:]
    allow_empty = "--allow-empty" in arguments
    arguments = [a for a in arguments if a != "--allow-empty"]
    count = 0
    for path in pdf_files(a for a in arguments if not allow_empty or os.path.exists(a)):
        count += 1
        try:
            check_structure(path)
            check_archive(path)
        except Exception as error:  # a file the checks cannot read is a fault too
            fault(path, "unreadable", repr(error))
    for line in faults:
        print(line)
    bad = len({line.split(": ")[0] for line in faults})
    print(f"pdf_check: {count - bad} passed, {bad} failed")
    return 1 if faults or (count == 0 and not allow_empty) else 0


if __name__ == "__main__":
    sys.exit(main())
