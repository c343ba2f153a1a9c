#include "Scramble.h"

#include <utility>

namespace vl::util {

namespace {

constexpr int kAlphabetSize = 77;
constexpr int kSwaps = 105;

// One step of the rotation: the cipher alphabet turns right by w positions,
// and w runs 4, 3, 2, 1, 6, 5, 4, ...
void advance(QString& cipher, int& w) {
    cipher = cipher.right(w) + cipher.left(cipher.size() - w);
    w = (w == 1) ? 6 : w - 1;
}

} // namespace

const QString& ScramblePlainAlphabet() {
    static const QString plain = QStringLiteral(
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyzÁÉÍÓÖÚÜáéíóöúü ");
    return plain;
}

const QString& ScrambleCipherAlphabet() {
    static const QString cipher = [] {
        QString c = ScramblePlainAlphabet();
        // A fixed sequence of swaps of two positions.
        for (int i = 0; i < kSwaps; ++i) {
            const int a = (i * 31 + 7) % kAlphabetSize;
            const int b = (i * 17 + 40) % kAlphabetSize;
            const QChar t = c.at(a);
            c[a] = c.at(b);
            c[b] = t;
        }
        return c;
    }();
    return cipher;
}

namespace {
// Both directions are one substitution: each character found in `from` becomes
// the character at the same place in `to`, and the cipher alphabet moves on
// after every substituted character; others pass unchanged.
QString substitute(const QString& text, bool scramble) {
    const QString& plain = ScramblePlainAlphabet();
    QString cipher = ScrambleCipherAlphabet();
    int w = 4;
    QString out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const qsizetype i = (scramble ? plain : cipher).indexOf(ch);
        if (i < 0) {
            out += ch;
            continue;
        }
        out += (scramble ? cipher : plain).at(i);
        advance(cipher, w);
    }
    return out;
}
} // namespace

QString Descramble(const QString& text) { return substitute(text, false); }

QString Scramble(const QString& text) { return substitute(text, true); }

} // namespace vl::util
