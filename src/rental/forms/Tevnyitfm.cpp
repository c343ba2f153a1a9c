#include "Tevnyitfm.h"

#include "FormConventions.h"
#include "shell/BusinessYear.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vl::rental {

namespace {
const QString kNote = QStringLiteral(
    "A megnyitandó évre tevékenységeket (pl. karbantartás) és KP-s fizetéseket generálunk az aktuális évben "
    "megadott adatok alapján. Csak azokra a kihelyezésekre, amelyek az aktuális év végén még aktívak.");

// The current year as a number, 0 when the text is not a year.
int yearNumber(const QString& text) { return vl::shell::BusinessYearNumber(text); }
} // namespace

Tevnyitfm::Tevnyitfm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Tevnyitfm"));
    setWindowTitle(QStringLiteral("Év nyitása"));
    setModal(true);

    QFont bold = font();
    bold.setBold(true);

    Label1 = new QLabel(QStringLiteral("Aktuális év:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    DBText1 = new QLabel(this);
    DBText1->setObjectName(QStringLiteral("DBText1"));
    DBText1->setFont(bold);
    DBText1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label2 = new QLabel(QStringLiteral("Megnyitandó év:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    e_ujev = new QLineEdit(this);
    e_ujev->setObjectName(QStringLiteral("e_ujev"));
    e_ujev->setMaxLength(4);
    vl::shell::FormConventions::setNumeric(e_ujev);
    e_ujev->setFixedWidth(e_ujev->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
    Label2->setBuddy(e_ujev);
    cb_ujra = new QCheckBox(QStringLiteral("Újragenerálás"), this);
    cb_ujra->setObjectName(QStringLiteral("cb_ujra"));
    cb_ujra->setChecked(true);
    cb_ujra->setToolTip(QStringLiteral("Bejelölve a több hetes ritmusok január 1-jétől indulnak újra; "
                                       "üresen az előző év utolsó látogatásától folytatódnak."));

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setPlainText(kNote);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setFixedHeight(Memo1->fontMetrics().lineSpacing() * 4 + 14);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    // Hidden until a run, without the rows below moving up and down.
    QSizePolicy keep = ProgressBar1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    ProgressBar1->setSizePolicy(keep);
    ProgressBar1->hide();
    l_tetel = new QLabel(this);
    l_tetel->setObjectName(QStringLiteral("l_tetel"));
    l_biz = new QLabel(this);
    l_biz->setObjectName(QStringLiteral("l_biz"));
    l_biz->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    b_indul = new QPushButton(QStringLiteral("Indul"), this);
    b_indul->setObjectName(QStringLiteral("b_indul"));
    b_indul->setFont(bold);
    b_indul->setAutoDefault(false);
    b_vissza = new QPushButton(QStringLiteral("Vissza"), this);
    b_vissza->setObjectName(QStringLiteral("b_vissza"));
    b_vissza->setFont(bold);
    b_vissza->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(DBText1, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(e_ujev, 1, 1, Qt::AlignLeft);
    grid->addWidget(cb_ujra, 2, 1);
    grid->setColumnStretch(2, 1);

    auto* counts = new QHBoxLayout;
    counts->addWidget(l_tetel);
    counts->addStretch(1);
    counts->addWidget(l_biz);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(b_indul);
    buttons->addStretch(1);
    buttons->addWidget(b_vissza);

    auto* all = new QVBoxLayout(this);
    all->addLayout(grid);
    all->addWidget(Memo1);
    all->addWidget(ProgressBar1);
    all->addLayout(counts);
    all->addSpacing(4);
    all->addLayout(buttons);

    connect(b_indul, &QPushButton::clicked, this, [this] { b_indulClick(); });
    connect(b_vissza, &QPushButton::clicked, this, &QDialog::reject);

    vl::shell::FormConventions::install(this);
    setMinimumWidth(460);
    resize(480, sizeHint().height());
}

QString Tevnyitfm::InvalidYearText(const QString& typed, const QString& example) {
    QString t = QStringLiteral("Hibás év: \"%1\". Négy számjegyű évet kell megadni").arg(typed);
    if (!example.isEmpty()) t += QStringLiteral(" (például %1)").arg(example);
    return t + QStringLiteral(".");
}

QString Tevnyitfm::OtherYearQuestion(const QString& year, const QString& current) {
    if (yearNumber(current) == 0)
        return QStringLiteral("Az aktuális év nem ismert.\nBiztosan a(z) %1. évet nyitja meg?").arg(year);
    return QStringLiteral("Az aktuális év %1, a megnyitandó év %2 helyett %3.\nBiztosan a(z) %3. évet nyitja meg?")
        .arg(current.trimmed())
        .arg(yearNumber(current) + 1)
        .arg(year);
}

bool Tevnyitfm::FormShow() {
    summary_ = YearOpeningSummary();
    current_.clear();
    DBText1->clear();
    e_ujev->clear();
    ProgressBar1->hide();
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    l_tetel->clear();
    l_biz->clear();
    setRunning(false);
    b_indul->setEnabled(true);
    try {
        current_ = vl::shell::ReadBusinessYear(vl::shell::dm().d_alap()).text;
    } catch (const vl::db::DbError& e) {
        vl::notifyDbError(QStringLiteral("a cég adatainak olvasása"), e.text());
        return false;
    }
    DBText1->setText(current_);
    if (const int y = yearNumber(current_)) e_ujev->setText(QString::number(y + 1));
    e_ujev->setFocus();
    e_ujev->selectAll();
    return true;
}

void Tevnyitfm::setRunning(bool on) {
    running_ = on;
    b_vissza->setEnabled(!on);
    e_ujev->setEnabled(!on);
    cb_ujra->setEnabled(!on);
    if (on) b_indul->setEnabled(false);
}

bool Tevnyitfm::progress(int done, int total, qint64 bizonylat) {
    if (done == 0) {
        ProgressBar1->setRange(0, std::max(total, 1));
        l_tetel->setText(QString::number(total) + QStringLiteral(" tétel"));
    }
    ProgressBar1->setValue(total > 0 ? done : 1);
    l_biz->setText(bizonylat > 0 ? QString::number(bizonylat) : QString());
    emit progressed(done, total, bizonylat);
    // Let the window repaint (and refuse a close) now and then.
    if (done == 0 || done == total || done % 5 == 0) QCoreApplication::processEvents();
    return true;
}

void Tevnyitfm::b_indulClick() {
    if (running_ || !b_indul->isEnabled()) return;
    const QString year = e_ujev->text().trimmed();
    const int current = yearNumber(current_);
    if (!ValidOpeningYear(year)) {
        vl::notify(vl::MsgKind::Warning, InvalidYearText(e_ujev->text(), current ? QString::number(current + 1)
                                                                                : QString()));
        e_ujev->setFocus();
        return;
    }
    if (const QString refusal = OpeningYearRefusal(current_, year); !refusal.isEmpty()) {
        vl::notify(vl::MsgKind::Warning, refusal);
        e_ujev->setFocus();
        return;
    }
    if (year.toInt() != current + 1 || current == 0) {
        if (vl::askDefaultNo(OtherYearQuestion(year, current_)) != 0) return;
    }
    // Enter answers "Nem": the year opening cannot be undone.
    if (vl::askDefaultNo(YearOpeningQuestion(QDate::currentDate())) != 0) return;

    setRunning(true);
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    l_tetel->clear();
    l_biz->clear();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        auto& dm = vl::shell::dm();
        summary_ = OpenYear(
            dm.d_alap(), year, !cb_ujra->isChecked(),
            [this](int done, int total, qint64 b) { return progress(done, total, b); }, dm.session().writer());
    } catch (const vl::db::DbError& e) {
        summary_ = YearOpeningSummary();
        summary_.year = year;
        summary_.error = e.text();
    }
    QApplication::restoreOverrideCursor();
    setRunning(false); // "Indul" stays off until the form is shown again

    if (summary_.ok()) {
        vl::notify(vl::MsgKind::Info, (QStringList{QStringLiteral("Kész!")} + summary_.lines()).join(u'\n'));
        reject(); // as "Vissza"
    } else if (!summary_.refused.isEmpty()) {
        // Another run goes on (or the year may not be opened): nothing was written.
        ProgressBar1->hide();
        b_indul->setEnabled(true);
        vl::notify(vl::MsgKind::Warning, summary_.refused);
    } else {
        vl::notify(vl::MsgKind::Error,
                   (QStringList{QStringLiteral("Az év nyitása hiba miatt leállt.")} + summary_.lines()).join(u'\n'));
    }
}

void Tevnyitfm::closeEvent(QCloseEvent* e) {
    if (running_) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

void Tevnyitfm::reject() {
    // Escape, "Vissza" and the window's close button all end here.
    if (running_) return;
    QDialog::reject();
}

} // namespace vl::rental
