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
};

// Installs a sink (not owned); nullptr restores the console sink.
void setMessageSink(MessageSink* sink);
MessageSink* messageSink();

void notify(MsgKind kind, const QString& text);
inline void notify(const QString& text) { notify(MsgKind::Info, text); }
// Default buttons "Igen", "Nem" as the message form has them.
int ask(const QString& text, MsgKind kind = MsgKind::Question,
        const QStringList& buttons = {QStringLiteral("Igen"), QStringLiteral("Nem")});

// Prints to standard error; a question is answered with its first button only
// when assumeYes is set, otherwise it is refused (-1).
class ConsoleSink : public MessageSink {
public:
    bool assumeYes = false;
    void notify(MsgKind kind, const QString& text) override;
    int ask(const QString& text, MsgKind kind, const QStringList& buttons) override;
};

// Records every text; questions take their answers from a queue (-1 when empty).
class RecordingSink : public MessageSink {
public:
    QList<QPair<MsgKind, QString>> messages;
    QList<int> answers;
    void notify(MsgKind kind, const QString& text) override { messages.append({kind, text}); }
    int ask(const QString& text, MsgKind kind, const QStringList&) override {
        messages.append({kind, text});
        return answers.isEmpty() ? -1 : answers.takeFirst();
    }
    QStringList texts() const {
        QStringList l;
        for (const auto& m : messages) l << m.second;
        return l;
    }
    QString last() const { return messages.isEmpty() ? QString() : messages.last().second; }
    void clear() { messages.clear(); }
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
