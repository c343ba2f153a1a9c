#include "Ttorzsmazsolafm.h"
#include "ui_Ttorzsmazsolafm.h"

#include "Tmain_pkrfm.h"
#include "db/RowSetModel.h"
#include "framework/Rights.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

#include "FormRegistry.h"

#include <QHeaderView>
#include <QPointer>
#include <QShowEvent>

namespace vl::framework {

namespace {
enum SgCol { ColNo = 0, ColName, ColMark, ColSort, ColJoin, ColCond, ColField, ColCount };

} // namespace

Ttorzsmazsolafm::Ttorzsmazsolafm(QWidget* parent) : QDialog(parent), ui(new Ui::Ttorzsmazsolafm) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("Ttorzsmazsolafm"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);

    ui->sg->setColumnCount(ColCount);
    ui->sg->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("Mező név"), QStringLiteral("Kell?"),
                                       QStringLiteral("Sor."), QStringLiteral("és/vagy"), QStringLiteral("Feltétel"),
                                       QString()});
    ui->sg->setColumnHidden(ColField, true);
    ui->sg->verticalHeader()->hide();
    ui->sg->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* h = ui->sg->horizontalHeader();
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->setStretchLastSection(false);
    h->setSectionResizeMode(ColName, QHeaderView::ResizeToContents);
    h->setSectionResizeMode(ColCond, QHeaderView::Stretch);
    const int narrow = fontMetrics().horizontalAdvance(QStringLiteral("és/vagy")) + 16;
    ui->sg->setColumnWidth(ColNo, fontMetrics().horizontalAdvance(QStringLiteral("No.99")) + 8);
    ui->sg->setColumnWidth(ColMark, narrow);
    ui->sg->setColumnWidth(ColSort, narrow);
    ui->sg->setColumnWidth(ColJoin, narrow);
    ui->sg->setMinimumWidth(520);

    ui->lb_muv->addItems(ConditionOperatorItems());
    ui->p_where->hide();
    ui->cb_valaszt->hide();

    model_ = new vl::db::RowSetModel(this);
    ui->grid->setModel(model_);
    ui->grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // The grids take the height; the button rows keep theirs.
    ui->lay_main->setStretch(1, 1);
    ui->lay_left->setStretch(0, 1);
    ui->p_top->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    ui->p_bottom->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    ui->p_wherebuttons->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    ui->p_where->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The condition panel: the values at the top beside the operator list.
    ui->lay_where->setRowStretch(5, 1);
    ui->lay_where->setColumnStretch(2, 1);
    ui->spl_main->setStretchFactor(0, 0);
    ui->spl_main->setStretchFactor(1, 1);
    ui->spl_right->setStretchFactor(0, 0);
    ui->spl_right->setStretchFactor(1, 1);
    ui->spl_right->setSizes({110, 500});

    connect(ui->sg, &QTableWidget::cellClicked, this, &Ttorzsmazsolafm::sgCellClick);
    connect(ui->b_indul, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_indulClick);
    connect(ui->b_ujlekerdezes, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_ujlekerdezesClick);
    connect(ui->b_preview, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_previewClick);
    connect(ui->b_tarolas, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_tarolasClick);
    connect(ui->b_result, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_resultClick);
    connect(ui->b_kesz, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_keszClick);
    connect(ui->b_where, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_whereClick);
    connect(ui->b_wheretorol, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_wheretorolClick);
    connect(ui->b_wheremindtorol, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_wheremindtorolClick);
    connect(ui->b_distinct, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_distinctClick);
    connect(ui->b_okfelt, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_okfeltClick);
    connect(ui->b_megsem, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_megsemClick);
    connect(ui->B_feltetel, &QPushButton::clicked, this, &Ttorzsmazsolafm::B_feltetelClick);
    connect(ui->b_vissza, &QPushButton::clicked, this, &Ttorzsmazsolafm::b_visszaClick);
    connect(ui->lb_muv, &QListWidget::currentRowChanged, this, [this] { operatorChanged(); });
    connect(ui->cb_valaszt, &QComboBox::activated, this,
            [this](int i) { ui->e_szuro->setText(ui->cb_valaszt->itemText(i)); });
    // Enter in a value edit accepts the condition rather than closing the form.
    connect(ui->e_szuro, &QLineEdit::returnPressed, this, &Ttorzsmazsolafm::b_okfeltClick);
    connect(ui->e_ig, &QLineEdit::returnPressed, this, &Ttorzsmazsolafm::b_okfeltClick);
    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
}

