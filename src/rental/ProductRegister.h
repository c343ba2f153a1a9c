#pragma once
// The product register's rules (no widgets): the list of cabins and its
// filters, the overview pages, the quick search by code, validating and
// storing a product, the direct take-back with exchange, delete and the
// status check. Status changes of ARU that follow the contracts go through
// ProductStore::UpdateProductStatus, the one owner of ARU.ALLAPOT.
//
// Questions (a type change, a take-back without replacement, the confirmation
// of an update or a delete, the repair of the status check) come back as
// data (vl::Outcome): the caller asks them and calls `proceed`; nothing is
// written while a question is open. Validation errors come back as one text,
// so the form shows them together and keeps its mode.
//
// ProductRegisterSession is what the form (Tkabinfm) and the products
// command call: the dictionaries of the combos, the pages, the store, the
// delete and the check, each in its own transaction.
#include "db/Database.h"
#include "rental/CabinLabels.h"
#include "rental/ProductImport.h"
#include "shell/Session.h"
#include "util/Outcome.h"

#include <QString>
#include <QStringList>

namespace vl::rental {

// The register's filter: a product group code and a product status code, each
// empty for "Összes".
struct ProductFilter {
    QString typeCode;
    QString statusCode;
};

// The edit modes of the register.
enum class ProductMode { Browse, Insert, Update, Modify };
QString ProductModeName(ProductMode m);   // "browse", "insert", "update", "modify"

// What a store needs: the edit panel's values and the current list row.
struct ProductStoreRequest {
    ProductMode mode = ProductMode::Insert;
    QString code;          // e_koduj
    QString typeName;      // cb_arucsopuj (a group name)
    QString statusName;    // cb_statuskuj (a status name)
    QString replacement;   // e_csere (take-back only; empty means "*")
    // The current row of the list (update and take-back).
    QString oldCode;
    QString oldTypeCode;
    QString oldStatusClass; // S.KIADHATO of the row
    QString kiszall;        // B.KISZALL of the row
    qint64 bizonylat = 0;   // A.BIZONYLAT of the row
    qint64 tetelsor = 0;    // B.TETELSOR of the row
    // The codes of the list as loaded (insert: a code already listed).
    QStringList listedCodes;
};

// What a store says besides done / refused / asking: `ok` when it wrote;
// the validation message ("Az adatokban az alábbi hibák vannak:\r" ...) is
// its one message.
struct ProductStored {
    bool declined = false; // the update's confirmation was answered "Nem"
    QString rememberCode; // the code the list returns to after the reload
    QString summary;      // one line of what the store wrote
};
using ProductStoreResult = vl::OutcomeOf<ProductStored>;

// What a take-back with exchange wrote.
struct ExchangeSummary {
    qint64 bizonylat = 0;
    qint64 tetelsor = 0;      // the item's line after the exchange
    qint64 sorszam = 0;       // the item's number after the exchange
    bool split = false;       // the line was split (type change on a line of more than one)
    bool typeChanged = false;
    int activitiesMoved = 0;  // planned activities that followed the item
    int visitsWritten = 0, visitsDeleted = 0;
    int periodsWritten = 0, periodsDeleted = 0;
    QString line() const;
};

class ProductRegister {
public:
    // ---- the list and its pages
    // The product list (columns KOD, ARUCSOPORT, ALLAPOT, TIPUS, STATUS, KISZALL,
    // VSZALL, UGYFEL, CIM, BIZONYLAT, VERZIO, KIADHATO, SZIN, TETELSOR), filter
    // values bound, in numeric order of the codes.
    static vl::db::RowSet List(vl::db::Transaction& tx, const ProductFilter& filter);
    // "Összesítés": KABINFAJTA, ALLAPOT, DARAB under the same filter.
    static vl::db::RowSet Summary(vl::db::Transaction& tx, const ProductFilter& filter);
    // "Karbantartás nélkül": TERMEKSZAM, TERMEKTIPUS, DATUM, UGYFEL, CIM.
    static vl::db::RowSet WithoutMaintenance(vl::db::Transaction& tx);
    // "Kabinszám nélkül": TERMEKTIPUS, DATUM, UGYFEL, CIM.
    static vl::db::RowSet WithoutCabinNumber(vl::db::Transaction& tx);

    // The filter line of the product list report: " Árucsoport:" + type name,
    // then ", Státusz: " + status name, each when chosen.
    static QString FilterText(const QString& typeName, const QString& statusName);

    // The row of the quick search: empty text the first row (0); otherwise the
    // first code in list order that begins with the trimmed text
    // (case-insensitive), the text shortened by one character from the end
    // while none does; -1 when not even the first character matches.
    static int QuickSearch(const QStringList& codes, const QString& text);

    // The cabins another item of the contract being entered already holds
    // (not yet stored, so the register still lists them free): the list shows
    // them taken ("Foglalt (ezen a szerződésen)", class "N", in the colour of
    // the rented ones) and the picker refuses them with AlreadyOnContractText.
    static vl::db::RowSet MarkTakenOnContract(const vl::db::RowSet& list, const QStringList& codes);
    static QString TakenOnContractText() { return QStringLiteral("Foglalt (ezen a szerződésen)"); }
    static QString AlreadyOnContractText(const QString& code) {
        return QStringLiteral("A(z) ") + code.trimmed() + QStringLiteral(" számú kabin már szerepel a szerződésben");
    }

    // A product code is a whole number written in digits only.
    static bool ValidCode(const QString& code);
    static QString InvalidCodeText(const QString& code);

