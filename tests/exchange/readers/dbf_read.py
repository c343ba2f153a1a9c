#!/usr/bin/env python3
"""Reads a dBASE file with dbfread and prints it as JSON:
{"ldid": byte 29 of the header, "encoding": what dbfread chose,
 "fields": [[name, type, length, decimals], ...], "rows": [[value, ...], ...]}
Dates as "yyyy.mm.dd"; numbers as numbers; empty values as null."""
import datetime
import json
import sys

from dbfread import DBF


def value(v):
    if isinstance(v, datetime.date):
        return v.strftime("%Y.%m.%d")
    return v


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        head = f.read(32)
    table = DBF(path, load=True)
    out = {
        "ldid": head[29],
        "encoding": table.encoding,
        "fields": [[f.name, f.type, f.length, f.decimal_count] for f in table.fields],
        "rows": [[value(v) for v in rec.values()] for rec in table.records],
    }
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
