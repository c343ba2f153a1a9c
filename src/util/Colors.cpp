#include "Colors.h"
#include "Texts.h"

namespace vl::util {

namespace {
struct NamedColor {
    const char16_t* names[4];
    quint32 ref;
};
// Compared in this order; the first match wins.
const NamedColor kColors[] = {
    {{u"", u"CLBLACK", u"BLACK", u"FEKETE"}, 0x000000},
    {{u"CLRED", u"RED", u"PIROS", nullptr}, 0x0000FF},
    {{u"CLGREEN", u"GREEN", u"ZÖLD", nullptr}, 0x008000},
    {{u"CLFUCHSIA", u"FUCHSIA", u"LILA", nullptr}, 0xFF00FF},
    {{u"CLOLIVE", u"OLIVE", nullptr, nullptr}, 0x008080},
    {{u"CLNAVY", u"NAVY", nullptr, nullptr}, 0x800000},
    {{u"CLPURPLE", u"PURPLE", nullptr, nullptr}, 0x800080},
    {{u"CLGRAY", u"GRAY", u"SZÜRKE", nullptr}, 0x808080},
    {{u"CLSILVER", u"SILVER", u"EZÜST", nullptr}, 0xC0C0C0},
    {{u"CLWHITE", u"WHITE", u"FEHÉR", nullptr}, 0xFFFFFF},
    {{u"CLMAROON", u"BROWN", u"BARNA", nullptr}, 0x000080},
    {{u"CLBLUE", u"BLUE", u"KÉK", nullptr}, 0xFF0000},
    {{u"FAKÓZÖLD", nullptr, nullptr, nullptr}, 0x70C788},
    {{u"FAKÓKÉK", nullptr, nullptr, nullptr}, 0xFFEFCF},
    {{u"FAKÓLILA", nullptr, nullptr, nullptr}, 0xCFAFFF},
    {{u"FAKÓSÁRGA", nullptr, nullptr, nullptr}, 0x9CF0FF},
    {{u"CLAQUA", nullptr, nullptr, nullptr}, 0xFFFF00},
};
} // namespace

quint32 ColorRefFromName(const QString& name) {
    const QString key = UpperHu(TrimText(name));
    for (const NamedColor& c : kColors)
        for (const char16_t* n : c.names)
            if (n && key == QStringView(n)) return c.ref;
    return 0x000000;
}

quint32 ColorFromRef(quint32 ref) {
    const quint32 r = ref & 0xFF, g = (ref >> 8) & 0xFF, b = (ref >> 16) & 0xFF;
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

quint32 ColorFromName(const QString& name) { return ColorFromRef(ColorRefFromName(name)); }

} // namespace vl::util
