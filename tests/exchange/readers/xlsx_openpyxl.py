#!/usr/bin/env python3
"""Reads an .xlsx / .xlsm with openpyxl and prints its sheets as JSON.

Each cell is [type, value]: "s" text, "n" number, "b" flag, "d" date or time
stamp (ISO text), "t" time, null for an empty cell. The workbook part's content
type is read from [Content_Types].xml with zipfile.
"""
import datetime
import json
import re
import sys
import zipfile

import openpyxl


def cell(v):
    if v is None:
        return None
    if isinstance(v, bool):
        return ["b", v]
    if isinstance(v, (int, float)):
        return ["n", v]
    if isinstance(v, datetime.datetime):
        return ["d", v.isoformat()]
    if isinstance(v, datetime.time):
        return ["t", v.isoformat()]
    if isinstance(v, datetime.date):
        return ["d", v.isoformat()]
    return ["s", str(v)]


def main(path):
    with zipfile.ZipFile(path) as z:
        types = z.read("[Content_Types].xml").decode("utf-8")
        bad = z.testzip()
    m = re.search(r'PartName="/xl/workbook.xml"\s+ContentType="([^"]+)"', types)
    wb = openpyxl.load_workbook(path, read_only=False, keep_vba=path.lower().endswith(".xlsm"))
    sheets = []
    for ws in wb.worksheets:
        rows = [[cell(v) for v in r] for r in ws.iter_rows(values_only=True)]
        widths = {k: d.width for k, d in ws.column_dimensions.items() if d.width}
        sheets.append({"title": ws.title, "rows": rows, "widths": widths})
    print(json.dumps({"contentType": m.group(1) if m else "", "zipOk": bad is None, "sheets": sheets},
                     ensure_ascii=False))


if __name__ == "__main__":
    main(sys.argv[1])
