#include "Tcimkefm.h"

#include "CodeCombo.h"
#include "FormConventions.h"
#include "ReportPreview.h"
#include "shell/Dm.h"
#include "util/Error.h"
#include "util/MessageSink.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vl::rental {

namespace {
template <class W>
W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}
} // namespace

Tcimkefm::Tcimkefm(const QStringList& selectedCodes, const QString& groupCode, QWidget* parent)
    : QDialog(parent), selected_(selectedCodes) {
    setObjectName(QStringLiteral("Tcimkefm"));
    setWindowTitle(QStringLiteral("Címkék nyomtatása"));

    auto* which = new QGroupBox(QStringLiteral("Kabinok"), this);
    rb_kijelolt = named(new QRadioButton(QStringLiteral("A kijelölt kabinok (%1 db)").arg(selectedCodes.size()), which),
                        "rb_kijelolt");
    rb_csoport = named(new QRadioButton(QStringLiteral("Termékcsoport:"), which), "rb_csoport");
    cb_csoport = named(new QComboBox(which), "cb_csoport");
    cb_csoport->setMinimumContentsLength(24);
    rb_osszes = named(new QRadioButton(QStringLiteral("Az összes kabin"), which), "rb_osszes");
    auto* w = new QGridLayout(which);
    w->addWidget(rb_kijelolt, 0, 0, 1, 2);
    w->addWidget(rb_csoport, 1, 0);
    w->addWidget(cb_csoport, 1, 1);
    w->addWidget(rb_osszes, 2, 0, 1, 2);

    auto* paper = new QGroupBox(QStringLiteral("Forma"), this);
    rb_ives = named(new QRadioButton(QStringLiteral("Címkeív (A4)"), paper), "rb_ives");
    rb_a5 = named(new QRadioButton(QStringLiteral("Nagy címke, kabinonként egy lap (A5)"), paper), "rb_a5");
    rb_a6 = named(new QRadioButton(QStringLiteral("Nagy címke, kabinonként egy lap (A6)"), paper), "rb_a6");
    auto* p = new QVBoxLayout(paper);
    for (QRadioButton* b : {rb_ives, rb_a5, rb_a6}) p->addWidget(b);
    rb_ives->setChecked(true);

    b_kepernyo = named(new QPushButton(QStringLiteral("&Képernyőre"), this), "b_kepernyo");
    b_nyomtato = named(new QPushButton(QStringLiteral("&Nyomtatóra"), this), "b_nyomtato");
    b_megsem = named(new QPushButton(QStringLiteral("Mégsem"), this), "b_megsem");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {b_kepernyo, b_nyomtato, b_megsem}) buttons->addWidget(b);

    auto* all = new QVBoxLayout(this);
    all->addWidget(which);
    all->addWidget(paper);
    all->addLayout(buttons);

    try {
        ProductRegisterSession rules(vl::shell::dm().d_alap(), vl::shell::dm().session());
        vl::shell::FillCodeCombo(cb_csoport, [&rules] { return rules.readGroups(); }, groupCodes_, true, QStringLiteral("-"));
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a termékcsoportok olvasása"));
    }
    const int g = groupCodes_.indexOf(groupCode);
    cb_csoport->setCurrentIndex(g >= 0 ? g : (cb_csoport->count() > 0 ? 0 : -1));
    rb_kijelolt->setEnabled(!selectedCodes.isEmpty());
    rb_csoport->setEnabled(cb_csoport->count() > 0);
    // Several cabins marked: those; a group filtered: the group; else the fleet.
    (selectedCodes.size() > 1 ? rb_kijelolt : g >= 0 ? rb_csoport : rb_osszes)->setChecked(true);

    connect(cb_csoport, &QComboBox::activated, this, [this] { rb_csoport->setChecked(true); });
    connect(b_kepernyo, &QPushButton::clicked, this, [this] { PrintOrPreview(false); });
    connect(b_nyomtato, &QPushButton::clicked, this, [this] {
        if (PrintOrPreview(true)) accept();
    });
    connect(b_megsem, &QPushButton::clicked, this, &QDialog::reject);
    vl::shell::FormConventions::install(this);
}

LabelRequest Tcimkefm::Request() const {
    LabelRequest rq;
    if (rb_kijelolt->isChecked()) rq.codes = selected_;
    else if (rb_csoport->isChecked()) rq.groupCode = groupCodes_.value(cb_csoport->currentIndex());
    rq.paper = rb_a5->isChecked() ? LabelPaper::A5 : rb_a6->isChecked() ? LabelPaper::A6 : LabelPaper::Sheet;
    return rq;
}

bool Tcimkefm::PrintOrPreview(bool print) {
    try {
        ProductRegisterSession rules(vl::shell::dm().d_alap(), vl::shell::dm().session());
        const LabelReportResult r = rules.labelReport(Request());
        if (!r.ok) {
            vl::notify(vl::MsgKind::Warning, r.messages.join(QLatin1Char('\r')));
            return false;
        }
        return print ? vl::reporting::printReport(r.report, 1, this, true) : vl::reporting::previewReport(r.report, this);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a címkék nyomtatása"));
        return false;
    }
}

} // namespace vl::rental
