#pragma once
// Pages 1-3 of the orders workspace: "Termékek" (the products of the open
// contracts, several selectable, with the product panel p_kabindata),
// "Tevékenységek (mai napig)" (the current product's activities up to the
// workspace's ActivityDate) and "Fizetések" (the customer's billing rows, paid
// ones in bold). Built into the workspace's page widgets ts_kabin, ts_tev,
// ts_fiz and its panel p_kabindata; every read and action goes through the
// workspace's OrdersSession.
#include "db/Database.h"
#include "rental/OrdersItems.h"

#include <QObject>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QComboBox;
class QSpinBox;
class QTableView;
class QTabWidget;
class QWidget;

namespace vl::db {
class RowSetModel;
}

namespace vl::rental {

class Tugyfelrendfm;

class TugyfelrendPages : public QObject {
    Q_OBJECT
public:
    TugyfelrendPages(Tugyfelrendfm* form, QTabWidget* pages, QWidget* productPanel);

    // Reads the products, the current product's activities and the payments again.
    void reload();

    // ---- products page
    QWidget* p_kabinmenu = nullptr;
    QLabel* l_statekabin = nullptr;
    QPushButton* b_vissznyom = nullptr;
    QPushButton* b_kabin = nullptr;
    QLineEdit* e_arukod = nullptr;
    QPushButton* b_modkabin = nullptr;
    QPushButton* b_tarolkabin = nullptr;
    QPushButton* b_megsemkabin = nullptr;
    QPushButton* b_torolkab = nullptr;
    QTableView* dbg_kabin = nullptr;
    // ---- product panel
    QLineEdit* e_h7kab = nullptr;
    QSpinBox* sp_h7kab = nullptr;
    QLineEdit* e_kab[7] = {};
    QSpinBox* sp_kab[7] = {};
    QLineEdit* e_kabar[7] = {};
    QPushButton* b_kiszallkab = nullptr;
    QLineEdit* e_kiszallkab = nullptr;
    QLabel* l_kiszallkab = nullptr;
    QPushButton* b_vszalltkab = nullptr;
    QLineEdit* e_vszalltkab = nullptr;
    QLabel* l_vszalltkab = nullptr;
    QComboBox* cb_soforkab = nullptr;
    // ---- activities page
    QTableView* dbg_tev = nullptr;
    // ---- payments page
    QWidget* p_kabintop = nullptr;
    QLineEdit* e_fiz = nullptr;
    QPushButton* b_fiznap = nullptr;
    QLineEdit* e_fiznap = nullptr;
    QPushButton* b_fizerv = nullptr;
    QLineEdit* e_fizerv = nullptr;
    QPushButton* b_hozzaadas = nullptr;
    QPushButton* b_torles = nullptr;
    QPushButton* b_nyomtatas = nullptr;
    QPushButton* b_kifizetve = nullptr;
    QLabel* l_fizszerz = nullptr;       // the contract a new payment goes to (the current product's)
    QTableView* dbg_fiz = nullptr;

    void setProductMode(const QString& mode);
    void FillProductFields();

    // The buttons' actions (public for the tests and the wiring).
    void b_modkabinClick();
    void b_megsemkabinClick();
    void b_tarolkabinClick();
    void b_kabinClick();
    void b_torolkabClick();
    void b_vissznyomClick();
    void b_fiznapClick();
    void b_hozzaadasClick();
    void b_torlesClick();
    void b_kifizetveClick();
    void b_nyomtatasClick();

private:
    void buildProducts(QWidget* page);
    void buildPanel(QWidget* panel);
    void buildActivities(QWidget* page);
    void buildPayments(QWidget* page);
    void productRowChanged();
    void reloadActivities();
    int currentProduct() const;
    QList<int> selectedProducts() const;
    QString productText(int row, const QString& col) const;
    void positionProduct(qint64 b, qint64 t, qint64 s);
    ItemKey currentKey() const;   // the current product's key

    Tugyfelrendfm* form_;
    vl::db::RowSet products_, activities_, payments_;
    vl::db::RowSetModel* productModel_ = nullptr;
    vl::db::RowSetModel* activityModel_ = nullptr;
    vl::db::RowSetModel* paymentModel_ = nullptr;
    QStringList driverCodes_;
    bool reactions_ = true;
};

} // namespace vl::rental
