// vorlanda-admin scramble TEXT: prints the scrambled form of a setting (the
// file-transfer host, user or password) as the program stores and reads it.
#include "AdminCommand.h"
#include "util/Scramble.h"

namespace vl::admin {

namespace {

int runScramble(AdminContext& ctx) {
    if (ctx.args.size() != 1) {
        err(QStringLiteral("Használat: vorlanda-admin scramble SZÖVEG"));
        return 2;
    }
    const QString scrambled = vl::util::Scramble(ctx.args.first());
    out(scrambled);
    // Configuration values are trimmed when read: a blank at either end would be lost.
    if (scrambled.startsWith(u' ') || scrambled.endsWith(u' '))
        err(QStringLiteral("Figyelem: a kódolt szöveg szóközzel kezdődik vagy végződik, "
                           "a beállítási fájl levágná."));
    return 0;
}

} // namespace

VL_ADMIN_COMMAND(QStringLiteral("scramble"),
                 QStringLiteral("scramble SZÖVEG    a szöveg kódolt alakja (FTP host, felhasználó, jelszó tárolásához)"),
                 runScramble, false);

} // namespace vl::admin