Ttorzsmazsolafm::~Ttorzsmazsolafm() = default;

const vl::db::RowSet& Ttorzsmazsolafm::resultRows() const { return model_->rowSet(); }

bool Ttorzsmazsolafm::userIsAll() const {
    return RightsLetters(vl::shell::dm().session().rights).contains(QLatin1Char('W'));
}

bool Ttorzsmazsolafm::prepare(const QString& table) {
    const QString t = table.trimmed().toUpper();
    result_ = ListBuilderResult();
    if (t != builder_.table() || builder_.fieldCount() == 0) {
        closeResult();
        ui->m_sql->clear();
        generatedSql_.clear();
        built_ = BuiltQuery();
        try {
            if (!builder_.load(vl::shell::dm().d_alap(), t)) {
                vl::notify(vl::MsgKind::Warning, QStringLiteral("Nincs ilyen tábla:") + t);
                return false;
            }
        } catch (const vl::db::DbError& e) {
            vl::notifyDbError(QStringLiteral("a(z) %1 tábla mezőinek olvasása").arg(t), e.text());
            return false;
        }
        fillGrid();
    }
    setWindowTitle(QStringLiteral("Feltételek szerinti szűrés :") + builder_.table());
    // Only a user with every right sees, writes and runs a statement of their own.
    const bool all = userIsAll();
    ui->b_kesz->setVisible(all);
    ui->m_sql->setVisible(all);
    ui->m_sql->setReadOnly(!all);
    ui->cb_valaszt->hide();
    ui->p_where->hide();
    return true;
}

void Ttorzsmazsolafm::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    ui->sg->setFocus();
}

void Ttorzsmazsolafm::done(int r) {
    closeResult();
    QDialog::done(r);
}

// ------------------------------------------------------------------ field grid

void Ttorzsmazsolafm::fillGrid() {
    ui->sg->clearContents();
    ui->sg->setRowCount(builder_.fieldCount());
    for (int r = 0; r < builder_.fieldCount(); ++r) {
        for (int c = 0; c < ColCount; ++c) {
            auto* it = new QTableWidgetItem;
            it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (c == ColMark || c == ColSort || c == ColJoin || c == ColNo)
                it->setTextAlignment(Qt::AlignCenter);
            ui->sg->setItem(r, c, it);
        }
        ui->sg->item(r, ColNo)->setText(QString::number(r + 1));
        ui->sg->item(r, ColName)->setText(builder_.field(r).caption);
        ui->sg->item(r, ColField)->setText(builder_.field(r).column);
        // The column name itself is not a choice.
        ui->sg->item(r, ColName)->setFlags(Qt::ItemIsEnabled);
        refreshRow(r);
    }
    if (builder_.fieldCount() > 0) ui->sg->setCurrentCell(0, ColMark);
}

void Ttorzsmazsolafm::refreshRow(int row) {
    if (row < 0 || row >= ui->sg->rowCount()) return;
    ui->sg->item(row, ColMark)->setText(builder_.markText(row));
    ui->sg->item(row, ColSort)->setText(builder_.sortText(row));
    ui->sg->item(row, ColJoin)->setText(builder_.joinText(row));
    ui->sg->item(row, ColCond)->setText(builder_.conditionText(row));
    ui->sg->item(row, ColCond)->setToolTip(builder_.conditionText(row));
}

void Ttorzsmazsolafm::refreshAll() {
    for (int r = 0; r < ui->sg->rowCount(); ++r) refreshRow(r);
}

int Ttorzsmazsolafm::selectedRow() const {
    const int r = ui->sg->currentRow();
    return r >= 0 && r < builder_.fieldCount() ? r : -1;
}

