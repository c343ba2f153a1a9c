#!/usr/bin/env python3
"""Compares two workbooks cell by cell: compare_xlsx.py A.xlsx B.xlsx

Every sheet's name, every cell's value, type and number format, and the
column widths must be alike. Prints a summary and exits with 0 when they are,
lists the first differences and exits with 1 when not, and exits with 2 when
python3-openpyxl is missing.
"""
import re
import sys
import zipfile

try:
    import openpyxl
except ImportError:
    print("python3-openpyxl nincs telepítve")
    sys.exit(2)


def widths(path):
    """The <col> elements of each sheet, as written."""
    out = []
    with zipfile.ZipFile(path) as z:
        names = sorted(n for n in z.namelist() if re.match(r"xl/worksheets/sheet\d+\.xml$", n))
        for n in names:
            head = z.open(n).read(1 << 16).decode("utf-8", "replace")
            out.append(re.findall(r"<col [^>]*/>", head))
    return out


def main(a, b):
    wa = openpyxl.load_workbook(a, read_only=True)
    wb = openpyxl.load_workbook(b, read_only=True)
    diffs = []
    if wa.sheetnames != wb.sheetnames:
        diffs.append("munkalapok: %r / %r" % (wa.sheetnames, wb.sheetnames))
    if widths(a) != widths(b):
        diffs.append("oszlopszélességek: %r / %r" % (widths(a), widths(b)))
    count = 0
    for sa, sb in zip(wa.worksheets, wb.worksheets):
        ra, rb = sa.iter_rows(), sb.iter_rows()
        r = 0
        while len(diffs) < 10:
            xa, xb = next(ra, None), next(rb, None)
            if xa is None and xb is None:
                break
            r += 1
            if xa is None or xb is None:
                diffs.append("%s: a sorok száma eltér (%d. sor)" % (sa.title, r))
                break
            va = [(type(c.value).__name__, c.value, c.number_format) for c in xa if c.value is not None]
            vb = [(type(c.value).__name__, c.value, c.number_format) for c in xb if c.value is not None]
            count += len(va)
            if va != vb:
                diffs.append("%s %d. sor: %r / %r" % (sa.title, r, va, vb))
    if diffs:
        print("\n".join(diffs))
        return 1
    print("cellára azonos a csupasz ciklus munkafüzetével (%d cella: érték, típus, számformátum; oszlopszélességek)"
          % count)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