    // Counts of a list by status class: I free, N rented, anything else damaged or other.
    struct Counts {
        int free = 0, rented = 0, other = 0;
        int total() const { return free + rented + other; }
    };
    static Counts CountByClass(const vl::db::RowSet& list);
    // The cabins planned to come back from `from` to `to` (a planned take-back
    // of a running contract), per product group: ARUCSOPORT, DARAB.
    static vl::db::RowSet FreedByTakeBacks(vl::db::Transaction& tx, const QString& from, const QString& to);

    // ---- storing
    // Validates and stores (insert, update, take-back). Questions come back
    // open ("Visszaveszi a terméket és más típusú terméket ad meg helyette?",
    // "Visszaveszi a terméket és nem ad meg helyette másikat?", "A X kódú
    // terméket módosítjuk?"); with errors nothing is written and the result's
    // message holds them. The
    // take-back writes the contract rows, both cabins' ARU rows, the planned
    // activities of the item, its maintenance and the contract's billing in
    // one transaction (joined or owned); meeting another workstation's write
    // of the contract it throws vl::RuleRefusal(ContractChangedElsewhereText()).
    static ProductStoreResult Store(vl::db::Connection& conn, vl::db::Transaction* outer,
                                    const vl::shell::Session& session, const ProductStoreRequest& request);

    // The take-back with exchange itself, after validation: the item of the
    // contract that holds `oldCode` and is not back gets `replacement` ("*"
    // for none); with typeChange and a line of more than one the item moves
    // to a new line of the replacement's group. Throws vl::RuleRefusal when the
    // contract or item cannot be changed.
    static ExchangeSummary Exchange(vl::db::Transaction& tx, const vl::shell::Session& session, qint64 bizonylat,
                                    qint64 verzio, const QString& oldCode, const QString& replacement,
                                    bool typeChange);

    // ---- delete
    // "Törlés": only a free product ("Csak szabad kabin törölhető"), only one
    // without rental history (refusals); asks first ("Biztosan törli a(z) X
    // kódú terméket?", Enter answers "Nem"). ok when deleted.
    static vl::Outcome Delete(vl::db::Connection& conn, vl::db::Transaction* outer, const QString& code);
    // Why a product cannot be deleted ("" when it can).
    static QString DeleteRefusal(vl::db::Transaction& tx, const QString& code);

    // ---- the status check
    // The question of "Ellenőrzés" for a product that is marked rented though
    // its item came back; "" when there is nothing to repair.
    static QString CheckQuestion(const QString& statusCode, const QString& statusName, const QString& vszall);
    // Repairs the product's status after the question (through
    // UpdateProductStatus: freed unless it is out on another contract).
    static QString Repair(vl::db::Connection& conn, vl::db::Transaction* outer, const QString& code);
    // The check of one product as the form runs it: reads the product's row
    // and asks CheckQuestion; "Igen" repairs. ok when something was repaired;
    // refused without messages when there is nothing to repair.
    static vl::Outcome Check(vl::db::Connection& conn, const QString& code);

    // The line number a new line of the contract takes: one above the highest
    // line any line, item or activity of the contract holds.
    static qint64 NextLineNo(vl::db::Transaction& tx, qint64 bizonylat, qint64 verzio);

    // A take-back that meets another workstation's store of the same contract
    // writes nothing and says so.
    static QString ContractChangedElsewhereText() {
        return QStringLiteral("A szerződést közben máshol módosították. Az adatok frissültek, kérem, ismételje meg a műveletet.");
    }

    // Texts of the register.
    static QString TakeBackRefusal(const QString& statusName) {
        return QStringLiteral("Ilyen státuszú (") + statusName + QStringLiteral(") terméket nem lehet visszavenni.");
    }
};

// The labels of a request, laid out and ready to preview, print or write.
struct LabelDocument {
    vl::reporting::Report report;   // Tqrcimke (the sheet) or Tqrcimkenagy (A5, A6)
    int labels = 0;
};
using LabelReportResult = vl::OutcomeOf<LabelDocument>;

// The register as the form and the products and labels commands use it.
class ProductRegisterSession {
public:
    ProductRegisterSession(vl::db::Connection& conn, vl::shell::Session session)
        : conn_(conn), session_(std::move(session)) {}

    // The combos: SZ_ARUCSOP and SZ_STATUSK by name.
    vl::db::RowSet readGroups();
    vl::db::RowSet readStatuses();

    // The four pages under the filter, read together; the cabins of `takenCodes`
    // shown taken (MarkTakenOnContract).
    struct Pages {
        vl::db::RowSet list, summary, withoutMaintenance, withoutCabinNumber;
    };
    Pages loadPages(const ProductFilter& filter, const QStringList& takenCodes = {});
    // The list page alone.
    vl::db::RowSet readList(const ProductFilter& filter);

    // The company named on the list report.
    QString readCompanyName();
    // The filter line of the report for the filter's codes (a code not in the
    // dictionary stands for itself).
    QString readFilterText(const ProductFilter& filter);

    ProductStoreResult store(const ProductStoreRequest& request) {
        return ProductRegister::Store(conn_, nullptr, session_, request);
    }
    vl::Outcome deleteProduct(const QString& code) { return ProductRegister::Delete(conn_, nullptr, code); }
    vl::Outcome check(const QString& code) { return ProductRegister::Check(conn_, code); }
    // "Importálás": cabins from a CSV file (ProductImport.h), all or nothing.
    ProductImportResult importProducts(const QByteArray& bytes, const ProductImportOptions& options,
                                       const ImportProgress& progress = {}) {
        return ImportProducts(conn_, bytes, options, progress);
    }

    // "Címkék nyomtatása": the labels of the request (ReadLabels), on the sheet
    // of PKR.INI (ReadLabelLayout) or one large label a page; a refusal of
    // either comes back as the message.
    LabelReportResult labelReport(const LabelRequest& request);

private:
    vl::db::Connection& conn_;
    vl::shell::Session session_;
};

} // namespace vl::rental
