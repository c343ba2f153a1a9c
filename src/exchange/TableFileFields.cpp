#include "exchange/TableFileFields.h"

#include "db/DisplayText.h"
#include "shell/Cp1250.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QSet>

namespace vl::exchange {

namespace {

QByteArray asciiName(const QString& name)
{
    QByteArray out;
    for (QChar c : name.normalized(QString::NormalizationForm_D)) {
        if (c.category() == QChar::Mark_NonSpacing) continue;
        const ushort u = c.toUpper().unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_') out.append(char(u));
        else out.append('_');
    }
    // dBASE names start with a letter.
    if (out.isEmpty() || !(out.at(0) >= 'A' && out.at(0) <= 'Z')) out.prepend('F');
    return out;
}

} // namespace

QList<QByteArray> tableFileFieldNames(const QList<vl::db::Column>& columns, int maxBytes, FieldNameForm form)
{
    QList<QByteArray> names;
    QSet<QString> taken; // compared case-insensitively, accents included
    for (int i = 0; i < columns.size(); ++i) {
        QByteArray base = form == FieldNameForm::AsciiUpper ? asciiName(columns[i].name)
                                                           : vl::shell::toCp1250(columns[i].name.trimmed());
        base.replace('\0', '_');
        if (base.isEmpty()) base = "F" + QByteArray::number(i + 1);
        QByteArray name = base.left(maxBytes);
        for (int k = 2; taken.contains(vl::shell::fromCp1250(name).toUpper()); ++k) {
            const QByteArray suffix = "_" + QByteArray::number(k);
            name = base.left(maxBytes - suffix.size()) + suffix;
        }
        taken.insert(vl::shell::fromCp1250(name).toUpper());
        names.append(name);
    }
    return names;
}

QByteArray tableFileText(const QVariant& v, const vl::db::Column& col, int* lossy)
{
    const QString text = v.typeId() == QMetaType::QString ? v.toString()
                                                         : vl::db::displayText(v, vl::db::DisplayFormat::of(col));
    bool lost = false;
    QByteArray b = vl::shell::toCp1250(text, &lost);
    if (lost) ++*lossy;
    b.replace('\0', ' ');
    return b;
}

void checkTableFileColumns(const QList<vl::db::Column>& columns, const QString& format, const QString& context)
{
    if (columns.isEmpty())
        throw vl::Error(QStringLiteral("A %1 táblának legalább egy oszlop kell.").arg(format), context);
    if (columns.size() > 255)
        throw vl::Error(QStringLiteral("A %1 tábla legfeljebb 255 oszlopot fogad, a lekérdezésnek %2 van.")
                            .arg(format)
                            .arg(columns.size()),
                        context);
}

void notifyLossyValues(int lossy)
{
    if (lossy > 0)
        vl::notify(vl::MsgKind::Warning,
                   QStringLiteral("%1 értékben volt a windows-1250 kódlapon nem ábrázolható karakter; "
                                  "ezeket '?' jelre cseréltük.")
                       .arg(lossy));
}

} // namespace vl::exchange