void Ttorzsmazsolafm::sgCellClick(int row, int col) {
    if (row < 0 || row >= builder_.fieldCount()) return;
    if (ui->sg->currentRow() != row) ui->sg->setCurrentCell(row, col == ColName ? ColMark : col);
    switch (col) {
    case ColMark:
        if (!builder_.toggleMark(row)) vl::notify(vl::MsgKind::Warning, MaxMarksText());
        refreshAll();
        break;
    case ColSort:
        if (builder_.toggleSort(row)) refreshAll();
        break;
    case ColJoin:
        builder_.cycleJoin(row);
        refreshRow(row);
        break;
    default:
        break;
    }
}

// ------------------------------------------------------------------ conditions

void Ttorzsmazsolafm::operatorChanged() {
    const bool between =
        ConditionOperatorOfItem(ui->lb_muv->currentItem() ? ui->lb_muv->currentItem()->text() : QString()) ==
        CondOp::Between;
    ui->e_ig->setVisible(between);
    ui->l_ig->setVisible(between);
    ui->l_tol->setVisible(between);
}

void Ttorzsmazsolafm::b_whereClick() {
    if (selectedRow() < 0) return;
    ui->p_where->setTitle(QStringLiteral("Feltétel: ") + builder_.field(selectedRow()).caption);
    ui->p_where->show();
    ui->e_szuro->clear();
    ui->e_ig->clear();
    ui->cb_valaszt->clear();
    ui->cb_valaszt->hide();
    if (ui->lb_muv->currentRow() < 0) ui->lb_muv->setCurrentRow(0);
    operatorChanged();
    ui->lb_muv->setFocus();
}

void Ttorzsmazsolafm::b_distinctClick() {
    const int row = selectedRow();
    if (row < 0) return;
    try {
        const QStringList values = builder_.distinctValues(vl::shell::dm().d_alap(), row);
        ui->cb_valaszt->clear();
        ui->cb_valaszt->addItems(values);
        ui->cb_valaszt->setCurrentIndex(-1);
        ui->cb_valaszt->show();
        if (!values.isEmpty()) ui->cb_valaszt->showPopup();
    } catch (const vl::db::DbError& e) {
        vl::notifyDbError(QStringLiteral("a választható értékek olvasása"), e.text());
    }
}

void Ttorzsmazsolafm::b_okfeltClick() {
    const int row = selectedRow();
    if (row < 0 || !ui->p_where->isVisible()) return;
    if (ui->lb_muv->currentRow() < 0) ui->lb_muv->setCurrentRow(0);
    const CondOp op = ConditionOperatorOfItem(ui->lb_muv->currentItem()->text());
    const QString error = builder_.addCondition(row, op, ui->e_szuro->text(), ui->e_ig->text());
    if (!error.isEmpty()) {
        vl::notify(vl::MsgKind::Warning, error);
        ui->e_szuro->setFocus();
        return;
    }
    refreshRow(row);
    ui->p_where->hide();
    ui->sg->setFocus();
}

void Ttorzsmazsolafm::b_megsemClick() {
    ui->p_where->hide();
    ui->sg->setFocus();
}

void Ttorzsmazsolafm::b_wheretorolClick() {
    const int row = selectedRow();
    if (row < 0) return;
    builder_.clearCondition(row);
    refreshRow(row);
}

void Ttorzsmazsolafm::b_wheremindtorolClick() {
    builder_.clearAllConditions();
    refreshAll();
}

// ------------------------------------------------------------------ statement and result

void Ttorzsmazsolafm::generate() {
    built_ = builder_.build();
    generatedSql_ = built_.sql;
    ui->m_sql->setPlainText(generatedSql_);
}

void Ttorzsmazsolafm::b_keszClick() { generate(); }

void Ttorzsmazsolafm::closeResult() {
    model_->setRowSet(vl::db::RowSet());
    resultOpen_ = false;
    ui->l_count->clear();
}

