#!/usr/bin/env python3
"""Reads an .xls workbook with xlrd and prints it as JSON:
{"sheets": [{"name": ..., "nrows": n, "ncols": m, "rows": [[[type, value], ...], ...]}]}
type is one of "empty", "text", "number", "date", "bool", "error"; dates as
"yyyy.mm.dd" or "yyyy.mm.dd hh:mm:ss". With --max-rows N only the first N rows
of every sheet are listed (nrows still tells them all)."""
import json
import sys

import xlrd


def cell(book, c):
    if c.ctype == xlrd.XL_CELL_EMPTY or c.ctype == xlrd.XL_CELL_BLANK:
        return ["empty", None]
    if c.ctype == xlrd.XL_CELL_TEXT:
        return ["text", c.value]
    if c.ctype == xlrd.XL_CELL_NUMBER:
        return ["number", c.value]
    if c.ctype == xlrd.XL_CELL_DATE:
        t = xlrd.xldate_as_tuple(c.value, book.datemode)
        if t[3:] == (0, 0, 0):
            return ["date", "%04d.%02d.%02d" % t[:3]]
        return ["date", "%04d.%02d.%02d %02d:%02d:%02d" % t]
    if c.ctype == xlrd.XL_CELL_BOOLEAN:
        return ["bool", bool(c.value)]
    return ["error", c.value]


def main():
    path = sys.argv[1]
    max_rows = None
    if len(sys.argv) > 3 and sys.argv[2] == "--max-rows":
        max_rows = int(sys.argv[3])
    book = xlrd.open_workbook(path, formatting_info=True)
    out = {"sheets": []}
    for sh in book.sheets():
        n = sh.nrows if max_rows is None else min(sh.nrows, max_rows)
        rows = [[cell(book, sh.cell(r, c)) for c in range(sh.ncols)] for r in range(n)]
        last = [cell(book, sh.cell(sh.nrows - 1, c)) for c in range(sh.ncols)] if sh.nrows else []
        out["sheets"].append({"name": sh.name, "nrows": sh.nrows, "ncols": sh.ncols, "rows": rows, "last": last})
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
