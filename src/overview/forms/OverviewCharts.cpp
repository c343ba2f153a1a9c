#include "OverviewCharts.h"

#include "util/Dates.h"
#include "util/MessageSink.h"
#include "util/NumberFormat.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

namespace vl::overview {

namespace {

const QList<QColor>& palette() {
    static const QList<QColor> c{QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c),
                                 QColor(0xd6, 0x27, 0x28), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                 QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f)};
    return c;
}

QChartView* makeView(QWidget* parent, const QString& name) {
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* v = new QChartView(chart, parent);
    v->setObjectName(name);
    v->setRenderHint(QPainter::Antialiasing);
    v->setMinimumHeight(220);
    return v;
}

// Puts a stacked bar series over categories on a view, with a value axis
// labelled the Hungarian way.
void draw(QChartView* view, const QString& title, const QStringList& categories,
          const QList<QPair<QString, QList<double>>>& sets, const QString& unit, const QString& xTitle) {
    QChart* chart = view->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* a : chart->axes()) {
        chart->removeAxis(a);
        delete a;
    }
    chart->setTitle(title);
    auto* series = new QStackedBarSeries;
    QList<double> totals(categories.size(), 0);
    for (int i = 0; i < sets.size(); ++i) {
        auto* set = new QBarSet(sets.at(i).first);
        set->setColor(palette().at(i % palette().size()));
        set->setBorderColor(palette().at(i % palette().size()).darker(130));
        for (int c = 0; c < categories.size(); ++c) {
            const double v = c < sets.at(i).second.size() ? sets.at(i).second.at(c) : 0;
            *set << v;
            totals[c] += v;
        }
        series->append(set);
    }
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    QFont small = x->labelsFont();
    small.setPointSizeF(std::max(6.5, small.pointSizeF() - 1.5));
    x->setLabelsFont(small);
    x->setTitleText(xTitle);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    double max = 0;
    for (double t : totals) max = std::max(max, t);
    auto* y = new QCategoryAxis;
    y->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const auto labels = OverviewCharts::axisLabels(max);
    for (const auto& l : labels) y->append(l.second, l.first);
    y->setRange(0, labels.last().first);
    y->setTitleText(unit);
    y->setLabelsFont(small);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    chart->legend()->setVisible(sets.size() > 1 || !sets.isEmpty());
}

} // namespace

QList<QPair<double, QString>> OverviewCharts::axisLabels(double max) {
    if (max <= 0) max = 1;
    const double raw = max / 4;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    double step = mag;
    for (double f : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (f * mag >= raw) {
            step = f * mag;
            break;
        }
    step = std::max(1.0, step);
    QList<QPair<double, QString>> out;
    for (double v = 0; v < max + step - 1e-9; v += step) out.append({v, vl::util::FormatAmount(v)});
    return out;
}

QStringList OverviewCharts::monthLabels(const QStringList& months) {
    QStringList out;
    for (const QString& m : months) {
        QString label = MonthShortName(m.mid(5, 2).toInt());
        // The axis keeps one of equal labels: a month a year later gets an invisible mark.
        while (out.contains(label)) label += QChar(0x200B);
        out << label;
    }
    return out;
}

QString OverviewCharts::monthRange(const QStringList& months) {
    if (months.isEmpty()) return QString();
    auto full = [](const QString& m) { return m.left(4) + QStringLiteral(". ") + MonthName(m.mid(5, 2).toInt()); };
    return full(months.first()) + QStringLiteral(" – ") + full(months.last());
}

OverviewCharts::OverviewCharts(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("OverviewCharts"));
    pc_grafikon = new QTabWidget(this);
    pc_grafikon->setObjectName(QStringLiteral("pc_grafikon"));
    views_ << makeView(pc_grafikon, QStringLiteral("cv_kabinok")) << makeView(pc_grafikon, QStringLiteral("cv_szamlazas"));
    pc_grafikon->addTab(views_.at(0), QStringLiteral("Kint lévő kabinok"));
    pc_grafikon->addTab(views_.at(1), QStringLiteral("Számlázott nettó"));
    views_ << makeView(pc_grafikon, QStringLiteral("cv_latogatas"));
    pc_grafikon->addTab(views_.at(2), QStringLiteral("Látogatások hetente"));
    // The driver of the visits' picture, beside the buttons.
    auto* l = new QLabel(QStringLiteral("Sofőr:"), this);
    cbx_sofor = new QComboBox(this);
    cbx_sofor->setObjectName(QStringLiteral("cbx_sofor"));
    cbx_sofor->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbx_sofor->setMinimumContentsLength(12);
    l->setBuddy(cbx_sofor);

    b_nyomtat = new QPushButton(QStringLiteral("Nyomtatás"), this);
    b_nyomtat->setObjectName(QStringLiteral("b_nyomtat"));
    b_kepment = new QPushButton(QStringLiteral("Mentés képként"), this);
    b_kepment->setObjectName(QStringLiteral("b_kepment"));
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(b_nyomtat);
    buttons->addWidget(b_kepment);
    buttons->addSpacing(12);
    buttons->addWidget(l);
    buttons->addWidget(cbx_sofor);
    buttons->addStretch(1);
    auto* main = new QHBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->addWidget(pc_grafikon, 1);
    main->addLayout(buttons);

    connect(b_nyomtat, &QPushButton::clicked, this, &OverviewCharts::b_nyomtatClick);
    connect(b_kepment, &QPushButton::clicked, this, &OverviewCharts::b_kepmentClick);
    connect(cbx_sofor, &QComboBox::currentIndexChanged, this, [this](int) { drawVisits(); });
    auto enableDriver = [this, l](int tab) {
        cbx_sofor->setEnabled(tab == 2);
        l->setEnabled(tab == 2);
    };
    connect(pc_grafikon, &QTabWidget::currentChanged, this, enableDriver);
    enableDriver(0);
}

