#pragma once
// Cabin labels: A4 sheets of labels (Tqrcimke) and the large label of a cabin
// on A5 or A6 paper (Tqrcimkenagy). Each label carries the cabin number in
// large type, the QR code of vl::util::CabinLabelText (what a hand scanner
// types back into a cabin field), the product group's name and the company's
// name and telephone (CEG.NEV, CEG.TELEFON).
//
//   LabelRequest rq;  rq.groupCode = "ALAP";            // or rq.codes, or all
//   LabelSetResult set = ReadLabels(tx, rq);            // refusals as messages
//   LabelLayoutRead l = ReadLabelLayout();              // PKR.INI, checked
//   Document doc = layout(LabelSheetReport(set.labels, set.company, l.layout));
//
// The sheet's layout comes from PKR.INI: CIMKEOSZLOP and CIMKESOR (labels
// across and down, default 3 x 8), CIMKESZELESSEG and CIMKEMAGASSAG (one
// label, mm, default 70 x 36), CIMKEBAL and CIMKEFELSO (the sheet's left and
// top margin, mm, default 0 and 4,5), CIMKEOSZLOPKOZ and CIMKESORKOZ (the gap
// between labels, mm, default 0). A page holds exactly columns x rows labels.
#include "db/Database.h"
#include "reporting/Report.h"
#include "util/Outcome.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vl::rental {

struct LabelLayout {
    int columns = 3, rows = 8;
    double left = 0, top = 4.5;          // the sheet's margins, mm
    double width = 70, height = 36;      // one label, mm
    double columnGap = 0, rowGap = 0;    // between labels, mm
    int perPage() const { return columns * rows; }
};

// The layout of the loaded PKR.INI; a value that is no number of its range
// (named with its key) or a sheet that runs off the A4 paper is refused, and
// `refusal` says so ("" when the layout can be used).
struct LabelLayoutRead {
    LabelLayout layout;
    QString refusal;
};
LabelLayoutRead ReadLabelLayout();
// The same check of a layout given as values.
QString LabelLayoutRefusal(const LabelLayout& layout);

enum class LabelPaper { Sheet, A5, A6 };

struct CabinLabel {
    QString code;          // ARU.KOD
    QString groupName;     // SZ_ARUCSOP.NEV (the code when the group has no name)
};
struct LabelCompany {
    QString name, phone;
};

// Which cabins get a label: the numbers listed (a range lists the cabins
// within it that exist), else every cabin of the group, else every cabin.
struct LabelRequest {
    QStringList codes;      // single numbers must exist
    QList<QPair<qint64, qint64>> ranges;
    QString groupCode;      // "": any group
    LabelPaper paper = LabelPaper::Sheet;
};

// Reads "1,2,5-9" (blanks allowed) into single numbers and ranges; false with
// a Hungarian refusal when a part is no number or range, a range runs
// backwards, or the list is longer than MaxLabelCodes numbers.
constexpr qint64 MaxLabelCodes = 100000;
bool ParseLabelCodes(const QString& text, LabelRequest* request, QString* refusal);

struct LabelSet {
    QList<CabinLabel> labels;    // in the register's order (numeric codes by value)
    LabelCompany company;
};
using LabelSetResult = vl::OutcomeOf<LabelSet>;
// The cabins of a request. Refused: an unknown group ("Nincs ilyen
// termékcsoport: X"), numbers without a cabin (named, also when the group
// holds them not), a range without any cabin, nothing to print.
LabelSetResult ReadLabels(vl::db::Transaction& tx, const LabelRequest& request);

// Tqrcimke: the labels on A4 sheets, page after page.
vl::reporting::Report LabelSheetReport(const QList<CabinLabel>& labels, const LabelCompany& company,
                                       const LabelLayout& layout);
// Tqrcimkenagy: one large label per page on A5 or A6 paper (portrait).
vl::reporting::Report LargeLabelReport(const QList<CabinLabel>& labels, const LabelCompany& company,
                                       LabelPaper paper);

} // namespace vl::rental
