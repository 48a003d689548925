#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# Writes the starting corpora (seeds) under fuzz/corpus/ from samples/ and small hand-made
# files like those the tests use. Run it again after a format changes; the
# files it writes are checked in.
import pathlib
import struct

top = pathlib.Path(__file__).resolve().parent.parent
corpus = top / "fuzz" / "corpus"


def put(target, name, data):
    folder = corpus / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data if isinstance(data, bytes) else data.encode())


# fuzz_link: model byte, then each report as length, report ID, data bytes.
def capture_reports(path, limit):
    reports = []
    for line in (top / "samples" / path).read_text().splitlines():
        line = line.strip()
        if not line.startswith("R"):
            continue
        tokens = line[1:].split()
        reports.append(bytes(int(t, 16) for t in tokens))
    return reports[:limit]


for model, capture in ((0, "km90-capture.txt"), (1, "km50_60-capture.txt")):
    reports = capture_reports(capture, 120)
    data = bytes([model]) + b"".join(bytes([len(r)]) + r for r in reports)
    put("fuzz_link", capture.replace("-capture.txt", ".bin"), data)
put("fuzz_link", "idle-and-empty.bin", bytes([0, 2, 0, 0xF0, 0, 2, 0, 0x03, 1, 0]))

# fuzz_table_text: piece-size/model byte, then the file.
km90_header = "No\tTime\tValue\tUnit\tV_Value\tV_Unit\tI_Value\tI_Unit\r\n"
km50_header = "No\ttime\tValue\tUnit\r\n"
put("fuzz_table_text", "km90.bin", b"\x02" + (km90_header
    + "1\t10:15:02\t12.34\tkW\t230.1\tV\t0.055\tA\r\n"
    + "2\t10:15:03\tOL\tNULL\t\"a \"\"b\"\"\"\tV\tNULL\tA\r\n").encode())
put("fuzz_table_text", "km50.bin", b"\x81" + km50_header.encode()
    + b"1\t10:00:00\t\xA1\xC6\t\xA1\xE6\r\n2\t10:00:01\t-5\tC\n3\tx\ty\tz\r4\n")
put("fuzz_table_text", "bad-no.bin", b"\x85" + km50_header.encode() + b"1\ta\r\nx1\tb\r\n")

# fuzz_table_xml: model byte, then the file.
def packet(fields, rows):
    meta = "".join(
        f'<FIELD attrname="{f}" fieldtype="{"i4" if f == "No" else "string"}"'
        + ("" if f == "No" else ' WIDTH="20"') + "/>" for f in fields)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<DATAPACKET Version="2.0">'
            f"<METADATA><FIELDS>{meta}</FIELDS><PARAMS/></METADATA>"
            f"<ROWDATA>{rows}</ROWDATA></DATAPACKET>\n")


put("fuzz_table_xml", "km90.bin", b"\x00" + packet(
    ["No", "Time", "Value", "Unit", "V_Value", "V_Unit", "I_Value", "I_Unit"],
    '<ROW No="1" Time="10:15:02" Value="12.34" Unit="kW" V_Value="230.1" V_Unit="V"/>'
    '<ROW No="2" Time="10:15:03" Value="OL"/>').encode())
put("fuzz_table_xml", "km50.bin", b"\x01" + packet(
    ["No", "time", "Value", "Unit"],
    '<ROW No="1" time="a &amp; b" Value="&#8451;" Unit="x"/><ROW time="no number"/>').encode())


# fuzz_report_file: report files in the documented stream format.
def qstring(text):
    if text is None:
        return struct.pack(">I", 0xFFFFFFFF)
    raw = text.encode("utf-16-be")
    return struct.pack(">I", len(raw)) + raw


def element(kind, text, left, down, points, column=-1, name="", bold=False,
            underline=False, centred=False, colour=0):
    return (struct.pack(">B", kind) + qstring(name) + qstring(text)
            + struct.pack(">iddd???B", column, left, down, points, bold, underline, centred,
                          colour))


def band(height, elements):
    return struct.pack(">dI", height, len(elements)) + b"".join(elements)


LABEL, FIELD, DATE, PAGE, COUNT = range(5)


def report(model, title, headings, rows, footer, allpage=""):
    out = struct.pack(">IHB", 0x4B4D5250, 1, model) + struct.pack(">ddd", 210, 297, 10)
    out += qstring("2026-01-02") + qstring(allpage)
    out += band(10.6, [element(LABEL, title, 0, 2.1, 14, name="t", bold=True, centred=True),
                       element(LABEL, "Print Date:", 158.8, 5.3, 7),
                       element(DATE, "", 171.5, 5.3, 7)])
    out += band(10.6, [element(LABEL, h, 8.5 + 20 * i, 4.2, 10) for i, h in enumerate(headings)])
    out += band(6.6, [element(FIELD, "", 8.5 + 20 * i, 2.1, 10, column=i)
                      for i in range(len(headings))])
    out += band(10.6, footer)
    out += struct.pack(">II", len(headings), len(rows))
    for row in rows:
        out += b"".join(qstring(f) for f in row)
    return out


km90_rows = [[str(n), "10:15:%02d" % n, "1.5", "kW", "230", "V", None, "A"] for n in range(1, 41)]
put("fuzz_report_file", "km90.kmr", report(
    0, "KM90 Data Report",
    ["No", "Time", "Value", "Unit", "v_value", "v_unit", "i_value", "i_unit"], km90_rows,
    [element(PAGE, "", 178.9, 4.2, 8)]))
put("fuzz_report_file", "km50_60.kmr", report(
    1, "Test Data", ["No", "time", "Value", "Unit"],
    [["1", "t", "a,b", "\"q\""], ["2", "<b>", "&", None]],
    [element(LABEL, "The Page", 150, 4.2, 8), element(PAGE, "", 165, 4.2, 8),
     element(LABEL, "Of", 170, 4.2, 8), element(COUNT, "", 175, 4.2, 8, name="Allpage")],
    allpage="1"))
put("fuzz_report_file", "empty.kmr", report(1, "Test Data", ["No", "time", "Value", "Unit"],
                                             [], []))

# fuzz_meterlog_input: a line of options, then a capture.
put("fuzz_meterlog_input", "km90-reports.txt",
    "--model=km90 --trace\n" + (top / "samples" / "km90-capture.txt").read_text()[:1500])
put("fuzz_meterlog_input", "km50-reports.txt",
    "--model=km50_60 --format=csv --limit=5\n"
    + (top / "samples" / "km50_60-capture.txt").read_text()[:1500])
put("fuzz_meterlog_input", "frames.txt",
    "--model=km90 --frames --no-repeat --format=jsonl\n0123456789ABCDEF0123DA\r\nzz\r+3 00\n")
put("fuzz_meterlog_input", "usage.txt", "--limit=x --count=3 --help\n")
