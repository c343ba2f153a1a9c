#pragma once
// The error the conversion routines of vl::util raise for a text that is not
// what they expect (a bad date, number or version). text() is the sentence for
// the user (it names the text that could not be read), context() the routine
// that refused it.
#include "util/Error.h"

namespace vl::util {

class ConversionError : public vl::Error {
public:
    explicit ConversionError(const QString& text, const QString& routine = QString())
        : vl::Error(text, routine, Kind::Conversion) {}
};

} // namespace vl::util