QChartView* OverviewCharts::view(int index) const { return views_.value(index); }

void OverviewCharts::show(const ChartData& d) {
    data_ = d;
    const QStringList months = monthLabels(d.months);
    QList<QPair<QString, QList<double>>> groups;
    for (int g = 0; g < d.groupNames.size(); ++g) {
        QList<double> v;
        for (int n : d.cabinsOut.at(g)) v << n;
        groups.append({d.groupNames.at(g), v});
    }
    draw(views_.at(0), QStringLiteral("Kint lévő kabinok termékcsoportonként, hó végén (az utolsó 3 hónap a tervek szerint)"),
         months, groups, QStringLiteral("darab"), monthRange(d.months));

    const QStringList billed = monthLabels(d.billedMonths);
    QList<double> cash, appendix;
    for (qint64 v : d.billedCash) cash << double(v);
    for (qint64 v : d.billedAppendix) appendix << double(v);
    draw(views_.at(1), QStringLiteral("Számlázott nettó havonta"), billed,
         {{QStringLiteral("Készpénzes időszakok (fizetve)"), cash}, {QStringLiteral("Nyomtatott mellékletek"), appendix}},
         QStringLiteral("Ft"), monthRange(d.billedMonths));

    const QString keep = cbx_sofor->currentData().toString();
    const bool hadChoice = cbx_sofor->count() > 0;
    cbx_sofor->blockSignals(true);
    cbx_sofor->clear();
    cbx_sofor->addItem(QStringLiteral("Összes sofőr"), QStringLiteral("*"));
    for (int i = 0; i < d.driverCodes.size(); ++i)
        cbx_sofor->addItem(d.driverCodes.at(i).isEmpty() ? QStringLiteral("Nincs sofőr") : d.driverNames.at(i),
                           d.driverCodes.at(i));
    const int i = hadChoice ? cbx_sofor->findData(keep) : 0;
    cbx_sofor->setCurrentIndex(i < 0 ? 0 : i);
    cbx_sofor->blockSignals(false);
    drawVisits();
}

void OverviewCharts::drawVisits() {
    const ChartData& d = data_;
    QStringList weeks;
    for (const QString& w : d.weeks) {
        const QDate m = QDate::fromString(w, QStringLiteral("yyyy.MM.dd"));
        weeks << QStringLiteral("%1. hét").arg(m.weekNumber());
    }
    const QString code = cbx_sofor->currentData().toString();
    QList<double> done(d.weeks.size(), 0), planned(d.weeks.size(), 0);
    for (int r = 0; r < d.driverCodes.size(); ++r) {
        if (code != QLatin1String("*") && d.driverCodes.at(r) != code) continue;
        for (int w = 0; w < d.weeks.size(); ++w) {
            done[w] += d.done.at(r).value(w);
            planned[w] += d.planned.at(r).value(w);
        }
    }
    draw(views_.at(2),
         QStringLiteral("Látogatások hetente: ") + cbx_sofor->currentText() + QStringLiteral(" (utolsó 8 hét)"), weeks,
         {{QStringLiteral("Elvégezve"), done}, {QStringLiteral("Tervezett, még nincs elvégezve"), planned}},
         QStringLiteral("látogatás"),
         d.weeks.isEmpty() ? QString() : d.weeks.first() + QStringLiteral(" – ") + d.weeks.last() + QStringLiteral(" hete"));
}

bool OverviewCharts::save(int index, const QString& file) const {
    QChartView* v = view(index);
    return v && v->grab().save(file, "PNG");
}

void OverviewCharts::b_kepmentClick() {
    const QStringList names{QStringLiteral("kabinok"), QStringLiteral("szamlazas"), QStringLiteral("latogatasok")};
    const int i = pc_grafikon->currentIndex();
    QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Mentés képként"),
                                                QStringLiteral("mainap-") + names.value(i) + QStringLiteral(".png"),
                                                QStringLiteral("PNG kép (*.png)"));
    if (file.isEmpty()) return;
    if (!file.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) file += QStringLiteral(".png");
    if (!save(i, file)) vl::notify(vl::MsgKind::Error, QStringLiteral("A kép nem írható: ") + file);
}

void OverviewCharts::b_nyomtatClick() {
    QChartView* v = view(pc_grafikon->currentIndex());
    if (!v) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Nyomtatás"));
    if (dialog.exec() != QDialog::Accepted) return;
    QPainter painter(&printer);
    const QRect page = painter.viewport();
    QSize size = v->size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(v->rect());
    v->render(&painter);
}

} // namespace vl::overview
