#pragma once
// Scrambled configuration texts (the file-transfer host, user and password).
// A rotating substitution over a 77-character alphabet (digits, Latin letters,
// áéíóöúü in both cases and the space); characters outside it pass unchanged.
// Stateless and safe to call from any thread.
#include <QString>

namespace vl::util {

// The plain text of a scrambled text.
QString Descramble(const QString& text);
// The scrambled form of a plain text: Descramble(Scramble(t)) == t for every t.
QString Scramble(const QString& text);
// The plain alphabet and the cipher alphabet derived from it (77 characters each).
const QString& ScramblePlainAlphabet();
const QString& ScrambleCipherAlphabet();

} // namespace vl::util
