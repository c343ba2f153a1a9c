#pragma once
// The one base of the program's errors.
//
// Every error the program raises on purpose derives from vl::Error: a database
// error (vl::db::DbError, carrying the statement that failed), a rule's refusal
// (the rule's name and the Hungarian sentence the user reads), a conversion
// error of the utilities. The main window's dispatcher and vorlanda-admin catch
// vl::Error, show text() to the user and context() to whoever looks further
// (the message form's details, the command's second line), so no refusal can
// reach Qt's event loop or end a command without an exit status.
#include <QString>
#include <stdexcept>

namespace vl {

class Error : public std::runtime_error {
public:
    enum class Kind { Database, Refusal, Conversion, Other };

    explicit Error(const QString& text, const QString& context = QString(), Kind kind = Kind::Other)
        : std::runtime_error(text.toStdString()), text_(text), context_(context), kind_(kind) {}

    // The sentence shown to the user.
    const QString& text() const { return text_; }
    // What failed: the statement, or the rule's name.
    const QString& context() const { return context_; }
    Kind kind() const { return kind_; }

protected:
    void setContext(const QString& c) { context_ = c; }

private:
    QString text_;
    QString context_;
    Kind kind_;
};

// A rule that refuses to do what it was asked: the sentence says why.
class RuleRefusal : public Error {
public:
    explicit RuleRefusal(const QString& text, const QString& rule = QString())
        : Error(text, rule, Kind::Refusal) {}
};

} // namespace vl
