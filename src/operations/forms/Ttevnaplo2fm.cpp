#include "Ttevnaplo2fm.h"
#include "ui_Ttevnaplo2fm.h"

#include "CabinScanInput.h"
#include "CodeCombo.h"
#include "FormRegistry.h"
#include "ReportPreview.h"
#include "TgetdatumFm.h"
#include "Tmain_pkrfm.h"
#include "db/RowSetModel.h"
#include "operations/DayList.h"
#include "ActivityLogActions.h"
#include "TkepekDialog.h"
#include "rental/Numbering.h"
#include "shell/Dm.h"
#include "util/Colors.h"
#include "util/Dates.h"
#include "util/MessageSink.h"
#include "util/Texts.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QTableView>

namespace vl::operations {

// The grid's model: the work table's visible list, each line in the colour
// of its status class (a line marked from a driver's phone in its own
// colour, its remark as the tooltip), black text. The "Kép" column is not a
// field of the list: it shows each line's pictures from the sheet's lines.
class DaySheetModel : public vl::db::RowSetModel {
public:
    using RowSetModel::RowSetModel;
    QString day;
    int boldColumn = -1;
    int pictureColumn = -1;
    QHash<int, int> pictures;   // line number -> its pictures (lines without any are left out)
    int picturesOfRow(int row) const {
        const auto& rs = rowSet();
        const int c = rs.indexOf(QStringLiteral("TSORSZAM"));
        if (c < 0 || row < 0 || row >= rs.rowCount()) return 0;
        return pictures.value(int(rs.at(row, c).toLongLong()));
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role == Qt::FontRole && o == Qt::Horizontal) {
            QFont f;
            f.setBold(section == boldColumn);
            return f;
        }
        return RowSetModel::headerData(section, o, role);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::ForegroundRole) return QColor(Qt::black);
        if (index.column() == pictureColumn) {
            if (role == Qt::DisplayRole) {
                const int n = picturesOfRow(index.row());
                return n > 0 ? QVariant(QString::number(n)) : QVariant(QString());
            }
            if (role == Qt::EditRole) return picturesOfRow(index.row());
            if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
            if (role == Qt::ToolTipRole) {
                const int n = picturesOfRow(index.row());
                if (n > 0) return QStringLiteral("%1 kép (dupla kattintás: megnézés)").arg(n);
            }
        }
        if (role == Qt::BackgroundRole || role == Qt::ToolTipRole) {
            const auto& rs = rowSet();
            const int c = rs.indexOf(QStringLiteral("MODOSITHATO"));
            if (c < 0 || index.row() >= rs.rowCount()) return {};
            const int cs = rs.indexOf(QStringLiteral("SZIN"));
            const bool phone = cs >= 0 && rs.at(index.row(), cs).toString() == PhoneMarkColorName();
            if (role == Qt::ToolTipRole) {
                if (!phone) return RowSetModel::data(index, role);
                const int ck = rs.indexOf(QStringLiteral("KOMMENT"));
                return ck < 0 ? PhoneMarkedText() : rs.at(index.row(), ck).toString().trimmed();
            }
            if (phone) return QColor::fromRgba(vl::util::ColorFromName(PhoneMarkColorName()));
            const QString name = Ttevnaplo2fm::ColorNameOf(rs.at(index.row(), c).toString(), day, vl::util::TodayStr());
            if (name.isEmpty()) return {};
            return QColor::fromRgba(vl::util::ColorFromName(name));
        }
        return RowSetModel::data(index, role);
    }
};

namespace {
const QString kAll = QStringLiteral("Összes");
} // namespace

