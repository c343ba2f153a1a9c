#!/usr/bin/env python3
"""Checks the shared string table of an .xls workbook against its index:
walks SST and its CONTINUE records as the BIFF8 description lays them out and
verifies that every EXTSST entry names the stream position of its string and
the string's offset inside the record that holds it. Prints JSON
{"strings": n, "buckets": k, "per_bucket": d, "errors": [...]}."""
import json
import struct
import sys

from xlrd import compdoc

SST, CONTINUE, EXTSST = 0x00FC, 0x003C, 0x00FF


def main():
    data = open(sys.argv[1], "rb").read()
    cd = compdoc.CompDoc(data, logfile=sys.stderr)
    wb = cd.get_named_stream("Workbook")
    records = []  # (id, header position, body)
    pos = 0
    while pos + 4 <= len(wb):
        rid, size = struct.unpack_from("<HH", wb, pos)
        records.append((rid, pos, wb[pos + 4:pos + 4 + size]))
        pos += 4 + size
        if rid == 0x000A:  # EOF of the globals
            break
    errors = []
    i = next(k for k, r in enumerate(records) if r[0] == SST)
    parts = [records[i]]
    j = i + 1
    while records[j][0] == CONTINUE:
        parts.append(records[j])
        j += 1
    ext = records[j]
    if ext[0] != EXTSST:
        errors.append("no EXTSST after the string table")

    total, unique = struct.unpack_from("<II", parts[0][2], 0)
    starts = []  # (stream position, offset in its record)
    part, off = 0, 8
    for _ in range(unique):
        if off >= len(parts[part][2]):
            part, off = part + 1, 0
        body = parts[part][2]
        starts.append((parts[part][1] + 4 + off, 4 + off))
        cch, flags = struct.unpack_from("<HB", body, off)
        off += 3
        if flags & 0x08:
            raise SystemExit("rich text is not written by us")
        wide = flags & 1
        left = cch
        while left:
            if off >= len(parts[part][2]):
                part, off = part + 1, 0
                wide = parts[part][2][0] & 1
                off = 1
            room = (len(parts[part][2]) - off) // (2 if wide else 1)
            take = min(room, left)
            off += take * (2 if wide else 1)
            left -= take
    if part != len(parts) - 1 or off != len(parts[part][2]):
        errors.append("the string table has bytes after its last string")

    per_bucket = struct.unpack_from("<H", ext[2], 0)[0]
    buckets = (len(ext[2]) - 2) // 8
    expected = (unique + per_bucket - 1) // per_bucket if per_bucket else 0
    if buckets != expected:
        errors.append("%d buckets for %d strings of %d each" % (buckets, unique, per_bucket))
    for b in range(min(buckets, expected)):
        ib, cb = struct.unpack_from("<IH", ext[2], 2 + 8 * b)
        want = starts[b * per_bucket]
        if (ib, cb) != want:
            errors.append("bucket %d: %s, the string is at %s" % (b, (ib, cb), want))
    json.dump({"strings": unique, "references": total, "buckets": buckets, "per_bucket": per_bucket,
               "parts": len(parts), "errors": errors}, sys.stdout)


if __name__ == "__main__":
    main()
