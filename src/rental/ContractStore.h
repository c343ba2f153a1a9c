#pragma once
// Storing a new contract: header, lines and product items in the caller's
// transaction, so the contract lands whole or not at all. Activities and
// billing periods are the generators' business.
#include "db/Database.h"
#include "util/Error.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <stdexcept>

namespace vl::rental {

// A rule of the rental core refused an operation; text() is the message for
// the user, context() the rule that refused.
class RentalError : public vl::RuleRefusal {
public:
    explicit RentalError(const QString& text, const QString& rule = QStringLiteral("ContractStore::StoreNewContract"))
        : vl::RuleRefusal(text, rule) {}
};

struct ContractHeader {
    QString bermod;       // SZ_BERMOD.KOD
    QString fizmod;       // SZ_FIZMOD.KOD
    QString berkezd;      // 'yyyy.mm.dd'
    QString berveg;       // empty for an open-ended rental
    QString ugyfelkod;
    QString ugyfelcim;
    QString szerzodes;
    QString komment;
    QString vegkomment;   // multi-line, CR LF
};

struct ContractLine {
    QString arucsoport;   // SZ_ARUCSOP.KOD
    qint64 mennyiseg = 1;
    QString m_egyseg;     // empty: the group's unit
    qint64 bermenny = 1;
    QString bermegyseg;   // SZ_MEGYSEG.KOD
    qint64 nettoar = 0;
    qint64 minimalar = 0;
    qint64 karertek = 0;  // negative: the group's KARAR
    QString kiszall;      // delivery date
    QString vszall;       // planned return date, may be empty
    QString hkszcspszv = QStringLiteral("0000000");
    std::array<qint64, 7> karbar{};  // visit price Monday .. Sunday
    qint64 periodus = 1;
    QString soforkod;
    QString komment;
    // Product codes of items 1, 2, ...; items beyond the list get "*".
    QStringList products;
};

class ContractStore {
public:
    // Validates and stores a new contract with VERZIO 1, AKTIV "I", STATUS "FO":
    // the number comes from NewContractNo, lines are numbered MaxLineNo + 1,
    // each line gets its items 1 .. MENNYISEG (ARUKOD "*" where no product is
    // given, pattern, prices, period and driver copied from the line), and each
    // product is set rented through ProductStore::UpdateProductStatus.
    // Throws RentalError (nothing written by this call survives when the caller
    // lets the transaction roll back) or DbError. Returns the contract number.
    static qint64 StoreNewContract(vl::db::Transaction& tx, const ContractHeader& header,
                                   const QList<ContractLine>& lines, const QString& juzer);
};

} // namespace vl::rental