const QList<QPair<QString, QString>>& Ttevnaplo2fm::GridColumns() {
    static const QList<QPair<QString, QString>> c{
        {QStringLiteral("SELECTED"), QStringLiteral("Jel *")},
        {QStringLiteral("TSORSZAM"), QStringLiteral(" # ")},
        {QStringLiteral("UGYFEL"), QStringLiteral("Ügyfél * ")},
        {QStringLiteral("CIM"), QStringLiteral("Szállítási cím *")},
        {QStringLiteral("DB"), QStringLiteral("Db")},
        {QStringLiteral("TIPUS"), QStringLiteral("Típus")},
        {QStringLiteral("TEVNEV"), QStringLiteral("Tev. *")},
        {QStringLiteral("SOFOR"), QStringLiteral("Sofőr *")},
        {QStringLiteral("STATUS"), QStringLiteral("Státusz")},
        {PictureField(), QStringLiteral("Kép")},
        {QStringLiteral("TERMEKKODOK"), QStringLiteral("Kabinszámok")},
        {QStringLiteral("NETTO"), QStringLiteral("Nettó egys.ár")},
        {QStringLiteral("KOMMENT"), QStringLiteral("Megjegyzés")},
        {QStringLiteral("BIZONYLAT"), QStringLiteral("Bizonylat")}};
    return c;
}

QString Ttevnaplo2fm::ColorNameOf(const QString& cls, const QString& day, const QString& today) {
    if (cls == QStringLiteral("I") || cls == QStringLiteral("i"))
        return day < today ? QStringLiteral("FAKÓLILA") : QStringLiteral("FAKÓZÖLD");
    if (cls == QStringLiteral("N")) return QStringLiteral("FEHÉR");
    if (cls == QStringLiteral("n")) return QStringLiteral("claqua");
    if (cls == QStringLiteral("X")) return QStringLiteral("piros");
    return {};
}

