#pragma once
// Ttorzsmazsolafm "Törzslista": a list of one table composed without writing
// SQL. In the field grid `sg` the user marks output columns ("Kell?"), sort
// positions ("Sor."), how each condition joins the others ("és/vagy") and
// conditions from the operator list; "Indul" builds and runs the statement
// into the result grid, "Nyomtatási kép" prints it as a list. Users with the
// "W" right see the statement in `m_sql` and may type their own: it runs only
// when it is one single SELECT, in a read-only transaction.
//
//   openListBuilder(this, "UGYFEL");   // modal; the form is kept for the run
#include "db/Database.h"
#include "framework/ListBuilder.h"

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui { class Ttorzsmazsolafm; }
namespace vl::db { class RowSetModel; }

namespace vl::framework {

struct ListBuilderResult {
    bool accepted = false;   // the user pressed "Befejez"
    QString condition;       // summaries of the built statement
    QString selectedFields;
    QString order;
};

class Ttorzsmazsolafm : public QDialog {
    Q_OBJECT
public:
    explicit Ttorzsmazsolafm(QWidget* parent = nullptr);
    ~Ttorzsmazsolafm() override;

    // Gets the form ready for a table: a different table than last time reloads
    // the field grid and forgets the choices. False (with "Nincs ilyen tábla:"
    // + name shown) when the table does not exist.
    bool prepare(const QString& table);
    ListBuilderResult result() const { return result_; }

    ListBuilder& builder() { return builder_; }
    const vl::db::RowSet& resultRows() const;
    bool resultOpen() const { return resultOpen_; }

    // The field grid's click: column 2 marks, 3 sorts, 4 joins; any column selects the row.
    void sgCellClick(int row, int col);

    // Button handlers (also reached by the buttons of the same name).
    void b_indulClick();
    void b_ujlekerdezesClick();
    void b_previewClick();
    void b_tarolasClick();
    void b_resultClick();
    void b_keszClick();
    void b_whereClick();
    void b_wheretorolClick();
    void b_wheremindtorolClick();
    void b_distinctClick();
    void b_okfeltClick();
    void b_megsemClick();
    void B_feltetelClick();
    void b_visszaClick();

protected:
    void showEvent(QShowEvent* e) override;
    void done(int r) override;

private:
    void fillGrid();
    void refreshRow(int row);
    void refreshAll();
    void operatorChanged();
    int selectedRow() const;
    void generate();            // builds the statement into m_sql
    bool ensureResult();        // runs when no result is open
    bool runStatement();
    void closeResult();
    bool userIsAll() const;

    std::unique_ptr<Ui::Ttorzsmazsolafm> ui;
    ListBuilder builder_;
    BuiltQuery built_;
    QString generatedSql_;      // m_sql as last generated (unchanged: not typed by the user)
    vl::db::RowSetModel* model_ = nullptr;
    bool resultOpen_ = false;
    ListBuilderResult result_;
};

// Opens the list builder on a table (modal). The form is created on first use
// and kept; its choices stay while the same table is opened again.
ListBuilderResult openListBuilder(QWidget* parent, const QString& table);

} // namespace vl::framework
