#include "HandoverPrintDialog.h"

#include "FormConventions.h"
#include "ReportPreview.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vl::rental {

Tspecfm::Tspecfm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Tspecfm"));
    setWindowTitle(QStringLiteral("Bizonylat nyomtatása"));
    setModal(true);
    auto mk = [this](QWidget* parent, const char* name, const QString& text) {
        auto* b = new QPushButton(text, parent);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };

    p_biz = new QWidget(this);
    p_biz->setObjectName(QStringLiteral("p_biz"));
    l_biz = new QLabel(p_biz);
    l_biz->setObjectName(QStringLiteral("l_biz"));
    QFont bold = font();
    bold.setBold(true);
    l_biz->setFont(bold);
    b_plus = mk(p_biz, "b_plus", QStringLiteral("+"));
    b_minus = mk(p_biz, "b_minus", QStringLiteral("-"));
    for (QPushButton* b : {b_plus, b_minus}) b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 12);
    e_pld = new QLineEdit(p_biz);
    e_pld->setObjectName(QStringLiteral("e_pld"));
    e_pld->setMaximumWidth(e_pld->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16);
    auto* bl = new QHBoxLayout(p_biz);
    bl->addWidget(new QLabel(QStringLiteral(" Bizonylat:"), p_biz));
    bl->addWidget(l_biz);
    bl->addSpacing(16);
    bl->addWidget(new QLabel(QStringLiteral(" Példányszám: "), p_biz));
    bl->addWidget(b_minus);
    bl->addWidget(e_pld);
    bl->addWidget(b_plus);
    bl->addStretch(1);

    p_ar = new QWidget(this);
    p_ar->setObjectName(QStringLiteral("p_ar"));
    cb_ar = new QCheckBox(QStringLiteral("Árakat írjunk a bizonylatra"), p_ar);
    cb_ar->setObjectName(QStringLiteral("cb_ar"));
    auto* al = new QHBoxLayout(p_ar);
    al->addWidget(cb_ar);
    al->addStretch(1);

    p_buttons = new QWidget(this);
    p_buttons->setObjectName(QStringLiteral("p_buttons"));
    b_printerset = mk(p_buttons, "b_printerset", QStringLiteral("Nyomtató beállítás"));
    b_megnez = mk(p_buttons, "b_megnez", QStringLiteral("&Képernyőre"));
    b_nyomtat = mk(p_buttons, "b_nyomtat", QStringLiteral("&Nyomtatóra"));
    b_vissza = mk(p_buttons, "b_vissza", QStringLiteral("&Vissza"));
    auto* btn = new QHBoxLayout(p_buttons);
    for (QPushButton* b : {b_printerset, b_megnez, b_nyomtat}) btn->addWidget(b);
    btn->addStretch(1);
    btn->addWidget(b_vissza);

    auto* all = new QVBoxLayout(this);
    all->addWidget(p_biz);
    all->addWidget(p_ar);
    all->addWidget(p_buttons);

    connect(b_plus, &QPushButton::clicked, this, [this] {
        e_pld->setText(QString::number(e_pld->text().trimmed().toInt() + 1));
    });
    connect(b_minus, &QPushButton::clicked, this, [this] {
        const int n = e_pld->text().trimmed().toInt();
        if (n > 0) e_pld->setText(QString::number(n - 1));
    });
    connect(b_printerset, &QPushButton::clicked, this, [this] {
        vl::reporting::printerSetupDialog(request_.bizonylat == -1 ? QStringLiteral("Tqratadas2")
                                                                   : QStringLiteral("Tqratadas"), this);
    });
    connect(b_megnez, &QPushButton::clicked, this, [this] { PrintOrPreview(false); });
    connect(b_nyomtat, &QPushButton::clicked, this, [this] { PrintOrPreview(true); });
    connect(b_vissza, &QPushButton::clicked, this, &QDialog::reject);
    vl::shell::FormConventions::install(this);
}

void Tspecfm::Prepare(qint64 contract, qint64 version, const QString& activity, const QString& date,
                      const QString& toDate) {
    setWindowTitle(contract == -1 ? QStringLiteral("Biankó átadási-átvételi bizonylat nyomtatása")
                                  : QStringLiteral("Bizonylat nyomtatása"));
    request_ = HandoverRequest();
    request_.bizonylat = contract;
    request_.verzio = version <= 0 ? 1 : version;
    request_.tevkod = activity;
    request_.datum = date;
    request_.datum2 = toDate;
    l_biz->setText(contract == -1 ? QString() : QString::number(contract));
    int copies = 1;
    try {
        copies = ReadHandoverCopies(vl::shell::dm().d_alap());
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a cég adatainak olvasása"));
    }
    e_pld->setText(QString::number(copies));
}

vl::reporting::Report Tspecfm::DocumentReport(bool* empty) {
    HandoverRequest rq = request_;
    rq.prices = cb_ar->isChecked();
    return LoadHandoverDocument(vl::shell::dm().d_alap(), rq, empty);
}

void Tspecfm::PrintOrPreview(bool print) {
    bool ok = false;
    const int copies = e_pld->text().trimmed().toInt(&ok);
    if (!ok) {
        vl::notify(vl::MsgKind::Error, QStringLiteral("A példányszám nem egész szám: ") + e_pld->text());
        return;
    }
    try {
        bool empty = false;
        const vl::reporting::Report r = DocumentReport(&empty);
        if (empty) {
            vl::notify(vl::MsgKind::Warning, NoHandoverLinesText());
        } else if (print) {
            if (copies > 0) vl::reporting::printReport(r, copies, this, false);
        } else {
            vl::reporting::previewReport(r, this);
        }
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az átadás-átvételi bizonylat nyomtatása"));
        return;
    }
    accept();
}

void ShowDocPrint(qint64 contract, qint64 version, const QString& activity, const QString& date,
                  const QString& toDate, QWidget* parent) {
    Tspecfm f(parent);
    f.Prepare(contract, version, activity, date, toDate);
    vl::shell::FormConventions::fitToScreen(&f);
    f.exec();
}

} // namespace vl::rental
