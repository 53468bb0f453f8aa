"""Writes numbers.xls, the old-format workbook of the import tests whose postcodes, phone numbers
and dates are number cells, with a blank row between two people. No program on the build machine
writes .xls, so the script keeps the workbook people.xls (xlwt's fonts, formats and cell styles,
its second sheet) and puts new cells into its first sheet. Run once when the fixture changes:
python3 make_numbers_xls.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
HEADER = ["FirstName", "LastName", "Zip", "Phone1", "DateOfBirth"]
# Dates as day counts of the 1900 system: 1 is 1 January 1900, 31120 is 14 March 1985.
PEOPLE = {1: ["Ann", "Lee", 100000, 5550000000, 1], 3: ["Bob", "Kay", 2108, 2125550123, 31120]}
CELLS = (0x0208, 0x00FD, 0x027E, 0x0203, 0x0201, 0x00BD, 0x0204)


def records(stream):
    out, p = [], 0
    while p + 4 <= len(stream):
        kind, size = struct.unpack("<HH", stream[p:p + 4])
        if kind == 0 and size == 0:
            break
        out.append((kind, stream[p + 4:p + 4 + size]))
        p += 4 + size
    return out


def record(kind, body):
    return struct.pack("<HH", kind, len(body)) + body


def main():
    data = bytearray(open(os.path.join(HERE, "people.xls"), "rb").read())
    # people.xls: a 512-byte header, the Workbook stream in sectors 0..7 (4096 bytes).
    stream = bytes(data[512:512 + 4096])
    recs = records(stream)
    bofs = [i for i, (k, _) in enumerate(recs) if k == 0x0809]
    globals_, sheet1, sheet2 = recs[bofs[0]:bofs[1]], recs[bofs[1]:bofs[2]], recs[bofs[2]:]
    text_xf = next(struct.unpack("<H", b[4:6])[0] for k, b in sheet1 if k == 0x00FD)
    date_xf = next(struct.unpack("<H", b[4:6])[0] for k, b in sheet1 if k == 0x027E)

    # The second sheet refers to the texts already there: the new ones go after them.
    old_sst = next(b for k, b in globals_ if k == 0x00FC)
    old_count = struct.unpack("<I", old_sst[4:8])[0]
    strings = list(HEADER) + [v for row in PEOPLE.values() for v in row[:2]]
    sst = struct.pack("<II", old_count + len(strings), old_count + len(strings)) + old_sst[8:]
    for s in strings:
        sst += struct.pack("<HB", len(s), 0) + s.encode("latin-1")
    index = {s: old_count + i for i, s in enumerate(strings)}
    cells = b""
    for c, name in enumerate(HEADER):
        cells += record(0x00FD, struct.pack("<HHHI", 0, c, text_xf, index[name]))
    for r, row in PEOPLE.items():
        for c, value in enumerate(row):
            if isinstance(value, str):
                cells += record(0x00FD, struct.pack("<HHHI", r, c, text_xf, index[value]))
            else:
                cells += record(0x0203, struct.pack("<HHHd", r, c, date_xf if c == 4 else text_xf, float(value)))

    def sheet_bytes(recs_, new_cells=None):
        out = b""
        for k, b in recs_:
            if new_cells is not None and k in CELLS:
                continue
            if new_cells is not None and k == 0x0200:
                b = struct.pack("<IIHHH", 0, max(PEOPLE) + 1, 0, len(HEADER), 0)
            if new_cells is not None and k == 0x023E:
                out += new_cells
            out += record(k, b)
        return out

    s1 = sheet_bytes(sheet1, cells)
    s2 = sheet_bytes(sheet2)

    def globals_bytes(offsets):
        out, n = b"", 0
        for k, b in globals_:
            if k == 0x00FC:
                b = sst
            if k == 0x0085:
                b = struct.pack("<I", offsets[n]) + b[4:]
                n += 1
            out += record(k, b)
        return out

    g = globals_bytes([0, 0])
    g = globals_bytes([len(g), len(g) + len(s1)])
    workbook = g + s1 + s2
    assert len(workbook) <= 4096, len(workbook)
    data[512:512 + 4096] = workbook + bytes(4096 - len(workbook))
    open(os.path.join(HERE, "numbers.xls"), "wb").write(bytes(data))


if __name__ == "__main__":
    main()
