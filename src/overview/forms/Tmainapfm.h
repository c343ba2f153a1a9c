#pragma once
// "Mai nap": the office's day at a glance, the first screen after the login.
// Four panels (the day per driver, the cabins, the contracts, the money),
// each row one key away from the form that acts on it, opened through the
// form registry on that row, and the pictures of the business below them. The overview is read in the background on a
// connection of its own (in the program's thread where there is none, as
// in the tests), so typing never waits for it; "Frissítés" (F5) and the
// closing of a form that changes contracts read it again.
#include "overview/Overview.h"

#include <QVariantMap>
#include <QWidget>
#include <memory>

class QGroupBox;
class QSplitter;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vl::overview {

class OverviewCharts;

class Tmainapfm : public QWidget {
    Q_OBJECT
public:
    explicit Tmainapfm(QWidget* parent = nullptr);
    ~Tmainapfm() override;

    // Starts reading the day (today); false when no connection is open.
    bool FormShow();
    // "Frissítés": reads the day again (a read under way is followed by one more).
    void Refresh();
    // True while a read is under way.
    bool reading() const { return reading_; }
    // The overview last shown and the rights it was shown with.
    const Overview& overview() const { return shown_; }
    const OverviewRights& rights() const { return rights_; }
    // The day read ('yyyy.mm.dd'); today unless set before FormShow.
    void setDay(const QString& day) { day_ = day; }

    // What a row opens: the registered form name, its parameters, and
    // whether the user may open it. Opening a row the user may not open
    // says so (NoRightText) and opens nothing.
    struct RowTarget {
        QString form;
        QString caption;
        QVariantMap params;
        bool allowed = true;
    };
    static RowTarget targetOf(const QTreeWidgetItem* item);
    void openRow(QTreeWidgetItem* item);

    // The names of the forms whose closing reads the overview again.
    static const QStringList& ContractForms();

    QLabel* l_cim = nullptr;
    QLabel* l_mentes = nullptr;
    QLabel* l_allapot = nullptr;
    QPushButton* b_frissit = nullptr;
    QPushButton* b_vissza = nullptr;
    QGroupBox* gb_nap = nullptr;
    QGroupBox* gb_kabin = nullptr;
    QGroupBox* gb_szerz = nullptr;
    QGroupBox* gb_penz = nullptr;
    QTreeWidget* tv_nap = nullptr;
    QTreeWidget* tv_kabin = nullptr;
    QTreeWidget* tv_szerz = nullptr;
    QTreeWidget* tv_penz = nullptr;
    QSplitter* sp_mainap = nullptr;
    OverviewCharts* charts = nullptr;   // the pictures, below the panels

signals:
    // A read ended and its numbers are on the screen (or its error is).
    void loaded();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    struct Result;
    void startRead();
    void show(const Result& r);
    void fillDay();
    void fillCabins();
    void fillContracts();
    void fillMoney();

    QString day_;
    bool reading_ = false;
    bool again_ = false;
    Overview shown_;
    OverviewRights rights_;
};

// The one "Mai nap" of the program.
Tmainapfm& TodayForm();

} // namespace vl::overview
