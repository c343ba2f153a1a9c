#pragma once
// One road for every message and question of the program.
// The GUI installs a sink that shows the message form, vorlanda-admin one that
// prints, tests one that records the texts and answers from a queue.
#include <QString>
#include <QStringList>
#include <QList>
#include <QPair>
#include <memory>

namespace vl {

enum class MsgKind { Info, Warning, Error, Question };

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void notify(MsgKind kind, const QString& text) = 0;
    // Returns the 0-based index of the chosen button, or -1 when nothing was chosen.
    virtual int ask(const QString& text, MsgKind kind, const QStringList& buttons) = 0;
    // The same question where Enter answers defaultButton instead of the first
    // button (a question that destroys something defaults to "Nem").
    virtual int askWithDefault(const QString& text, MsgKind kind, const QStringList& buttons, int defaultButton) {
        (void)defaultButton;
        return ask(text, kind, buttons);
    }
    // A notice with a longer explanation (a server's error text, say) that the
    // screen keeps under "Részletek".
    virtual void notifyWithDetails(MsgKind kind, const QString& text, const QString& details) {
        notify(kind, details.isEmpty() ? text : text + QLatin1Char('\n') + details);
    }
};

// Installs a sink (not owned); nullptr restores the console sink.
void setMessageSink(MessageSink* sink);
MessageSink* messageSink();

void notify(MsgKind kind, const QString& text);
inline void notify(const QString& text) { notify(MsgKind::Info, text); }
// Default buttons "Igen", "Nem" as the message form has them.
int ask(const QString& text, MsgKind kind = MsgKind::Question,
        const QStringList& buttons = {QStringLiteral("Igen"), QStringLiteral("Nem")});
// A question whose Enter answers buttons[defaultButton]; the result is the same index as ask's.
int ask(const QString& text, MsgKind kind, const QStringList& buttons, int defaultButton);
// "Igen"/"Nem" with "Nem" under Enter: the question before deleting or any step
// that cannot be undone. 0 is "Igen".
int askDefaultNo(const QString& text);
void notify(MsgKind kind, const QString& text, const QString& details);

// A database error as the user sees it: "Adatbázis-hiba történt: <doing>."
// with the server's own text as the details.
QString dbErrorText(const QString& doing);
void notifyDbError(const QString& doing, const QString& serverText);

class Error;
// An error of the program as the user sees it, whatever raised it: a database
// error as notifyDbError(doing, ...) with the server's text and, under it, the
// statement that failed; a refusal or a conversion error as a warning with its
// own sentence (the rule or routine that refused as its details); any other
// vl::Error as an error with its sentence.
void notifyError(const Error& e, const QString& doing);
// The last resort for anything else that was thrown (a std::exception):
// "Váratlan hiba történt: <doing>." with what() as its details.
QString unexpectedErrorText(const QString& doing);
void notifyUnexpected(const QString& doing, const QString& what);

// Prints to standard error. With assumeYes a question is answered with the
// button that goes ahead, "Igen", wherever the question puts it; without it, or
// when the question has no "Igen", the question is refused (-1) and counted in
// refused, so the command can end with a non-zero status.
class ConsoleSink : public MessageSink {
public:
    bool assumeYes = false;
    int refused = 0;
    void notify(MsgKind kind, const QString& text) override;
    int ask(const QString& text, MsgKind kind, const QStringList& buttons) override;
};
// The index of the button that goes ahead ("Igen", case and '&' ignored), or -1.
int proceedButton(const QStringList& buttons);

// Records every text; questions take their answers from a queue (-1 when empty).
// defaultButtons holds, for every question, the button Enter would answer;
// details the details of every notice that had some.
class RecordingSink : public MessageSink {
public:
    QList<QPair<MsgKind, QString>> messages;
    QList<int> answers;
    QList<int> defaultButtons;
    QStringList details;
    void notify(MsgKind kind, const QString& text) override { messages.append({kind, text}); }
    int ask(const QString& text, MsgKind kind, const QStringList& buttons) override {
        return askWithDefault(text, kind, buttons, 0);
    }
    int askWithDefault(const QString& text, MsgKind kind, const QStringList&, int defaultButton) override {
        messages.append({kind, text});
        defaultButtons.append(defaultButton);
        return answers.isEmpty() ? -1 : answers.takeFirst();
    }
    void notifyWithDetails(MsgKind kind, const QString& text, const QString& detailText) override {
        messages.append({kind, text});
        details.append(detailText);
    }
    QStringList texts() const {
        QStringList l;
        for (const auto& m : messages) l << m.second;
        return l;
    }
    QString last() const { return messages.isEmpty() ? QString() : messages.last().second; }
    void clear() {
        messages.clear();
        defaultButtons.clear();
        details.clear();
    }
};

// Installs a sink for the lifetime of the guard, then restores the previous one.
class ScopedSink {
public:
    explicit ScopedSink(MessageSink* s) : prev_(messageSink()) { setMessageSink(s); }
    ~ScopedSink() { setMessageSink(prev_); }
    ScopedSink(const ScopedSink&) = delete;
    ScopedSink& operator=(const ScopedSink&) = delete;
private:
    MessageSink* prev_;
};

} // namespace vl