bool Ttorzsmazsolafm::runStatement() {
    const QString text = ui->m_sql->toPlainText();
    // An empty or untouched statement is built again from the current choices.
    const bool typed = !text.trimmed().isEmpty() && text != generatedSql_;
    if (!typed) generate();
    try {
        auto& conn = vl::shell::dm().d_alap();
        vl::db::RowSet rows;
        if (typed) {
            QString message;
            if (!builder_.runTyped(conn, text, vl::shell::dm().session().rights, built_.params, &rows, &message)) {
                vl::notify(vl::MsgKind::Warning, message);
                return false;
            }
        } else {
            rows = builder_.run(conn, built_);
        }
        model_->setRowSet(rows);
        for (const auto& f : builder_.fields()) model_->setCaption(f.column, f.caption);
        ui->grid->resizeColumnsToContents();
        for (int c = 0; c < model_->columnCount(); ++c)
            if (ui->grid->columnWidth(c) > 320) ui->grid->setColumnWidth(c, 320);
        resultOpen_ = true;
        ui->l_count->setText(QString::number(rows.rowCount()) + QStringLiteral(" tétel"));
        return true;
    } catch (const vl::db::DbError& e) {
        closeResult();
        vl::notifyDbError(QStringLiteral("a lista lekérdezése"), e.text());
        return false;
    }
}

void Ttorzsmazsolafm::b_indulClick() { runStatement(); }

bool Ttorzsmazsolafm::ensureResult() { return resultOpen_ || runStatement(); }

void Ttorzsmazsolafm::b_ujlekerdezesClick() {
    closeResult();
    ui->m_sql->clear();
    generatedSql_.clear();
    built_ = BuiltQuery();
    ui->e_cim->clear();
    builder_.reset();
    refreshAll();
}

void Ttorzsmazsolafm::b_previewClick() {
    if (!ensureResult()) return;
    if (model_->rowSet().isEmpty()) {
        vl::notify(vl::MsgKind::Info, QStringLiteral("Nincs mit nyomtatni."));
        return;
    }
    const QString title = ui->e_cim->text().trimmed().isEmpty() ? builder_.table() : ui->e_cim->text().trimmed();
    vl::shell::openForm(QStringLiteral("Tqr_lista"),
                        {{QStringLiteral("title"), title}, {QStringLiteral("rows"), QVariant::fromValue(model_->rowSet())}},
                        this);
}

void Ttorzsmazsolafm::b_tarolasClick() {
    if (!ensureResult()) return;
    if (model_->rowSet().isEmpty()) {
        vl::notify(vl::MsgKind::Info, QStringLiteral("Nincs mit tárolni"));
        return;
    }
    const QString title = ui->e_cim->text().trimmed().isEmpty() ? builder_.table() : ui->e_cim->text().trimmed();
    vl::shell::openForm(QStringLiteral("ExportQuery"),
                        {{QStringLiteral("Rows"), QVariant::fromValue(model_->rowSet())},
                         {QStringLiteral("FileName"), builder_.table()},
                         {QStringLiteral("SheetName"), builder_.table()},
                         {QStringLiteral("Sql"), ui->m_sql->toPlainText()},
                         {QStringLiteral("Title"), title}},
                        this);
}

void Ttorzsmazsolafm::b_resultClick() {
    generate();
    QString text = QStringLiteral("Megadott feltétel:\n");
    text += built_.condition.isEmpty() ? QStringLiteral(" * Nincs megadva feltétel *") : built_.condition;
    text += QStringLiteral("\nKiválasztott mezők:\n");
    text += built_.selectedFields.isEmpty() ? QStringLiteral(" * Nincs kiválasztva mező *") : built_.selectedFields;
    vl::notify(vl::MsgKind::Info, text);
}

void Ttorzsmazsolafm::B_feltetelClick() {
    generate();
    result_.accepted = true;
    result_.condition = built_.condition;
    result_.selectedFields = built_.selectedFields;
    result_.order = built_.order;
    ui->m_sql->clear();
    generatedSql_.clear();
    accept();
}

void Ttorzsmazsolafm::b_visszaClick() {
    result_ = ListBuilderResult();
    reject();
}

// ------------------------------------------------------------------ opening

ListBuilderResult openListBuilder(QWidget* parent, const QString& table) {
    static QPointer<Ttorzsmazsolafm> form;
    if (!form) form = new Ttorzsmazsolafm(parent);
    if (!form->prepare(table)) return {};
    form->exec();
    return form->result();
}

} // namespace vl::framework