Ttevnaplo2fm::Ttevnaplo2fm(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::Ttevnaplo2fm>()) {
    ui_->setupUi(this);
    setWindowFlag(Qt::Window, true);
    auto& u = *ui_;
    b_nap = u.b_nap; b_keres = u.b_keres; b_ugyfelrend = u.b_ugyfelrend; b_partnerek = u.b_partnerek;
    b_szerzfel = u.b_szerzfel; b_vissza = u.b_vissza; b_elvegezve = u.b_elvegezve; b_komment = u.b_komment;
    b_uj = u.b_uj; b_athelyez = u.b_athelyez; b_sofor = u.b_sofor; b_torles = u.b_torles; b_atutemez = u.b_atutemez;
    b_kepek = u.b_kepek;
    b_nyomtat = u.b_nyomtat; b_atadas = u.b_atadas; b_bianco = u.b_bianco; b_ugyfel = u.b_ugyfel; b_ujnap = u.b_ujnap;
    sb_tegnap = u.sb_tegnap; sb_holnap = u.sb_holnap; cb_ugyfelfrissit = u.cb_ugyfelfrissit;
    e_nap = u.e_nap; e_ujnap = u.e_ujnap; e_mennyiseg = u.e_mennyiseg; e_nettoar = u.e_nettoar; e_komment = u.e_komment;
    l_nap = u.l_nap; l_ugyfelnev = u.l_ugyfelnev; l_ugyfelcim = u.l_ugyfelcim; l_db = u.l_db;
    l_selected = u.l_selected; l_sumdb = u.l_sumdb;
    cbx_ugyfel = u.cbx_ugyfel; cbx_sofor = u.cbx_sofor; cbx_tev = u.cbx_tev; cbx_soforuj = u.cbx_soforuj;
    cbx_termek = u.cbx_termek;
    vl::shell::InstallCabinScan(cbx_termek);
    cb_saktiv = u.cb_saktiv; cb_nosofor = u.cb_nosofor; cb_torolt = u.cb_torolt;
    pb1 = u.pb1;
    DBGrid1 = u.DBGrid1;
    pb1->setVisible(false);
    l_sumdb->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The legend of the phone's colour, beside the totals.
    {
        auto* legend = new QLabel(QStringLiteral(" ") + PhoneMarkedText() + QStringLiteral(" "), u.p_szin);
        legend->setObjectName(QStringLiteral("l_telefon"));
        legend->setAutoFillBackground(true);
        QPalette lp = legend->palette();
        lp.setColor(QPalette::Window, QColor::fromRgba(vl::util::ColorFromName(PhoneMarkColorName())));
        lp.setColor(QPalette::WindowText, Qt::black);
        legend->setPalette(lp);
        legend->setToolTip(QStringLiteral("Halványsárga sor: a gépkocsivezető a telefonjáról jelölte"
                                          " (a megjegyzés elején a neve)."));
        if (auto* hl = qobject_cast<QHBoxLayout*>(u.p_szin->layout())) hl->addWidget(legend);
    }

    model_ = new DaySheetModel(this);
    QList<vl::db::RowSetModel::GridColumn> cols;
    for (const auto& c : GridColumns()) {
        if (c.first == PictureField()) model_->pictureColumn = int(cols.size());
        cols.append({c.first, c.second, QString()});
    }
    model_->setColumns(cols);
    DBGrid1->setModel(model_);
    DBGrid1->verticalHeader()->setVisible(false);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->setWordWrap(false);
    const int widths[] = {40, 40, 170, 260, 40, 150, 200, 120, 110, 40, 140, 110, 300, 120};
    for (int i = 0; i < int(std::size(widths)); ++i) DBGrid1->setColumnWidth(i, widths[i]);
    QPalette pal = DBGrid1->palette();
    pal.setColor(QPalette::Highlight, QColor::fromRgba(vl::util::ColorFromName(QStringLiteral("FAKÓKÉK"))));
    pal.setColor(QPalette::HighlightedText, Qt::black);
    DBGrid1->setPalette(pal);
    boldColumn_ = 3; // "Szállítási cím *" is bold at start: the list is ordered by it

    // The buttons that change activities and the new activity's panel.
    new ActivityLogActions(this);

    connect(b_keres, &QPushButton::clicked, this, [this] { LoadDaySheet(); });
    connect(b_vissza, &QPushButton::clicked, this, &QWidget::close);
    connect(b_nap, &QPushButton::clicked, this, [this] {
        const QString before = e_nap->text();
        vl::shell::PickDateForButton(b_nap);
        if (e_nap->text() != before) {
            showDayName();
            LoadDaySheet();
        }
    });
    connect(b_ujnap, &QPushButton::clicked, this, [this] { vl::shell::PickDateForButton(b_ujnap); });
    connect(sb_tegnap, &QToolButton::clicked, this, [this] { dayStep(-1); });
    connect(sb_holnap, &QToolButton::clicked, this, [this] { dayStep(1); });
    connect(cbx_ugyfel, qOverload<int>(&QComboBox::activated), this, [this](int) { FilterDaySheet(); });
    connect(cbx_sofor, qOverload<int>(&QComboBox::activated), this, [this](int) { FilterDaySheet(); });
    connect(cb_nosofor, &QCheckBox::clicked, this, [this] { FilterDaySheet(); });
    connect(cb_torolt, &QCheckBox::clicked, this, [this] { FilterDaySheet(); });
    connect(cb_ugyfelfrissit, &QToolButton::clicked, this, &Ttevnaplo2fm::cb_ugyfelfrissitClick);
    connect(cb_saktiv, &QCheckBox::clicked, this, &Ttevnaplo2fm::cb_saktivClick);
    // A double-click marks the line; on the "Kép" cell of a line with pictures it shows them.
    connect(DBGrid1, &QTableView::doubleClicked, this, [this](const QModelIndex& i) {
        if (i.column() == model_->pictureColumn && model_->picturesOfRow(i.row()) > 0) b_kepekClick();
        else ToggleCurrentMark();
    });
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { updatePicturesButton(); });
    connect(b_kepek, &QPushButton::clicked, this, &Ttevnaplo2fm::b_kepekClick);
    connect(DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this, &Ttevnaplo2fm::sortByColumn);
    connect(b_nyomtat, &QPushButton::clicked, this, &Ttevnaplo2fm::b_nyomtatClick);
    connect(b_atadas, &QPushButton::clicked, this, &Ttevnaplo2fm::b_atadasClick);
    connect(b_bianco, &QPushButton::clicked, this, &Ttevnaplo2fm::b_biancoClick);
    connect(b_ugyfelrend, &QPushButton::clicked, this, &Ttevnaplo2fm::b_ugyfelrendClick);
    connect(b_partnerek, &QPushButton::clicked, this, &Ttevnaplo2fm::b_partnerekClick);
    connect(b_szerzfel, &QPushButton::clicked, this, &Ttevnaplo2fm::b_szerzfelClick);
    // A day typed and confirmed with Enter is loaded; while the typed day is
    // not the loaded one the grid stays empty, so no day's rows stand under
    // another day's date.
    connect(e_nap, &QLineEdit::returnPressed, this, [this] {
        showDayName();
        LoadDaySheet();
    });
    connect(e_nap, &QLineEdit::textEdited, this, [this] {
        showDayName();
        if (dayPending()) showPendingDay();
        else if (sheet_ && !sheet_->tableName().isEmpty()) showSheet(currentLine());
    });
    e_nap->installEventFilter(this);
    e_ujnap->installEventFilter(this);
    e_komment->installEventFilter(this);
}

