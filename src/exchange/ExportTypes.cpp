#include "ExportTypes.h"

namespace vl::exchange {

bool RowSetSource::next(QVariantList& row)
{
    if (pos_ >= rows_.rowCount()) return false;
    row = rows_.row(pos_++);
    return true;
}

} // namespace vl::exchange
