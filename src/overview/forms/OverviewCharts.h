#pragma once
// The pictures of "Mai nap": cabins out per product group per month, the net
// billed per month, the visits per week (done and still planned) of a driver
// or of all. Hungarian captions and month names, amounts grouped by blanks;
// the chart shown can be printed ("Nyomtatás") or saved as PNG ("Mentés képként").
#include "overview/Overview.h"

#include <QWidget>

class QComboBox;
class QPushButton;
class QTabWidget;
class QChartView;

namespace vl::overview {

class OverviewCharts : public QWidget {
    Q_OBJECT
public:
    explicit OverviewCharts(QWidget* parent = nullptr);

    // Draws the pictures of an overview.
    void show(const ChartData& data);
    // The view of picture 0 (cabins), 1 (billed), 2 (visits).
    QChartView* view(int index) const;
    // Saves a picture as PNG; false when it cannot be written.
    bool save(int index, const QString& file) const;
    // The labels of a value axis up to `max`: about four round steps, each
    // written as Hungarians write numbers ("1 500 000").
    static QList<QPair<double, QString>> axisLabels(double max);
    // The months' categories ("jan.", "febr." ...; a month met again a year
    // later made distinct by an invisible mark) and the axis title of the
    // range ("2025. december – 2027. március"), of 'yyyy.mm' months.
    static QStringList monthLabels(const QStringList& months);
    static QString monthRange(const QStringList& months);

    QTabWidget* pc_grafikon = nullptr;
    QComboBox* cbx_sofor = nullptr;
    QPushButton* b_nyomtat = nullptr;
    QPushButton* b_kepment = nullptr;

    void b_nyomtatClick();
    void b_kepmentClick();

private:
    void drawVisits();
    ChartData data_;
    QList<QChartView*> views_;
};

} // namespace vl::overview