Ttevnaplo2fm::~Ttevnaplo2fm() = default;

bool Ttevnaplo2fm::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::FocusOut && o == e_nap) {
        QWidget* to = QApplication::focusWidget();
        if (vl::util::DateValid(e_nap->text(), false)) {
            showDayName();
            if (vl::util::NormalizeDateText(e_nap->text()) != loadedDay_ && to != b_keres && to != b_nap)
                LoadDaySheet();
        } else if (to != b_nap) {
            vl::shell::PickDateForButton(b_nap);
            showDayName();
        }
    } else if (e->type() == QEvent::FocusOut && o == e_ujnap) {
        QWidget* to = QApplication::focusWidget();
        if (!e_ujnap->text().trimmed().isEmpty() && !vl::util::DateValid(e_ujnap->text(), false) && to != b_ujnap)
            vl::shell::PickDateForButton(b_ujnap);
    } else if (e->type() == QEvent::FocusIn && o == e_komment && sheet_) {
        // The remark of the current line's first row, never the composed text.
        if (const DaySheetLine* l = sheet_->line(currentLine()); l && !l->sources.isEmpty())
            e_komment->setText(l->sources.first().komment);
    }
    return QWidget::eventFilter(o, e);
}

void Ttevnaplo2fm::showDayName() {
    l_nap->setMaximumWidth(90);
    l_nap->setToolTip(QString());
    l_nap->setText(vl::util::DayNameOf(e_nap->text().trimmed(), QString()));
}

ActivityLogSession& Ttevnaplo2fm::openSession() {
    auto& dm = vl::shell::dm();
    if (!session_) {
        session_ = std::make_unique<ActivityLogSession>(dm.d_alap(), dm.session(), vl::rental::Td::values().VatFactor);
        sheet_ = &session_->sheet();
    }
    session_->useConnection(dm.d_alap());
    return *session_;
}

void Ttevnaplo2fm::fillCustomers() {
    ActivityLogSession& s = openSession();
    vl::shell::FillCodeCombo(cbx_ugyfel, [&] { return s.customers(); }, customerCodes, true, kAll);
}

void Ttevnaplo2fm::fillDrivers() {
    ActivityLogSession& s = openSession();
    const bool active = cb_saktiv->isChecked();
    vl::shell::FillCodeCombo(cbx_sofor, [&] { return s.drivers(active); }, driverCodes, true, kAll);
}

bool Ttevnaplo2fm::FormShow() {
    try {
        ActivityLogSession& s = openSession();
        e_nap->setText(vl::util::TodayStr());
        showDayName();
        fillCustomers();
        if (cbx_sofor->count() == 0) fillDrivers();
        vl::shell::FillCodeCombo(cbx_tev, [&] { return s.activityKinds(); }, activityCodes, true, QStringLiteral("-"));
        vl::shell::FillCodeCombo(cbx_soforuj, [&] { return s.drivers(true); }, newDriverCodes, true, QString());
        cbx_tev->setCurrentIndex(-1);
        cbx_soforuj->setCurrentIndex(-1);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a tevékenységi napló megnyitása"));
        return false;
    }
    LoadDaySheet();
    return true;
}

