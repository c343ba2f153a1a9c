#pragma once
// How a stored value reads on the screen: the one place that decides how a
// boolean, an integer, a scaled numeric, a float with its edit mask, a date or
// a time shows, in every grid (RowSetModel) and in the generic editor's panel
// and change log. Qt Core only; stateless.
//
// Numbers as Hungarians write them, whatever the locale (util/NumberFormat.h):
// a decimal comma; thousands are grouped only where a mask asks for it, and
// then with a blank, so a shown number reads back as the same number.
#include "db/Database.h"

#include <QString>
#include <QVariant>

namespace vl::db {

struct DisplayFormat {
    // The column's type as the layer reports it; Unknown: decided by the value's own type.
    ColType type = ColType::Unknown;
    // Exact numerics (NUMERIC(15,2): a Float column of scale -2): -scale decimals ("99,90").
    int scale = 0;
    // A float's display mask such as '#,##0.00' (VEZERLO.EDITMASK); "" for the general form.
    QString mask;
    // Booleans as the letters 'T' / 'F' (the editor's panel and change log) instead of "Igen" / "Nem".
    bool boolLetters = false;

    static DisplayFormat of(const Column& col, const QString& mask = QString()) {
        DisplayFormat f;
        f.type = col.type;
        f.scale = col.scale;
        f.mask = mask;
        return f;
    }
};

// The text of a value:
//   NULL                 ""
//   boolean              "Igen" / "Nem" ('T' / 'F' with boolLetters)
//   integer              decimal digits, no grouping ("125000")
//   scaled numeric       fixed decimals by the scale ("99,90"), unless a mask is given
//   float                by the mask ("1 234,50", util::FormatNumber), else up to 15 significant digits ("2,5")
//   date / time / stamp  'yyyy.mm.dd', 'hh:nn:ss', 'yyyy.mm.dd hh:nn:ss'
//   bytes                "(bináris)"
//   text                 as it is
QString displayText(const QVariant& value, const DisplayFormat& format = DisplayFormat());

// Whether a column of this type holds numbers (right-aligned in grids).
bool isNumericType(ColType type);

} // namespace vl::db
