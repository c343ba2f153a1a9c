#include "DayList.h"

#include "db/SqlText.h"
#include "util/Dates.h"
#include "util/NumberFormat.h"

#include <QRegularExpression>
#include <memory>

namespace vl::operations {

using namespace vl::reporting;

namespace {

const QString kContractLinesSql = QStringLiteral(
    "SELECT S.MENNYISEG, S.M_EGYSEG, SZC.NEV TIPUS, S.NETTOAR, S.BERMENNY, S.BERMEGYSEG"
    " FROM FORGSOR S JOIN SZ_ARUCSOP SZC ON SZC.KOD = S.ARUCSOPORT"
    " WHERE S.BIZONYLAT = :bizonylat AND S.VERZIO = :verzio ORDER BY S.TETELSOR");

// The count of a line in the driver's summary, by activity name.
struct Summary {
    QList<QPair<QString, qint64>> items;
    QList<bool> payment;
    void add(const QString& name, qint64 n, bool pay) {
        for (int i = 0; i < items.size(); ++i)
            if (items[i].first == name) {
                items[i].second += n;
                return;
            }
        items.append({name, n});
        payment.append(pay);
    }
    QString text() const {
        QStringList out;
        for (int i = 0; i < items.size(); ++i)
            out << items[i].first + QStringLiteral(": ") + QString::number(items[i].second) +
                       (payment[i] ? QStringLiteral(" cím") : QStringLiteral(" kabin"));
        return out.join(QLatin1Char('\n'));
    }
};

bool isPayment(const PrintContext& c) { return c.text(QStringLiteral("TEVKOD")) == QStringLiteral("FIZ"); }

} // namespace

QString DayListSql(const DaySheet& sheet) {
    QString filter = sheet.filterLine();
    filter += filter.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    // Deleted and moved lines never print, nor paid payment lines.
    filter += QStringLiteral("COALESCE(MODOSITHATO, '') NOT IN ('X', 'n')"
                             " AND NOT (TEVKOD = 'FIZ' AND COALESCE(MODOSITHATO, '') = 'N')");
    return QStringLiteral("SELECT * FROM ") + vl::db::sqltext::quoteIdent(sheet.tableName()) + filter +
           QStringLiteral(" ORDER BY SOFOR, CIM, TSORSZAM");
}

QString WithoutAmountPrefix(const QString& remark) {
    static const QRegularExpression prefix(QStringLiteral("^-?\\d+ Ft, ( )?"));
    QString r = remark;
    const auto m = prefix.match(r);
    if (m.hasMatch()) r.remove(0, m.capturedLength());
    return r;
}

QString DayListQuantity(bool payment, qint64 db, qint64 nettofiz, qint64 bruttofiz) {
    if (!payment) return QString::number(db);
    return QStringLiteral("nettó ") + vl::util::FormatAmount(double(nettofiz)) + QLatin1Char('\n') +
           QStringLiteral("ÁFÁs  ") + vl::util::FormatAmount(double(bruttofiz));
}

DayList DayListFor(vl::db::Connection& conn, const DaySheet& sheet) {
    DayList list;
    list.caption = sheet.day() + QLatin1Char(' ') + vl::util::DayNameOf(sheet.day(), QString());
    if (!sheet.dayKind().isEmpty()) list.caption += QStringLiteral("  ") + sheet.dayKind();
    auto tx = conn.begin(vl::db::TxMode::ReadOnly);
    const auto ceg = tx->query(QStringLiteral("SELECT FIRST 1 NEV FROM CEG"));
    if (!ceg.isEmpty()) list.company = ceg.at(0, 0).toString();
    list.rows = tx->query(DayListSql(sheet), sheet.filterParams());
    QHash<QString, QString> byContract;
    const int cT = list.rows.indexOf(QStringLiteral("TSORSZAM")), cK = list.rows.indexOf(QStringLiteral("TEVKOD"));
    for (int r = 0; r < list.rows.rowCount(); ++r) {
        if (list.rows.at(r, cK).toString() != QStringLiteral("FIZ")) continue;
        const int t = int(list.rows.at(r, cT).toLongLong());
        const DaySheetLine* l = sheet.line(t);
        if (!l) continue;
        QStringList parts;
        QList<QPair<qint64, qint64>> seen;
        for (const SourceRow& s : l->sources) {
            const QPair<qint64, qint64> key{s.bizonylat, s.verzio};
            if (seen.contains(key)) continue;
            seen << key;
            const QString k = QString::number(s.bizonylat) + QLatin1Char('/') + QString::number(s.verzio);
            if (!byContract.contains(k)) {
                auto rs = tx->query(kContractLinesSql, {{QStringLiteral("bizonylat"), s.bizonylat},
                                                        {QStringLiteral("verzio"), s.verzio}});
                QStringList lines;
                while (rs.next())
                    lines << QString::number(rs.integer(QStringLiteral("MENNYISEG"))) + QLatin1Char(' ') +
                                 rs.text(QStringLiteral("M_EGYSEG")) + QLatin1Char(' ') + rs.text(QStringLiteral("TIPUS")) +
                                 QLatin1Char(' ') + vl::util::FormatAmount(double(rs.integer(QStringLiteral("NETTOAR")))) +
                                 QStringLiteral(" Ft/db/") + QString::number(rs.integer(QStringLiteral("BERMENNY"))) +
                                 QLatin1Char(' ') + rs.text(QStringLiteral("BERMEGYSEG"));
                byContract.insert(k, lines.join(QStringLiteral("; \n")));
            }
            if (!byContract.value(k).isEmpty()) parts << byContract.value(k);
        }
        list.contractLines.insert(t, parts.join(QStringLiteral("; \n")));
    }
    return list;
}

Report DayListReport(const DayList& list) {
    Report r;
    r.name = QStringLiteral("Tqrtevnaplo");
    r.caption = QStringLiteral("Napi tevékenységek");
    r.orientation = QPageLayout::Landscape;
    r.data = list.rows;
    const Font bold = Font::of(QStringLiteral("Arial"), 10, true);
    const Font small = Font::of(QStringLiteral("Arial"), 9);
    auto summary = std::make_shared<Summary>();
    const QHash<int, QString> contractLines = list.contractLines;

    // Page header.
    r.pageHeader.height = 24;
    r.pageHeader.add(Field::label(QStringLiteral("l_ceg"), 0, 0, 140, 5, list.company, bold));
    r.pageHeader.add(Field::label(QStringLiteral("l_cim"), 90, 0, 100, 7, QStringLiteral("Napi tevékenységek"),
                                  Font::of(QStringLiteral("Arial"), 14, true), Align::Center));
    r.pageHeader.add(Field::computed(QStringLiteral("l_keszult"), 190, 0, 87, 5,
                                     [](const PrintContext& c) { return QStringLiteral("Készült: ") + c.printTimeText(); },
                                     small, Align::Right));
    r.pageHeader.add(Field::label(QStringLiteral("l_szuro"), 0, 9, 140, 5, list.caption, bold));
    r.pageHeader.add(Field::computed(QStringLiteral("l_sofor"), 140, 9, 100, 5,
                                     [](const PrintContext& c) { return c.text(QStringLiteral("SOFOR")); }, bold));
    r.pageHeader.add(Field::page(QStringLiteral("l_lap"), 240, 9, 37, 5, QStringLiteral("{page}. oldal"), small,
                                 Align::Right));
    r.pageHeader.add(Field::hline(QStringLiteral("l_vonal"), 0, 16, 277));

    // Column header.
    r.columnHeader.height = 6;
    r.columnHeader.add(Field::label(QStringLiteral("h_partner"), 0, 0, 50, 5, QStringLiteral("Partner"), bold));
    r.columnHeader.add(Field::label(QStringLiteral("h_cim"), 51, 0, 70, 5, QStringLiteral("Szállítási cím"), bold));
    r.columnHeader.add(Field::label(QStringLiteral("h_menny"), 122, 0, 30, 5, QStringLiteral("Mennyiség/Ft"), bold));
    r.columnHeader.add(Field::label(QStringLiteral("h_tev"), 153, 0, 50, 5, QStringLiteral("Tevékenység"), bold));
    r.columnHeader.add(Field::label(QStringLiteral("h_megj"), 204, 0, 73, 5, QStringLiteral("Megjegyzés"), bold));

    // The driver: each on pages of its own; the inner group of the same key
    // gives the summary footer that prints before the driver's block.
    Group& g = r.addGroup(QStringLiteral("sofor"), {QStringLiteral("SOFOR")});
    g.newPage = true;
    g.header.height = 7;
    g.header.add(Field::computed(QStringLiteral("l_gepjarmuvezeto"), 0, 1, 200, 5,
                                 [](const PrintContext& c) {
                                     return QStringLiteral("Gépjármű vezető: ") + c.text(QStringLiteral("SOFOR"));
                                 },
                                 bold));
    r.addSum(QStringLiteral("brutto"), [](const PrintContext& c) {
        return isPayment(c) ? c.number(QStringLiteral("BRUTTOFIZ")) : 0.0;
    });
    Band& drv = g.footer;
    drv.height = 62;
    drv.add(Field::computed(QStringLiteral("l_beszedendo"), 0, 2, 200, 5,
                            [](const PrintContext& c) {
                                return QStringLiteral("Beszedendő összesen (bruttó): ") +
                                       vl::util::FormatAmount(double(qint64(c.sum(QStringLiteral("brutto"), QStringLiteral("sofor"))))) +
                                       QStringLiteral(" Ft");
                            },
                            bold));
    drv.add(Field::label(QStringLiteral("l_atvettem"), 0, 10, 100, 5,
                         QStringLiteral("A gépjárművet hibátlan állapotban átvettem")));
    drv.add(Field::label(QStringLiteral("l_alairas"), 100, 10, 80, 5,
                         QStringLiteral("..................................................")));
    const QStringList cash{QStringLiteral("Bevétel:"), QStringLiteral("Kiadás:"), QStringLiteral("Nyitó egyenleg:"),
                           QStringLiteral("Záró egyenleg:")};
    const QStringList car{QStringLiteral("Óraállás tankoláskor:"), QStringLiteral("Előző tankolás óraállása:"),
                          QStringLiteral("Futott km.:"), QStringLiteral("Tankolt liter:"), QStringLiteral("Fogyasztás")};
    for (int i = 0; i < cash.size(); ++i) {
        drv.add(Field::box(QStringLiteral("k_penz%1").arg(i), 0, 18 + i * 9, 120, 8));
        drv.add(Field::label(QStringLiteral("l_penz%1").arg(i), 2, 19.5 + i * 9, 60, 5, cash[i]));
    }
    for (int i = 0; i < car.size(); ++i) {
        drv.add(Field::box(QStringLiteral("k_auto%1").arg(i), 140, 18 + i * 9, 137, 8));
        drv.add(Field::label(QStringLiteral("l_auto%1").arg(i), 142, 19.5 + i * 9, 70, 5, car[i]));
    }

    Group& s = r.addGroup(QStringLiteral("tevsum"), {QStringLiteral("SOFOR")});
    s.repeatHeader = false;
    s.footer.height = 12;
    s.footer.add(Field::label(QStringLiteral("l_tevossz"), 0, 1, 100, 5, QStringLiteral("Tevékenység összesítés"), bold));
    Field memo = Field::computed(QStringLiteral("m_tevsum"), 0, 6, 150, 5,
                                 [summary](const PrintContext&) { return summary->text(); });
    memo.autoHeight = true;
    memo.wrap = Wrap::Word;
    s.footer.add(memo);
    s.footer.afterPrint = [summary](PrintContext&) { *summary = Summary(); };

    // Detail.
    r.detail.height = 6;
    Field partner = Field::data(QStringLiteral("UGYFEL"), 0, 0.5, 50, 5, QStringLiteral("UGYFEL"), small);
    partner.wrap = Wrap::Word;
    partner.autoHeight = true;
    Field cim = Field::data(QStringLiteral("CIM"), 51, 0.5, 70, 5, QStringLiteral("CIM"), small);
    cim.wrap = Wrap::Word;
    cim.autoHeight = true;
    Field menny = Field::computed(QStringLiteral("MENNY"), 122, 0.5, 30, 5,
                                  [](const PrintContext& c) {
                                      return DayListQuantity(isPayment(c), c.integer(QStringLiteral("DB")),
                                                             c.integer(QStringLiteral("NETTOFIZ")),
                                                             c.integer(QStringLiteral("BRUTTOFIZ")));
                                  },
                                  small, Align::Right);
    menny.autoHeight = true;
    Field tev = Field::computed(QStringLiteral("TEV"), 153, 0.5, 50, 5,
                                [](const PrintContext& c) {
                                    const QString t = c.text(QStringLiteral("TIPUS")).trimmed();
                                    return t.isEmpty() ? c.text(QStringLiteral("TEVNEV"))
                                                       : t + QLatin1Char('\n') + c.text(QStringLiteral("TEVNEV"));
                                },
                                small);
    tev.wrap = Wrap::Word;
    tev.autoHeight = true;
    Field megj = Field::computed(QStringLiteral("MEGJ"), 204, 0.5, 73, 5,
                                 [contractLines](const PrintContext& c) {
                                     if (!isPayment(c)) return c.text(QStringLiteral("TERMEKKODOK"));
                                     const QString lines =
                                         contractLines.value(int(c.integer(QStringLiteral("TSORSZAM"))));
                                     return lines + QLatin1Char('\n') +
                                            WithoutAmountPrefix(c.text(QStringLiteral("KOMMENT")));
                                 },
                                 small);
    megj.wrap = Wrap::Word;
    megj.autoHeight = true;
    r.detail.add(partner).add(cim).add(menny).add(tev).add(megj);
    r.detail.beforePrint = [summary](BandPrint&, PrintContext& c) {
        const bool pay = isPayment(c);
        summary->add(c.text(QStringLiteral("TEVNEV")), pay ? 1 : c.integer(QStringLiteral("DB")), pay);
    };
    return r;
}

} // namespace vl::operations