DaySheetFilter Ttevnaplo2fm::currentFilter() const {
    DaySheetFilter f;
    const int c = cbx_ugyfel->currentIndex();
    if (c > 0 && c < customerCodes.size()) f.customerKey = customerCodes.at(c);
    const int d = cbx_sofor->currentIndex();
    if (d > 0 && d < driverCodes.size()) f.driverCode = driverCodes.at(d);
    f.noDriver = cb_nosofor->isChecked();
    f.hideDeleted = cb_torolt->isChecked();
    return f;
}

void Ttevnaplo2fm::LoadDaySheet() {
    if (!sheet_) return;
    session_->useConnection(vl::shell::dm().d_alap());
    const int keep = currentLine();
    try {
        sheet_->LoadDaySheet(e_nap->text(), currentFilter());
        e_nap->setText(sheet_->day());
        loadedDay_ = sheet_->day();
        showDayName();
        if (!sheet_->dayKind().isEmpty()) {
            l_nap->setMaximumWidth(420);   // the day's name and its kind ("Munkaszüneti nap: Húsvéthétfő")
            l_nap->setText(l_nap->text() + QStringLiteral("  ") + sheet_->dayKind());
            l_nap->setToolTip(sheet_->dayKind());
        }
        l_ugyfelnev->clear();
        l_ugyfelcim->clear();
        cbx_termek->clear();
        productCodes.clear();
    } catch (const vl::RuleRefusal& e) {
        vl::notify(vl::MsgKind::Warning, e.text());
        return;
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a nap betöltése"));
        return;
    }
    for (const QString& f : sheet_->failedInserts()) vl::notify(vl::MsgKind::Warning, f);
    showSheet(keep);
}

bool Ttevnaplo2fm::dayPending() const {
    return sheet_ && !sheet_->tableName().isEmpty() &&
           vl::util::NormalizeDateText(e_nap->text().trimmed()) != sheet_->day();
}

QString Ttevnaplo2fm::PendingDayText() {
    return QStringLiteral("A beírt nap még nincs betöltve: Enter vagy \"Betöltés\".");
}

void Ttevnaplo2fm::showPendingDay() {
    model_->pictures.clear();
    model_->setRowSet(vl::db::RowSet());
    updatePicturesButton();
    l_db->setText(QStringLiteral("0"));
    l_selected->setText(QStringLiteral("0"));
    l_sumdb->setText(PendingDayText());
}

void Ttevnaplo2fm::FilterDaySheet() {
    if (!sheet_ || sheet_->tableName().isEmpty()) return;
    if (dayPending()) {
        // The filter applies to the typed day, not to the one still held.
        if (vl::util::DateValid(e_nap->text(), false)) LoadDaySheet();
        return;
    }
    session_->useConnection(vl::shell::dm().d_alap());
    const int keep = currentLine();
    try {
        sheet_->FilterDaySheet(currentFilter());
    } catch (const vl::RuleRefusal& e) {
        vl::notify(vl::MsgKind::Warning, e.text());
        return;
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a szűrés"));
        return;
    }
    showSheet(keep);
}

void Ttevnaplo2fm::showSheet(int keepLine) {
    model_->day = sheet_->day();
    model_->pictures.clear();
    for (const DaySheetLine& l : sheet_->lines())
        if (l.images > 0) model_->pictures.insert(l.tsorszam, l.images);
    model_->setRowSet(sheet_->visible());
    l_db->setText(QString::number(sheet_->visible().rowCount()));
    l_selected->setText(QString::number(sheet_->marks().size()));
    l_sumdb->setText(sheet_->summaryText());
    if (!goToLine(keepLine) && model_->rowCount() > 0) DBGrid1->selectRow(0);
    model_->boldColumn = boldColumn_;
    DBGrid1->horizontalHeader()->viewport()->update();
    updatePicturesButton();
}

QString Ttevnaplo2fm::PictureField() { return QStringLiteral("KEP"); }

int Ttevnaplo2fm::picturesOfCurrentLine() const {
    if (!sheet_ || dayPending()) return 0;
    const DaySheetLine* l = sheet_->line(currentLine());
    return l ? l->images : 0;
}

