#include "TgetdatumFm.h"
#include "util/Dates.h"

#include <QAbstractButton>
#include <QCalendarWidget>
#include <QLabel>
#include <QTextCharFormat>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace vl::shell {

using vl::util::DateValid;
using vl::util::DigitsToDateStr;
using vl::util::StrToDateYMD;
using vl::util::TodayStr;

static const QString kBlankMask = QStringLiteral("    .  .  ");

TgetdatumFm::TgetdatumFm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TgetdatumFm"));
    setWindowTitle(QStringLiteral("Dátum kiválasztása"));
    setModal(true);

    QFont bold = font();
    bold.setBold(true);

    B_vissza = new QPushButton(QStringLiteral("&Vissza (nem választ ki)"), this);
    B_vissza->setObjectName(QStringLiteral("B_vissza"));
    B_vissza->setToolTip(QStringLiteral("Marad a régi dátum"));
    B_vissza->setFont(bold);
    B_vissza->setAutoDefault(false);
    b_oke = new QPushButton(QStringLiteral("&OK (kiválaszt)"), this);
    b_oke->setObjectName(QStringLiteral("b_oke"));
    b_oke->setToolTip(QStringLiteral("Kiválasztjuk a dátumot"));
    b_oke->setFont(bold);
    b_oke->setAutoDefault(false);

    MC_1 = new QCalendarWidget(this);
    MC_1->setObjectName(QStringLiteral("MC_1"));
    MC_1->setVerticalHeaderFormat(QCalendarWidget::ISOWeekNumbers);
    MC_1->setFirstDayOfWeek(Qt::Monday);
    MC_1->setLocale(QLocale(QLocale::Hungarian, QLocale::Hungary));
    MC_1->setGridVisible(true);

    b_yearmin = new QPushButton(QStringLiteral("<<"), this);
    b_yearmin->setObjectName(QStringLiteral("b_yearmin"));
    b_yearmin->setToolTip(QStringLiteral("Előző év"));
    b_yearmin->setFixedWidth(32);
    b_yearmin->setAutoDefault(false);
    b_yearplus = new QPushButton(QStringLiteral(">>"), this);
    b_yearplus->setObjectName(QStringLiteral("b_yearplus"));
    b_yearplus->setToolTip(QStringLiteral("Következő év"));
    b_yearplus->setFixedWidth(32);
    b_yearplus->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(B_vissza);
    top->addStretch(1);
    top->addWidget(b_oke);
    auto* mid = new QHBoxLayout;
    mid->addWidget(b_yearmin, 0, Qt::AlignVCenter);
    mid->addWidget(MC_1, 1);
    mid->addWidget(b_yearplus, 0, Qt::AlignVCenter);
    l_napfajta = new QLabel(this);
    l_napfajta->setObjectName(QStringLiteral("l_napfajta"));
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addLayout(mid);
    all->addWidget(l_napfajta);

    connect(b_oke, &QPushButton::clicked, this, [this] { DateChosen = true; accept(); });
    connect(MC_1, &QCalendarWidget::activated, this, [this] { DateChosen = true; accept(); });
    connect(B_vissza, &QPushButton::clicked, this, [this] { DateChosen = false; reject(); });
    connect(b_yearmin, &QPushButton::clicked, this, [this] { stepYear(-1); });
    connect(b_yearplus, &QPushButton::clicked, this, [this] { stepYear(1); });
    connect(MC_1, &QCalendarWidget::currentPageChanged, this, [this](int year, int) { markYear(year); });
    connect(MC_1, &QCalendarWidget::selectionChanged, this,
            [this] { l_napfajta->setText(marked_.value(MC_1->selectedDate())); });
}

namespace {
DayMarker& marker() {
    static DayMarker m;
    return m;
}
} // namespace

void SetDatePickerMarker(DayMarker m) { marker() = std::move(m); }

void TgetdatumFm::markYear(int year) {
    if (!marker() || markedYears_.contains(year)) return;
    markedYears_ << year;
    QTextCharFormat f;
    f.setForeground(QColor(200, 0, 0));
    f.setFontWeight(QFont::Bold);
    const QHash<QDate, QString> days = marker()(year);
    for (auto it = days.constBegin(); it != days.constEnd(); ++it) {
        marked_.insert(it.key(), it.value());
        MC_1->setDateTextFormat(it.key(), f);
    }
}

void TgetdatumFm::stepYear(int years) {
    // Same day of the month, clipped to the month's last day (29 Feb -> 28 Feb).
    const QDate d = MC_1->selectedDate().addMonths(12 * years);
    MC_1->setSelectedDate(d);
    MC_1->setCurrentPage(d.year(), d.month());
}

QString TgetdatumFm::pick(const QString& input) {
    QString text = input;
    bool undotted = false;
    bool monthOnly = false;
    QDate shown = QDate::currentDate();
    if (!(text.isEmpty() || text == kBlankMask)) {
        const QString t = text.trimmed();
        if (!DateValid(t, false)) {
            text = TodayStr();
        } else if (t.size() == 6 || t.size() == 7) {
            // A month: shown on its first day, handed back unchanged unless a day is chosen.
            monthOnly = true;
            undotted = t.size() == 6;
            shown = QDate(t.left(4).toInt(), t.right(2).toInt(), 1);
        } else if (!t.contains(QLatin1Char('.'))) {
            text = DigitsToDateStr(t);
            undotted = true;
        } else {
            text = t;
        }
        if (!monthOnly) shown = StrToDateYMD(text);
    }
    // The calendar may have changed since the last opening.
    for (auto it = marked_.constBegin(); it != marked_.constEnd(); ++it) MC_1->setDateTextFormat(it.key(), {});
    marked_.clear();
    markedYears_.clear();
    markYear(shown.year());
    MC_1->setSelectedDate(shown);
    MC_1->setCurrentPage(shown.year(), shown.month());
    l_napfajta->setText(marked_.value(shown));

    DateChosen = false;
    exec();

    QString result;
    if (DateChosen) result = MC_1->selectedDate().toString(QStringLiteral("yyyy.MM.dd"));
    else result = monthOnly ? input : text;
    if (undotted) result.remove(QLatin1Char('.'));
    return result;
}

TgetdatumFm& DatePicker() {
    static QPointer<TgetdatumFm> picker;
    if (!picker) picker = new TgetdatumFm();
    return *picker;
}

QString PickDate(const QString& text) { return DatePicker().pick(text); }

bool DateChosen() { return DatePicker().DateChosen; }

bool PickDateForButton(QAbstractButton* button) {
    if (!button) return false;
    const QString name = button->objectName();
    if (name.size() < 2) return false;
    auto* edit = button->window()->findChild<QLineEdit*>(QStringLiteral("e") + name.mid(1));
    if (!edit) return false;
    const QString r = PickDate(edit->text());
    if (!DateChosen()) return false;
    edit->setText(r);
    return true;
}

} // namespace vl::shell
