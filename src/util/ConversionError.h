#pragma once
// The error the conversion routines of vl::util raise for a text that is not
// what they expect (a bad date, number or version). Callers report e.text().
#include <QString>
#include <stdexcept>

namespace vl::util {

class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString& text)
        : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }
private:
    QString text_;
};

} // namespace vl::util