void Ttevnaplo2fm::updatePicturesButton() { b_kepek->setEnabled(picturesOfCurrentLine() > 0); }

TkepekDialog* Ttevnaplo2fm::b_kepekClick() {
    if (picturesOfCurrentLine() <= 0) return nullptr;
    const DaySheetLine* l = sheet_->line(currentLine());
    const auto& rs = sheet_->visible();
    const int row = DBGrid1->currentIndex().row();
    const int cu = rs.indexOf(QStringLiteral("UGYFEL")), cc = rs.indexOf(QStringLiteral("CIM"));
    QStringList caption;
    if (cu >= 0) caption << rs.at(row, cu).toString().trimmed();
    if (cc >= 0) caption << rs.at(row, cc).toString().trimmed();
    caption.removeAll(QString());
    session_->useConnection(vl::shell::dm().d_alap());
    auto* d = new TkepekDialog(*session_, l->tsorszam, caption.join(QStringLiteral(", ")), this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->setWindowModality(Qt::WindowModal);
    d->show();
    return d;
}

int Ttevnaplo2fm::currentLine() const {
    const QModelIndex i = DBGrid1->currentIndex();
    if (!i.isValid() || !sheet_) return 0;
    const auto& rs = sheet_->visible();
    const int c = rs.indexOf(QStringLiteral("TSORSZAM"));
    if (c < 0 || i.row() >= rs.rowCount()) return 0;
    return int(rs.at(i.row(), c).toLongLong());
}

bool Ttevnaplo2fm::goToLine(int tsorszam) {
    if (!sheet_ || tsorszam <= 0) return false;
    const auto& rs = sheet_->visible();
    const int c = rs.indexOf(QStringLiteral("TSORSZAM"));
    for (int r = 0; r < rs.rowCount(); ++r)
        if (rs.at(r, c).toLongLong() == tsorszam) {
            DBGrid1->selectRow(r);
            DBGrid1->setCurrentIndex(model_->index(r, 0));
            return true;
        }
    return false;
}

void Ttevnaplo2fm::ToggleCurrentMark() {
    const int t = currentLine();
    if (!sheet_ || t <= 0) return;
    try {
        session_->useConnection(vl::shell::dm().d_alap());
        sheet_->ToggleLineMark(t);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a sor kijelölése"));
        return;
    }
    showSheet(t);
}

void Ttevnaplo2fm::sortByColumn(int section) {
    if (!sheet_ || sheet_->tableName().isEmpty() || section < 0 || section >= GridColumns().size()) return;
    if (dayPending()) return;
    const auto& col = GridColumns().at(section);
    if (!col.second.contains(QLatin1Char('*'))) return;
    const int keep = currentLine();
    try {
        session_->useConnection(vl::shell::dm().d_alap());
        if (!sheet_->SortBy(col.first)) return;
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a rendezés"));
        return;
    }
    boldColumn_ = section;
    showSheet(keep);
}

void Ttevnaplo2fm::dayStep(int days) {
    if (!vl::util::DateValid(e_nap->text(), false)) return;
    const QDate d = vl::util::StrToDateYMD(vl::util::NormalizeDateText(e_nap->text())).addDays(days);
    e_nap->setText(vl::util::DateToYMD(d));
    showDayName();
    LoadDaySheet();
}

void Ttevnaplo2fm::cb_ugyfelfrissitClick() {
    const QString chosen = cbx_ugyfel->currentIndex() > 0 ? cbx_ugyfel->currentText() : QString();
    try {
        fillCustomers();
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("az ügyfél lista frissítése"));
        return;
    }
    QStringList names;
    for (int i = 0; i < cbx_ugyfel->count(); ++i) names << cbx_ugyfel->itemText(i);
    const int at = chosen.isEmpty() ? -1 : vl::util::FindInStrings(chosen, names, false, 1, true);
    cbx_ugyfel->setCurrentIndex(at > 0 ? at : 0);
}

void Ttevnaplo2fm::cb_saktivClick() {
    try {
        fillDrivers();
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a sofőr lista frissítése"));
        return;
    }
    cbx_sofor->setCurrentIndex(0);
}

