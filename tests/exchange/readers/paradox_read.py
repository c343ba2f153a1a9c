#!/usr/bin/env python3
"""A small reader of Paradox table files (.db), written from the file format's
public description, without the library that wrote them. Prints JSON:
{"version": file version byte, "codepage": n, "table": name, "records": n,
 "fields": [[name, type, length], ...], "rows": [[value, ...], ...]}

Layout read here (all integers little-endian in the header):
  0x00 u16 record size     0x02 u16 header size     0x04 u8 file type
  0x05 u8 block size in KB 0x06 u32 record count    0x0E u16 first data block
  0x21 u16 field count     0x39 u8 file version     0x6A u16 DOS code page
  0x78 field types and lengths (2 bytes each, for version 4 and later data
  files; 0x58 before), then a table name pointer and one pointer per field,
  the table name (79 bytes, 261 from version 7), the field names each ended
  by a NUL byte.
Data blocks follow the header, numbered from 1: u16 next block, u16 previous
block, i16 offset of the last record in the block (-record size when empty),
then the records. Field values are big-endian with the sign bit flipped; an
all-zero field has no value.
"""
import datetime
import json
import struct
import sys

TYPES = {0x01: "alpha", 0x02: "date", 0x03: "short", 0x04: "long", 0x05: "currency",
         0x06: "number", 0x09: "logical", 0x14: "time", 0x15: "timestamp", 0x16: "autoinc"}


def signed_int(raw):
    bits = 8 * len(raw)
    v = int.from_bytes(raw, "big") ^ (1 << (bits - 1))
    if v >= 1 << (bits - 1):
        v -= 1 << bits
    return v


def double(raw):
    b = bytearray(raw)
    if b[0] & 0x80:
        b[0] ^= 0x80
    else:
        b = bytearray(x ^ 0xFF for x in b)
    return struct.unpack(">d", bytes(b))[0]


def decode(kind, raw, encoding):
    if not any(raw):
        return None
    if kind == "alpha":
        return raw.rstrip(b"\0").decode(encoding)
    if kind in ("short", "long", "autoinc"):
        return signed_int(raw)
    if kind in ("number", "currency"):
        return double(raw)
    if kind == "logical":
        return {0x80: False, 0x81: True}.get(raw[0], "?%02x" % raw[0])
    if kind == "date":
        return datetime.date.fromordinal(signed_int(raw)).strftime("%Y.%m.%d")
    if kind == "time":
        ms = signed_int(raw)
        return "%02d:%02d:%02d" % (ms // 3600000, ms // 60000 % 60, ms // 1000 % 60)
    if kind == "timestamp":
        ms = double(raw)
        days = int(ms // 86400000)
        rest = int(ms - days * 86400000.0) // 1000
        d = datetime.date.fromordinal(days)
        return "%s %02d:%02d:%02d" % (d.strftime("%Y.%m.%d"), rest // 3600, rest // 60 % 60, rest % 60)
    return raw.hex()


def main():
    data = open(sys.argv[1], "rb").read()
    record_size, header_size = struct.unpack_from("<HH", data, 0x00)
    file_type = data[0x04]
    block_size = data[0x05] * 1024
    records = struct.unpack_from("<I", data, 0x06)[0]
    first_block = struct.unpack_from("<H", data, 0x0E)[0]
    nfields = struct.unpack_from("<H", data, 0x21)[0]
    version = data[0x39]
    data_file = file_type in (0, 2)
    extended = version >= 5 and data_file
    codepage = struct.unpack_from("<H", data, 0x6A)[0] if extended else 0
    encoding = "cp%d" % codepage if codepage else "cp437"

    pos = 0x78 if extended else 0x58
    fields = []
    for i in range(nfields):
        fields.append([None, TYPES.get(data[pos], "0x%02x" % data[pos]), data[pos + 1]])
        pos += 2
    pos += 4 + 4 * nfields          # table name pointer, field name pointers
    name_len = 261 if version >= 0x0C else 79
    table = data[pos:pos + name_len].split(b"\0")[0].decode(encoding)
    pos += name_len
    for f in fields:
        end = data.index(b"\0", pos)
        f[0] = data[pos:end].decode(encoding)
        pos = end + 1
    if sum(f[2] for f in fields) != record_size:
        raise SystemExit("record size %d does not match the fields (%d)" % (record_size, sum(f[2] for f in fields)))

    rows = []
    block = first_block
    seen = set()
    while block and block not in seen:
        seen.add(block)
        at = header_size + (block - 1) * block_size
        nxt, _prev, last = struct.unpack_from("<HHh", data, at)
        count = last // record_size + 1 if last >= 0 else 0
        for r in range(count):
            rec = data[at + 6 + r * record_size: at + 6 + (r + 1) * record_size]
            row, off = [], 0
            for _name, kind, length in fields:
                row.append(decode(kind, rec[off:off + length], encoding))
                off += length
            rows.append(row)
        block = nxt
    if len(rows) != records:
        raise SystemExit("header says %d records, blocks hold %d" % (records, len(rows)))
    json.dump({"version": version, "codepage": codepage, "table": table, "records": records,
               "fields": fields, "rows": rows}, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
