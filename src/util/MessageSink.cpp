#include "MessageSink.h"
#include <atomic>
#include <cstdio>

namespace vl {
namespace {
ConsoleSink& consoleSink() { static ConsoleSink s; return s; }
std::atomic<MessageSink*> g_sink{nullptr};
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

void ConsoleSink::notify(MsgKind, const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
int ConsoleSink::ask(const QString& text, MsgKind, const QStringList& buttons) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    if (assumeYes && !buttons.isEmpty()) {
        std::fprintf(stderr, "-> %s\n", buttons.first().toLocal8Bit().constData());
        return 0;
    }
    std::fprintf(stderr, "(a kérdésre nincs válasz; --yes nélkül elutasítva)\n");
    std::fflush(stderr);
    return -1;
}
} // namespace vl