void Ttevnaplo2fm::b_nyomtatClick() {
    if (!sheet_ || sheet_->tableName().isEmpty()) return;
    if (dayPending()) {
        vl::notify(vl::MsgKind::Warning, PendingDayText());
        return;
    }
    try {
        vl::reporting::previewReport(DayListReport(openSession().dayList()), this);
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a napi tevékenységi lista"));
    }
}

void Ttevnaplo2fm::b_atadasClick() {
    if (!sheet_) return;
    if (dayPending()) {
        vl::notify(vl::MsgKind::Warning, PendingDayText());
        return;
    }
    QList<HandoverDoc> docs;
    try {
        docs = HandoverDocuments(*sheet_);
    } catch (const vl::RuleRefusal& e) {
        vl::notify(vl::MsgKind::Warning, e.text());
        return;
    }
    for (const HandoverDoc& d : docs)
        vl::shell::openForm(QStringLiteral("ShowDocPrint"),
                            {{QStringLiteral("Contract"), d.contract},
                             {QStringLiteral("Version"), int(d.version)},
                             {QStringLiteral("ActivityCode"), d.activity},
                             {QStringLiteral("Date"), sheet_->day()},
                             {QStringLiteral("EndDate"), QString()}},
                            this);
}

void Ttevnaplo2fm::b_biancoClick() {
    vl::shell::openForm(QStringLiteral("ShowDocPrint"),
                        {{QStringLiteral("Contract"), qint64(-1)},
                         {QStringLiteral("Version"), 1},
                         {QStringLiteral("ActivityCode"), QString()},
                         {QStringLiteral("Date"), sheet_ ? sheet_->day() : vl::util::TodayStr()},
                         {QStringLiteral("EndDate"), QString()}},
                        this);
}

void Ttevnaplo2fm::b_ugyfelrendClick() {
    if (!sheet_) return;
    const DaySheetLine* l = sheet_->line(currentLine());
    const DaySheetLine at = l ? *l : DaySheetLine();
    vl::shell::openForm(QStringLiteral("Tugyfelrendfm"),
                        {{QStringLiteral("CustomerKey"), at.ugyfelkod},
                         {QStringLiteral("SiteKey"), at.ugyfelcim},
                         {QStringLiteral("ActivityDate"), sheet_->day()}},
                        this);
    LoadDaySheet();
    // Back to the first line of the same site, type and activity.
    for (const DaySheetLine& x : sheet_->lines())
        if (x.ugyfelkod == at.ugyfelkod && x.ugyfelcim == at.ugyfelcim && x.tipus == at.tipus && x.tevkod == at.tevkod &&
            goToLine(x.tsorszam))
            break;
}

void Ttevnaplo2fm::b_partnerekClick() {
    vl::shell::openForm(QStringLiteral("Tugyfelfm"),
                        {{QStringLiteral("SelectAllowed"), false},
                         {QStringLiteral("ShowButtons"), true},
                         {QStringLiteral("StartCustomerKey"), QString()},
                         {QStringLiteral("StartSiteKey"), QString()},
                         {QStringLiteral("Modal"), false}},
                        this);
}

void Ttevnaplo2fm::b_szerzfelClick() {
    for (QWidget* t : QApplication::topLevelWidgets()) {
        const QString name = t->objectName();
        if ((name == QStringLiteral("Tugyfelfm") || name == QStringLiteral("Tkabinfm")) && t->isVisible()) t->close();
    }
    const auto r = vl::shell::openForm(QStringLiteral("Tszerzfelfm"),
                                       {{QStringLiteral("Mode"), QStringLiteral("insert")},
                                        {QStringLiteral("Contract"), qint64(-1)},
                                        {QStringLiteral("Version"), 0}},
                                       this);
    if (r.accepted) LoadDaySheet();
}

Ttevnaplo2fm& ActivityLogForm() {
    static QPointer<Ttevnaplo2fm> f;
    if (!f) f = new Ttevnaplo2fm(vl::shell::Tmain_pkrfm::instance());
    return *f;
}

} // namespace vl::operations
