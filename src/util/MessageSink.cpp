#include "MessageSink.h"
#include "Error.h"
#include <atomic>
#include <cstdio>

namespace vl {
namespace {
ConsoleSink& consoleSink() { static ConsoleSink s; return s; }
std::atomic<MessageSink*> g_sink{nullptr};
// "<what> <doing>." with the doing's own closing dots dropped.
QString sentenceOf(const QString& what, const QString& doing) {
    QString d = doing.trimmed();
    while (d.endsWith(QLatin1Char('.'))) d.chop(1);
    return what + d + QLatin1Char('.');
}
}

void setMessageSink(MessageSink* sink) { g_sink.store(sink); }
MessageSink* messageSink() {
    MessageSink* s = g_sink.load();
    return s ? s : &consoleSink();
}
void notify(MsgKind kind, const QString& text) { messageSink()->notify(kind, text); }
int ask(const QString& text, MsgKind kind, const QStringList& buttons) {
    return messageSink()->ask(text, kind, buttons);
}
int ask(const QString& text, MsgKind kind, const QStringList& buttons, int defaultButton) {
    return messageSink()->askWithDefault(text, kind, buttons, defaultButton);
}
int askDefaultNo(const QString& text) {
    return ask(text, MsgKind::Question, {QStringLiteral("Igen"), QStringLiteral("Nem")}, 1);
}
void notify(MsgKind kind, const QString& text, const QString& details) {
    messageSink()->notifyWithDetails(kind, text, details);
}
QString dbErrorText(const QString& doing) {
    return sentenceOf(QStringLiteral("Adatbázis-hiba történt: "), doing);
}
void notifyDbError(const QString& doing, const QString& serverText) {
    notify(MsgKind::Error, dbErrorText(doing), serverText);
}

void notifyError(const Error& e, const QString& doing) {
    auto tell = [&e](MsgKind kind) {
        if (e.context().isEmpty()) notify(kind, e.text());
        else notify(kind, e.text(), e.context());
    };
    switch (e.kind()) {
    case Error::Kind::Database: {
        QString details = e.text();
        if (!e.context().isEmpty()) details += QStringLiteral("\n\nUtasítás:\n") + e.context();
        notify(MsgKind::Error, dbErrorText(doing), details);
        return;
    }
    case Error::Kind::Refusal:
    case Error::Kind::Conversion:
        tell(MsgKind::Warning);
        return;
    case Error::Kind::Other:
        break;
    }
    tell(MsgKind::Error);
}
QString unexpectedErrorText(const QString& doing) {
    return sentenceOf(QStringLiteral("Váratlan hiba történt: "), doing);
}
void notifyUnexpected(const QString& doing, const QString& what) {
    notify(MsgKind::Error, unexpectedErrorText(doing), what);
}

void ConsoleSink::notify(MsgKind, const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
int proceedButton(const QStringList& buttons) {
    for (int i = 0; i < buttons.size(); ++i) {
        QString b = buttons.at(i);
        b.remove(QLatin1Char('&'));
        if (b.trimmed().compare(QStringLiteral("Igen"), Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}
int ConsoleSink::ask(const QString& text, MsgKind, const QStringList& buttons) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    const int yes = assumeYes ? proceedButton(buttons) : -1;
    if (yes >= 0) {
        std::fprintf(stderr, "-> %s\n", buttons.at(yes).toLocal8Bit().constData());
        std::fflush(stderr);
        return yes;
    }
    ++refused;
    if (assumeYes)
        std::fprintf(stderr, "(a kérdésnek nincs \"Igen\" gombja; elutasítva)\n");
    else
        std::fprintf(stderr, "(a kérdésre nincs válasz; --yes nélkül elutasítva)\n");
    std::fflush(stderr);
    return -1;
}
} // namespace vl
