#include "TTorzsfm.h"

#include "OpenTableEditor.h"
#include "EditorButtons.h"
#include "TParaButton.h"
#include "Ttorzsmazsolafm.h"

#include "FormConventions.h"
#include "TgetdatumFm.h"
#include "Tmain_pkrfm.h"
#include "db/Catalogue.h"
#include "db/RowSetModel.h"
#include "framework/Rights.h"
#include "framework/Validation.h"
#include "shell/Dm.h"
#include "util/Colors.h"
#include "util/Numbers.h"
#include "util/MessageSink.h"
#include "util/Texts.h"

#include "FormRegistry.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace vl::framework {

using vl::db::DbError;
using vl::shell::ASelectedRecord;
using vl::util::UpperHu;

namespace {
constexpr int kS = 8;          // the design font size of the panel formulas
constexpr int kMinAreaWidth = 880;

QString stripAmp(QString s) { return s.remove(QLatin1Char('&')); }
} // namespace

TTorzsfm::TTorzsfm(QWidget* parent) : QWidget(parent) {
    setWindowFlag(Qt::Window, true);
    setObjectName(QStringLiteral("TTorzsfm"));
    setWindowTitle(QStringLiteral("Törzs kezelő"));
    buildUi();
    resize(960, 640);
}

TTorzsfm::~TTorzsfm() = default;

void TTorzsfm::buildUi() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(2, 2, 2, 2);
    root->setSpacing(2);
    menu = new QMenuBar(this);
    menu->setObjectName(QStringLiteral("MainMenu1"));
    root->setMenuBar(menu);

    auto act = [this](QMenu* m, const char* name, const char* text, auto slot) {
        QAction* a = m ? m->addAction(QString::fromUtf8(text)) : menu->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* nav = menu->addMenu(QStringLiteral("Navigáció"));
    elsotetel = act(nav, "elsotetel", "Első tétel", [this] { b_firstClick(); });
    elozotetel = act(nav, "elozotetel", "Előző tétel", [this] { b_priorClick(); });
    kovetkezotetel = act(nav, "kovetkezotetel", "Következő tétel", [this] { b_nextClick(); });
    utolsotetel = act(nav, "utolsotetel", "Utolsó tétel", [this] { b_lastClick(); });
    frissitAct = act(nav, "frissit", "Frissít", [this] { frissit(); });
    adatkezeles = menu->addMenu(QStringLiteral("Adatkezelés"));
    adatkezeles->setObjectName(QStringLiteral("Adatkezeles"));
    ujtetel = act(adatkezeles, "ujtetel", "Uj tétel", [this] { b_insertClick(); });
    aktualisbolujat = act(adatkezeles, "aktualisbolujat", "Aktuálisból újat", [this] { b_aktujClick(); });
    modositas = act(adatkezeles, "modositas", "Módosítás", [this] { b_editClick(); });
    torles = act(adatkezeles, "torles", "Törlés", [this] { b_deleteClick(); });
    tarolas = act(adatkezeles, "tarolas", "OK, tárolás", [this] { b_postClick(); });
    megsem = act(adatkezeles, "megsem", "Nem tároljuk mégsem", [this] { b_cancelClick(); });
    QMenu* lista = menu->addMenu(QStringLiteral("Lista"));
    kepernyore = act(lista, "kepernyore", "Teljes lista &képernyőre", [this] { showList(false); });
    Nyomtatora = act(lista, "Nyomtatora", "Teljes lista &nyomtatóra", [this] { showList(true); });
    Teljeslistatblzatba1 = act(lista, "Teljeslistatblzatba1", "Teljes lista &táblázatba", [this] {
        // The browse rows to a file the user chooses; password columns never reach them.
        vl::shell::openForm(QStringLiteral("ExportQuery"),
                            {{QStringLiteral("Rows"), QVariant::fromValue(rows_)},
                             {QStringLiteral("FileName"), table_},
                             {QStringLiteral("SheetName"), table_},
                             {QStringLiteral("Table"), table_},
                             {QStringLiteral("Title"), tableCaption_.isEmpty() ? table_ : tableCaption_}},
                            this);
    });
    sajatlista = act(lista, "sajatlista", "Saját öszeállítású lista", [this] {
        if (!table_.isEmpty()) openListBuilder(this, table_);
    });
    QMenu* beall = menu->addMenu(QStringLiteral("Beállítások"));
    csakaktiv = act(beall, "csakaktiv", "Csak az aktív tételeket látjuk", [this](bool on) { setActiveOnly(on); });
    csakaktiv->setCheckable(true);
    csakaktiv->setChecked(true);
    keresenter = act(beall, "keresenter", "Keresés Enter lenyomása után", [this](bool on) { setSearchOnEnter(on); });
    keresenter->setCheckable(true);
    Kivalaszt = act(nullptr, "Kivalaszt", "Kiválaszt", [this] { b_kivalasztClick(); });
    Vissza = act(nullptr, "Vissza", "Vissza", [this] { VisszaClick(); });

    // Button bar.
    p_buttons = new QWidget(this);
    p_buttons->setObjectName(QStringLiteral("p_buttons"));
    auto* bl = new QHBoxLayout(p_buttons);
    bl->setContentsMargins(2, 2, 2, 2);
    bl->setSpacing(2);
    auto* barLabel = new QLabel(QStringLiteral("Navigációs és törzs kezelő gombsor"), p_buttons);
    barLabel->setObjectName(QStringLiteral("Label1"));
    bl->addWidget(barLabel);
    auto mk = [this, bl](const char* name, const QString& text, const char* hint, QStyle::StandardPixmap icon, bool useIcon,
                         auto slot) {
        auto* b = new QPushButton(p_buttons);
        b->setObjectName(QString::fromLatin1(name));
        if (useIcon) b->setIcon(style()->standardIcon(icon));
        if (!text.isEmpty()) b->setText(text);
        b->setToolTip(QString::fromUtf8(hint));
        b->setFocusPolicy(Qt::TabFocus);
        bl->addWidget(b);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    b_first = mk("b_first", {}, "Első tétel", QStyle::SP_MediaSkipBackward, true, [this] { b_firstClick(); });
    b_prior = mk("b_prior", {}, "Előző tétel", QStyle::SP_MediaSeekBackward, true, [this] { b_priorClick(); });
    b_next = mk("b_next", {}, "Következő tétel", QStyle::SP_MediaSeekForward, true, [this] { b_nextClick(); });
    b_last = mk("b_last", {}, "Utolsó tétel", QStyle::SP_MediaSkipForward, true, [this] { b_lastClick(); });
    b_insert = mk("b_insert", QStringLiteral("Új"), "Új tétel", QStyle::SP_FileIcon, true, [this] { b_insertClick(); });
    b_delete = mk("b_delete", QStringLiteral("Törlés"), "Törlés", QStyle::SP_TrashIcon, true, [this] { b_deleteClick(); });
    b_edit = mk("b_edit", QStringLiteral("Módosítás"), "Módosítás", QStyle::SP_FileDialogDetailedView, true, [this] { b_editClick(); });
    b_aktuj = mk("b_aktuj", QStringLiteral("Aktuálisból újat"), "Aktuálisból újat", QStyle::SP_FileIcon, false,
                 [this] { b_aktujClick(); });
    b_post = mk("b_post", QStringLiteral("OK"), "OK", QStyle::SP_DialogApplyButton, true, [this] { b_postClick(); });
    b_cancel = mk("b_cancel", QStringLiteral("Mégsem"), "Mégsem", QStyle::SP_DialogCancelButton, true, [this] { b_cancelClick(); });
    b_kivalaszt = mk("b_kivalaszt", QStringLiteral("Kiválaszt"), "Kiválaszt", QStyle::SP_DialogOkButton, true,
                     [this] { b_kivalasztClick(); });
    for (QPushButton* b : {b_first, b_prior, b_next, b_last, b_cancel}) b->setProperty("tag", -1);
    bl->addStretch(1);
    l_state = new QLabel(p_buttons);
    l_state->setObjectName(QStringLiteral("l_state"));
    l_state->setStyleSheet(QStringLiteral("color: blue; font-weight: bold;"));
    bl->addWidget(l_state);
    root->addWidget(p_buttons);

    // Search panel.
    p_keres = new QWidget(this);
    p_keres->setObjectName(QStringLiteral("p_keres"));
    auto* kl = new QHBoxLayout(p_keres);
    kl->setContentsMargins(2, 0, 2, 0);
    kl->addWidget(new QLabel(QStringLiteral("Sorrend:"), p_keres));
    cb_sorrend = new QComboBox(p_keres);
    cb_sorrend->setObjectName(QStringLiteral("cb_sorrend"));
    cb_sorrend->setToolTip(QStringLiteral("Sorrend beállitása"));
    cb_sorrend->setMinimumWidth(180);
    kl->addWidget(cb_sorrend);
    kl->addSpacing(16);
    kl->addWidget(new QLabel(QStringLiteral("Keresni:"), p_keres));
    e_keres = new QLineEdit(p_keres);
    e_keres->setObjectName(QStringLiteral("e_keres"));
    e_keres->setToolTip(QStringLiteral("Keresés"));
    e_keres->setMinimumWidth(220);
    kl->addWidget(e_keres);
    l_enter = new QLabel(QStringLiteral("+ Enter"), p_keres);
    l_enter->setObjectName(QStringLiteral("l_enter"));
    l_enter->setVisible(false);
    kl->addWidget(l_enter);
    kl->addStretch(1);
    root->addWidget(p_keres);
    connect(cb_sorrend, &QComboBox::activated, this, [this](int i) {
        if (i >= 0 && i < core_.sortFields().size()) setSortField(core_.sortFields().at(i));
    });
    connect(e_keres, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!searchOnEnter_) searchLocate(t);
    });
    connect(e_keres, &QLineEdit::returnPressed, this, [this] { searchLocate(e_keres->text()); });

    // Status panel.
    p_topstat = new QWidget(this);
    p_topstat->setObjectName(QStringLiteral("p_topstat"));
    auto* sl = new QHBoxLayout(p_topstat);
    sl->setContentsMargins(4, 0, 4, 0);
    l_tablename = new QLabel(p_topstat);
    l_tablename->setObjectName(QStringLiteral("l_tablename"));
    l_tablename->setStyleSheet(QStringLiteral("font-weight: bold;"));
    l_tetel = new QLabel(p_topstat);
    l_tetel->setObjectName(QStringLiteral("l_tetel"));
    l_readonly = new QLabel(QStringLiteral("Csak olvasható"), p_topstat);
    l_readonly->setObjectName(QStringLiteral("l_readonly"));
    l_readonly->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    l_readonly->setVisible(false);
    sl->addWidget(l_tablename);
    sl->addSpacing(20);
    sl->addWidget(l_tetel);
    sl->addStretch(1);
    sl->addWidget(l_readonly);
    root->addWidget(p_topstat);

    // The panel above the grid.
    splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    p_sbox = new QWidget(splitter);
    p_sbox->setObjectName(QStringLiteral("p_sbox"));
    auto* pl = new QVBoxLayout(p_sbox);
    pl->setContentsMargins(0, 0, 0, 0);
    sb_data = new QScrollArea(p_sbox);
    sb_data->setObjectName(QStringLiteral("sb_data"));
    sb_data->setWidgetResizable(false);
    auto* host = new QWidget();
    host->setObjectName(QStringLiteral("sb_data_host"));
    sb_data->setWidget(host);
    pl->addWidget(sb_data);
    p_grid = new QWidget(splitter);
    p_grid->setObjectName(QStringLiteral("p_grid"));
    auto* gl = new QVBoxLayout(p_grid);
    gl->setContentsMargins(0, 0, 0, 0);
    dbg_torzs = new QTableView(p_grid);
    dbg_torzs->setObjectName(QStringLiteral("dbg_torzs"));
    dbg_torzs->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbg_torzs->setSelectionMode(QAbstractItemView::SingleSelection);
    dbg_torzs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbg_torzs->setAlternatingRowColors(true);
    dbg_torzs->verticalHeader()->setDefaultSectionSize(20);
    dbg_torzs->horizontalHeader()->setSectionsClickable(true);
    dbg_torzs->horizontalHeader()->setSortIndicatorShown(true);
    dbg_torzs->horizontalHeader()->setStretchLastSection(true);
    gl->addWidget(dbg_torzs);
    model_ = new vl::db::RowSetModel(this);
    dbg_torzs->setModel(model_);
    connect(dbg_torzs->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { rowChanged(); });
    connect(dbg_torzs, &QTableView::doubleClicked, this, [this] {
        if (b_kivalaszt->isVisible()) b_kivalasztClick();
    });
    connect(dbg_torzs->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        const auto cols = model_->gridColumns();
        if (section >= 0 && section < cols.size() && core_.sortFields().contains(cols.at(section).field))
            setSortField(cols.at(section).field);
    });
    splitter->addWidget(p_sbox);
    splitter->addWidget(p_grid);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    root->addWidget(splitter, 1);

    setSelectButtonVisible(false);
    p_buttons->setEnabled(false);
    vl::shell::FormConventions::setModeCaption(l_state, QStringLiteral("closed"));

    // Escape cancels an edit as "Mégsem" does (the typed values go); while
    // browsing, the editor closes as with "Vissza".
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setObjectName(QStringLiteral("sc_escape"));
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, [this] {
        if (mode_ == EditMode::Insert || mode_ == EditMode::Update) {
            b_cancelClick();
            dbg_torzs->setFocus(Qt::ShortcutFocusReason);
        } else {
            VisszaClick();
        }
    });
}

// ------------------------------------------------------------------ set-up

void TTorzsfm::setTableName(const QString& name) {
    const QString n = name.trimmed().toUpper();
    QString table = n, panel = n, panel2;
    const int comma = n.indexOf(QLatin1Char(','));
    const int plus = n.indexOf(QLatin1Char('+'));
    if (comma >= 0) {
        table = n.left(comma).trimmed();
        panel = n.mid(comma + 1).trimmed();
    } else if (plus >= 0) {
        table = n.left(plus).trimmed();
        panel = table;
        panel2 = n.mid(plus + 1).trimmed();
    }
    if (table != table_ || panel != panel_ || panel2 != panel2_) rebuild_ = true;
    fullName_ = n;
    table_ = table;
    panel_ = panel;
    panel2_ = panel2;
}

void TTorzsfm::setCondition(const Condition& where) {
    if (where.text.trimmed() != where_.text.trimmed() || where.params != where_.params) reopen_ = true;
    where_ = where;
}

void TTorzsfm::setDefaults(const QStringList& names, const QStringList& values) {
    defaultNames_ = names;
    defaultValues_ = values;
}

void TTorzsfm::setChoiceMode(bool on) {
    choiceMode_ = on;
    setSelectButtonVisible(on);
}

void TTorzsfm::setSelectButtonVisible(bool visible) {
    b_kivalaszt->setVisible(visible);
    Kivalaszt->setVisible(visible);
}

void TTorzsfm::setEditable(bool editable) {
    writableWanted_ = editable;
    if (mode_ != EditMode::Closed) {
        writable_ = editable && writable_;
        updateButtons();
    }
}

bool TTorzsfm::prepare() {
    mode_ = EditMode::Closed;
    chosen_ = false;
    chosenRecord_.clear();
    vl::db::Connection* conn = nullptr;
    try {
        conn = &vl::shell::dm().d_alap();
        if (rebuild_ || panelEmpty()) {
            if (!core_.open(*conn, table_, panel_, panel2_)) {
                vl::notify(vl::MsgKind::Warning, QStringLiteral("Nincs ilyen tábla:") + table_);
                return false;
            }
            buildPanel();
            rebuild_ = false;
            reopen_ = true;
        }
        if (tableCaption_.isEmpty()) {
            // A panel without a row of its own takes the caption of its table.
            TableEntry e = ReadTableEntry(*conn, fullName_.contains(QLatin1Char(',')) ? fullName_ : table_);
            if (!e.found) e = ReadTableEntry(*conn, table_);
            tableCaption_ = vl::db::TableExists(*conn, QStringLiteral("TABLAK")) ? e.caption : table_;
        }
    } catch (const DbError& e) {
        vl::notifyDbError(QStringLiteral("a(z) %1 tábla megnyitása").arg(table_), e.text());
        return false;
    }
    writable_ = writableWanted_;
    l_readonly->setVisible(!writable_);
    adatkezeles->menuAction()->setVisible(writable_);
    for (QPushButton* b : {b_insert, b_delete, b_edit, b_aktuj, b_post, b_cancel}) b->setVisible(writable_);
    placeExtraButtons();
    csakaktiv->setEnabled(core_.hasAktivColumn());
    core_.activeOnly = csakaktiv->isEnabled() && csakaktiv->isChecked();
    core_.where = where_;
    l_enter->setVisible(searchOnEnter_);
    setWindowTitle((choiceMode_ ? QStringLiteral("Választás szótárból") : QStringLiteral("Törzs karbantartás"))
                   + QStringLiteral(" * Tábla neve: ") + tableCaption_);
    l_tablename->setText(tableCaption_.isEmpty() ? table_ : tableCaption_);
    if (reopen_) {
        reread();
        reopen_ = false;
    }
    p_buttons->setEnabled(true);
    dbg_torzs->setEnabled(true);
    setMode(EditMode::Browse);
    setPanelReadOnly(true, currentRow() >= 0);
    loadPanel();
    refreshPlusFields();
    if (!searchText_.isEmpty()) {
        e_keres->setText(searchText_);
        searchLocate(searchText_);
    }
    e_keres->setFocus();
    return true;
}

// ------------------------------------------------------------------ panel

void TTorzsfm::buildPanel() {
    for (QWidget* w : panelControls_) delete w;
    panelControls_.clear();
    byName_.clear();
    infoFields_.clear();
    QWidget* host = sb_data->widget();
    const int areaW = qMax(sb_data->viewport()->width(), kMinAreaWidth);
    const int s = kS;
    auto reg = [this](QWidget* w) {
        panelControls_ << w;
        byName_.insert(w->objectName(), w);
    };
    auto makeLabel = [&](const QString& name, const QString& text) {
        auto* l = new QLabel(QStringLiteral(" ") + text, host);
        l->setObjectName(name);
        l->setAutoFillBackground(true);
        QPalette p = l->palette();
        p.setColor(QPalette::Window, QApplication::palette().color(QPalette::ToolTipBase));
        p.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::ToolTipText));
        l->setPalette(p);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        reg(l);
        return l;
    };
    auto setupEdit = [&](QLineEdit* e, const PanelField& f) {
        if (f.col.typeWord == QStringLiteral("INTEGER") || f.col.typeWord == QStringLiteral("SMALLINT")
            || f.col.typeWord == QStringLiteral("FLOAT")) {
            // A separator typed into a whole-number field is kept, so that saving
            // refuses the fraction instead of storing ten times the number; blanks
            // (the no-break ones of a grouped number too) group the digits.
            e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-+0-9 \\x{00A0}\\x{202F}.,]*")), e));
            e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        if (f.password) e->setEchoMode(QLineEdit::Password);
        vl::shell::FormConventions::watch(e);
        e->installEventFilter(this);
        if (f.required) vl::shell::FormConventions::setRequired(e, true);
    };
    auto makeMemo = [&](const PanelField& f) {
        auto* m = new QPlainTextEdit(host);
        m->setObjectName(QStringLiteral("E_") + f.name);
        m->setProperty("changed", 0);
        m->setTabChangesFocus(true);
        connect(m, &QPlainTextEdit::textChanged, m, [m] { m->setProperty("changed", 1); });
        if (f.required) vl::shell::FormConventions::setRequired(m, true);
        reg(m);
        return m;
    };
    int r = 0;
    if (core_.usesFallbackPanel()) {
        for (const PanelField& f : core_.fields()) {
            if (!f.onPanel) continue;
            const int labelW = s * 40 - 80;
            auto* l = makeLabel(QStringLiteral("L_") + f.name, f.name);
            l->setGeometry(2, 22 * r + 4, labelW, 16);
            const int x = 2 + s + labelW;
            if (!f.memo) {
                auto* e = new QLineEdit(host);
                e->setObjectName(QStringLiteral("E_") + f.name);
                const int len = f.col.editLength > 0 ? f.col.editLength : 8;
                const int left = x + 38;
                int width = s * (len + 1) + 6;
                if (left + width > areaW - 21) width = areaW - left - 21;
                e->setGeometry(left, 22 * r + 1, width, 20);
                setupEdit(e, f);
                reg(e);
            } else {
                auto* m = makeMemo(f);
                const int left = x + 38;
                m->setGeometry(left, 22 * r + 1, areaW - left - 40, 60);
                r += 2;
            }
            ++r;
        }
    } else {
        const PanelRows& pr = core_.panelRows();
        const int w = pr.megnevezesLength;
        int infoCount = 0;
        for (const VezerloRow& row : pr.rows) {
            const QString suffix = row.mezo.isEmpty() ? QString::number(row.sorrend) : row.mezo;
            const PanelField* f = row.mezo.isEmpty() ? nullptr : core_.field(row.mezo);
            if (!row.mezo.isEmpty() && (!f || !f->onPanel)) continue; // a column this table does not have
            const int y = 21 * r;
            int x = 2;
            ++r;
            const bool rowWritable = row.irhatjaJog.isEmpty() || RightsAllow(vl::shell::dm().session(), row.irhatjaJog);
            if (!row.megnevezes.isEmpty()) {
                auto* l = makeLabel(QStringLiteral("L_") + suffix, row.megnevezes);
                l->setGeometry(x, y + 3, w * (s - 2), 20);
                if (row.valid == 6) l->setProperty("hint", row.valtMezo);
            }
            x += w * 6 + 6;
            const int bx = x - 2;
            if (f && !f->memo) {
                auto* e = new QLineEdit(host);
                e->setObjectName(QStringLiteral("E_") + f->name);
                if (!row.ecolor.isEmpty()) {
                    QPalette p = e->palette();
                    p.setColor(QPalette::Text, QColor::fromRgb(vl::util::ColorFromName(row.ecolor)));
                    e->setPalette(p);
                }
                e->setProperty("editMask", row.editmask);
                e->setEnabled(rowWritable);
                e->setProperty("rowWritable", rowWritable);
                if (row.charcase == QStringLiteral("K") || row.charcase == QStringLiteral("L") ||
                    row.charcase == QStringLiteral("N") || row.charcase == QStringLiteral("U")) {
                    const bool upper = row.charcase == QStringLiteral("N") || row.charcase == QStringLiteral("U");
                    connect(e, &QLineEdit::textEdited, e, [e, upper](const QString& t) {
                        const QString c = upper ? vl::util::UpperHu(t) : vl::util::LowerHu(t);
                        if (c != t) {
                            const int pos = e->cursorPosition();
                            e->setText(c);
                            e->setCursorPosition(pos);
                        }
                    });
                }
                setupEdit(e, *f); // a password field (EditorCore::isPassword) echoes no characters
                if (f->hidden) {
                    e->setGeometry(0, 0, 10, 10);
                    e->setVisible(false);
                    e->setFocusPolicy(Qt::NoFocus);
                } else {
                    // At least two characters wide; a password (a long hash column) as twenty.
                    int len = f->col.editLength > 0 ? qMax(2, f->col.editLength) : 8;
                    if (f->password) len = qMin(len, 20);
                    const int left = x + 38;
                    int width = s + (s + 3) * len;
                    if (left + width + s > areaW - 21) width = areaW - left - 21;
                    e->setGeometry(left, y, width, 20);
                    x = s + left + width;
                }
                e->setProperty("valid", row.valid);
                e->setProperty("szot", row.button.compare(QStringLiteral("SZOT"), Qt::CaseInsensitive) == 0);
                reg(e);
            } else if (f && f->memo) {
                auto* m = makeMemo(*f);
                const int left = x + 38;
                m->setGeometry(left, y, areaW - left - 30, 60);
                m->setEnabled(rowWritable);
                m->setProperty("rowWritable", rowWritable);
                r += 2;
            }
            if (row.mezo.isEmpty()) x += 38;
            if (!row.button.isEmpty()) {
                auto* b = new TParaButton(host);
                b->setObjectName(QStringLiteral("B_") + suffix);
                b->kind = row.button.toUpper();
                b->rights = row.irhatjaJog;
                const bool isValt = b->kind == QStringLiteral("VALT");
                b->param1 = row.mezo.isEmpty() ? row.button + QStringLiteral("_") + QString::number(row.sorrend) : row.mezo;
                b->param2 = isValt ? row.valt : row.szot;
                b->param3 = row.funkcio;
                b->param4 = core_.panelRows().hasPvezerlo ? row.pvezerlo : QString();
                b->param5 = row.szotwhere;
                b->param6 = isValt ? row.valtMezo : (row.szotmezo.isEmpty() ? QStringLiteral("KOD") : row.szotmezo);
                b->param7 = row.plusfield[0];
                b->setGeometry(bx, y + 1, 38, 20);
                b->setEnabled(rowWritable);
                b->setProperty("rowWritable", rowWritable);
                QFont bf = b->font();
                const QString k = b->kind;
                if (k == QStringLiteral("SZOT")) {
                    b->setText(QStringLiteral("?"));
                    bf.setBold(true);
                    b->setToolTip(QStringLiteral("Választás szótárból"));
                } else if (isValt) {
                    b->setText(QStringLiteral("+"));
                    bf.setBold(true);
                    b->setToolTip(QStringLiteral("További információk"));
                } else if (k == QStringLiteral("PIX")) {
                    b->setText(QStringLiteral("Kép"));
                    b->setToolTip(QStringLiteral("Kép megjelenítése"));
                } else if (k == QStringLiteral("TEXT")) {
                    b->setText(QStringLiteral("Text"));
                    b->setToolTip(QStringLiteral("Szövegfájl szerkesztése"));
                } else if (k == QStringLiteral("DATE")) {
                    b->setText(QStringLiteral("Nap"));
                } else if (k == QStringLiteral("KPN")) {
                    b->setText(QStringLiteral("Név?"));
                } else if (k == QStringLiteral("FORM")) {
                    if (row.funkcio == 52) {
                        b->setText(QStringLiteral("Ügyfél"));
                        b->setToolTip(QStringLiteral("Ügyfél kiválasztása"));
                    } else {
                        b->setText(QStringLiteral("Karton"));
                        b->setToolTip(QStringLiteral("Forgalmi karton"));
                    }
                } else if (row.funkcio == 2 || k == QStringLiteral("MEMO")) {
                    b->setText(QStringLiteral("Memo"));
                    b->setVisible(false);
                } else {
                    b->setText(row.button);
                    b->setToolTip(QStringLiteral("Megadható értékek: ") + row.button);
                }
                b->setFont(bf);
                // A longer caption widens a button that has no edit beside it.
                if (row.mezo.isEmpty()) b->resize(qMax(38, b->sizeHint().width()), 20);
                connect(b, &QPushButton::clicked, this, [this, b] { paraButtonClick(b); });
                reg(b);
            } else if (!row.mezo.isEmpty()) {
                x += 8;
            }
            for (int i = 0; i < 3; ++i) {
                if (row.plusfield[i].isEmpty()) continue;
                auto* l = new QLabel(host);
                l->setObjectName(QStringLiteral("PF%1_").arg(i + 1) + suffix);
                l->setProperty("expr", row.plusfield[i]);
                l->setToolTip(row.plusfield[i]);
                QFont lf = l->font();
                lf.setBold(true);
                l->setFont(lf);
                QPalette p = l->palette();
                p.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::Highlight));
                l->setPalette(p);
                int width = row.plusfieldH[i];
                if (i < 2 && width < 1) width = 8;
                l->setGeometry(x, y + 3, qMax(1, s * width), 16);
                if (i < 2) x += s * (width + 2);
                infoFields_ << l;
                ++infoCount;
                reg(l);
            }
        }
        Q_UNUSED(infoCount);
    }
    panelRowsUsed_ = r;
    int maxBottom = 0;
    for (QWidget* w : panelControls_) maxBottom = qMax(maxBottom, w->geometry().bottom());
    host->resize(areaW, maxBottom + 8);
    for (QWidget* w : panelControls_) w->show();
    for (const PanelField& f : core_.fields())
        if (f.hidden)
            if (QWidget* w = fieldControl(f.name)) w->hide();

    // Sort list and grid columns.
    cb_sorrend->clear();
    cb_sorrend->addItems(core_.sortTitles());
    cb_sorrend->setCurrentIndex(core_.sortFields().isEmpty() ? -1 : 0);
    const int panelH = qMin(panelHeightHint(), 330);
    splitter->setSizes({panelH, qMax(200, height() - panelH)});
}

int TTorzsfm::panelHeightHint() const {
    return qMin(panelRowsUsed_ * 22 + 8, sb_data->widget()->height() + 4) + 4;
}

void TTorzsfm::resetGrid() {
    // The grid shows its cells as every grid does (db/DisplayText.h), a float
    // by its field's mask; the browse rows hold no password column.
    QList<vl::db::RowSetModel::GridColumn> cols;
    for (const PanelField& f : core_.fields()) {
        if (f.gridTitle.isEmpty() || f.password) continue;
        cols << vl::db::RowSetModel::GridColumn{f.name, f.gridTitle, f.editMask};
    }
    model_->setRowSet(rows_, cols);
    for (int c = 0; c < cols.size(); ++c) {
        const PanelField* f = core_.field(cols.at(c).field);
        const int chars = f ? qBound(4, qMax(f->col.editLength, int(cols.at(c).title.size())), 40) : 10;
        dbg_torzs->setColumnWidth(c, chars * 8 + 12);
        if (cols.at(c).field == core_.sortField)
            dbg_torzs->horizontalHeader()->setSortIndicator(c, Qt::AscendingOrder);
    }
}

QWidget* TTorzsfm::fieldControl(const QString& field) const {
    return byName_.value(QStringLiteral("E_") + field.trimmed().toUpper());
}

QLineEdit* TTorzsfm::fieldEdit(const QString& field) const { return qobject_cast<QLineEdit*>(fieldControl(field)); }

TParaButton* TTorzsfm::fieldButton(const QString& name) const {
    return qobject_cast<TParaButton*>(byName_.value(QStringLiteral("B_") + name.trimmed().toUpper()));
}

QLabel* TTorzsfm::infoField(int n, const QString& name) const {
    return qobject_cast<QLabel*>(byName_.value(QStringLiteral("PF%1_").arg(n) + name.trimmed().toUpper()));
}

QString TTorzsfm::fieldText(const QString& field) const {
    QWidget* w = fieldControl(field);
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* m = qobject_cast<QPlainTextEdit*>(w)) return m->toPlainText();
    return QString();
}

void TTorzsfm::setFieldText(const QString& field, const QString& text) {
    QWidget* w = fieldControl(field);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
    else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) m->setPlainText(text);
}

QHash<QString, QString> TTorzsfm::panelTexts() const {
    QHash<QString, QString> t;
    for (const PanelField& f : core_.fields()) {
        if (!f.onPanel) continue;
        QWidget* w = fieldControl(f.name);
        if (auto* e = qobject_cast<QLineEdit*>(w)) t.insert(f.name, e->text());
        else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) t.insert(f.name, m->toPlainText());
    }
    return t;
}

void TTorzsfm::loadPanel() {
    const int row = currentRow();
    const QHash<QString, QString> texts = core_.rowTexts(rows_, row);
    for (const PanelField& f : core_.fields()) {
        if (!f.onPanel) continue;
        QWidget* w = fieldControl(f.name);
        const QString t = f.password ? QString() : texts.value(f.name);
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            e->setText(t);
            e->setCursorPosition(0);
        } else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) {
            m->setPlainText(t);
            m->setProperty("changed", 0);
        }
    }
}

void TTorzsfm::clearPanel() {
    for (QWidget* w : panelControls_) {
        if (auto* e = qobject_cast<QLineEdit*>(w)) e->clear();
        else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) m->clear();
    }
    for (QLabel* l : infoFields_) l->clear();
}

void TTorzsfm::setPanelReadOnly(bool readOnly, bool rowExists) {
    if (!writable_) readOnly = true;
    for (QWidget* w : panelControls_) {
        if (auto* e = qobject_cast<QLineEdit*>(w)) e->setReadOnly(readOnly);
        else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) m->setReadOnly(readOnly);
        else if (auto* b = qobject_cast<TParaButton*>(w)) {
            const bool rights = b->property("rowWritable").toBool();
            const QString c = b->text();
            bool on;
            if (c == QStringLiteral("?") || c == QStringLiteral("+") || c == QStringLiteral("Text") || c == QStringLiteral("Karton"))
                on = true;
            else if (b->param3 == 1)
                on = rowExists && mode_ != EditMode::Insert;
            else
                on = !readOnly;
            b->setEnabled(on && rights);
        }
    }
}

void TTorzsfm::refreshPlusFields() {
    for (QLabel* l : infoFields_) l->clear();
    const int row = currentRow();
    if (row < 0 || infoFields_.isEmpty()) return;
    try {
        vl::db::Connection& conn = vl::shell::dm().d_alap();
        for (QLabel* l : infoFields_) {
            const InfoExpression e = ParseInfoExpression(l->property("expr").toString());
            l->setText(EvaluateInfo(conn, e, [this, row](const QString& f) -> QVariant {
                const int c = rows_.indexOf(f);
                if (c >= 0) return rows_.at(row, c);
                return fieldText(f);
            }));
        }
    } catch (const DbError& e) {
        vl::notifyDbError(QStringLiteral("a kiegészítő adatok olvasása"), e.text());
    }
}

void TTorzsfm::refreshPlusField(TParaButton* b) {
    if (!b) return;
    QLabel* l = infoField(1, b->param1);
    if (!l) return;
    try {
        const InfoExpression e = ParseInfoExpression(l->property("expr").toString());
        l->setText(EvaluateInfo(vl::shell::dm().d_alap(), e, [this](const QString& f) -> QVariant {
            const QString t = fieldText(f);
            if (!t.isNull()) return t;
            const int c = rows_.indexOf(f);
            return (c >= 0 && currentRow() >= 0) ? rows_.at(currentRow(), c) : QVariant();
        }));
    } catch (const DbError& e) {
        vl::notifyDbError(QStringLiteral("a kiegészítő adatok olvasása"), e.text());
    }
}

// ------------------------------------------------------------------ rows

int TTorzsfm::currentRow() const {
    const QModelIndex i = dbg_torzs->currentIndex();
    return (i.isValid() && i.row() < rows_.rowCount()) ? i.row() : -1;
}

void TTorzsfm::setCurrentRow(int row) {
    if (row < 0 || row >= rows_.rowCount()) return;
    const int col = qMax(0, dbg_torzs->currentIndex().column());
    dbg_torzs->setCurrentIndex(model_->index(row, qMin(col, qMax(0, model_->columnCount() - 1))));
    dbg_torzs->scrollTo(dbg_torzs->currentIndex());
}

void TTorzsfm::rowChanged() {
    if (mode_ == EditMode::Insert || mode_ == EditMode::Update) return;
    loadPanel();
    refreshPlusFields();
    updateButtons();
}

void TTorzsfm::reread(const QVariantList& locateKey) {
    QVariantList key = locateKey;
    const int before = currentRow();
    if (key.isEmpty() && before >= 0) key = core_.keyOf(rows_, before);
    try {
        core_.activeOnly = csakaktiv->isEnabled() && csakaktiv->isChecked();
        core_.where = where_;
        vl::db::RowSet fresh = core_.browse(vl::shell::dm().d_alap());
        rows_ = fresh;
    } catch (const DbError& e) {
        vl::notifyDbError(QStringLiteral("a(z) %1 tábla sorainak olvasása").arg(table_), e.text());
        rows_ = vl::db::RowSet();
    }
    const EditMode keep = mode_;
    mode_ = EditMode::Browse;
    resetGrid();
    l_tetel->setText(QString::number(rows_.rowCount()) + QStringLiteral(" tétel"));
    if (rows_.rowCount() == 0) {
        clearPanel();
    } else {
        int idx = core_.locate(rows_, key);
        setCurrentRow(idx >= 0 ? idx : 0);
        loadPanel();
        refreshPlusFields();
    }
    mode_ = keep;
    updateButtons();
}

void TTorzsfm::frissit() {
    if (!navigationAllowed()) return;
    reread();
}

// ------------------------------------------------------------------ modes

void TTorzsfm::setMode(EditMode m) {
    mode_ = m;
    vl::shell::FormConventions::setModeCaption(l_state, EditModeName(m));
    updateButtons();
}

void TTorzsfm::placeExtraButtons() {
    if (extraTable_ != table_) {
        qDeleteAll(extraButtons);
        extraButtons.clear();
        extraTable_ = table_;
        // On the right of the row above the panel: the button bar has no
        // room left on a 1280 pixel wide screen.
        auto* bl = qobject_cast<QHBoxLayout*>(p_topstat->layout());
        int at = bl->indexOf(l_readonly);
        for (const EditorButton& e : EditorButtonsOf(table_)) {
            auto* b = new QPushButton(e.text, p_topstat);
            b->setObjectName(e.objectName);
            b->setToolTip(e.toolTip);
            b->setFocusPolicy(Qt::TabFocus);
            bl->insertWidget(at++, b);
            const auto clicked = e.clicked;
            connect(b, &QPushButton::clicked, this, [this, clicked] {
                if (clicked && mode_ == EditMode::Browse && currentRow() >= 0) clicked(*this);
            });
            extraButtons.append(b);
        }
    }
    // Who may see a button is asked anew at every opening (another login).
    const QList<EditorButton> defs = EditorButtonsOf(table_);
    for (QPushButton* b : extraButtons) {
        bool shown = !choiceMode_;
        for (const EditorButton& e : defs)
            if (e.objectName == b->objectName() && e.shown && shown) shown = e.shown();
        b->setVisible(shown);
    }
}

void TTorzsfm::updateButtons() {
    const bool browse = mode_ == EditMode::Browse;
    const bool editing = mode_ == EditMode::Insert || mode_ == EditMode::Update;
    const bool hasRow = currentRow() >= 0;
    for (QPushButton* b : extraButtons) b->setEnabled(browse && hasRow);
    b_insert->setEnabled(writable_ && browse);
    ujtetel->setEnabled(b_insert->isEnabled());
    b_aktuj->setEnabled(writable_ && browse && hasRow);
    aktualisbolujat->setEnabled(b_aktuj->isEnabled());
    b_edit->setEnabled(writable_ && browse && hasRow);
    modositas->setEnabled(b_edit->isEnabled());
    b_delete->setEnabled(writable_ && browse && hasRow);
    torles->setEnabled(b_delete->isEnabled());
    b_post->setEnabled(writable_ && editing);
    tarolas->setEnabled(b_post->isEnabled());
    b_cancel->setEnabled(writable_ && editing);
    megsem->setEnabled(b_cancel->isEnabled());
    dbg_torzs->setEnabled(!editing);
    e_keres->setEnabled(!editing);
    cb_sorrend->setEnabled(!editing);
}

bool TTorzsfm::isModified() const {
    if (mode_ == EditMode::Insert) return true;
    if (mode_ != EditMode::Update) return false;
    for (QWidget* w : panelControls_)
        if (qobject_cast<QPlainTextEdit*>(w) && w->property("changed").toInt() == 1) return true;
    return core_.isModified(panelTexts(), rows_, currentRow());
}

bool TTorzsfm::navigationAllowed() {
    if (mode_ != EditMode::Insert && mode_ != EditMode::Update) return true;
    if (isModified()) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Adatbevitel közben van. Tárolja le, vagy dobja el!"));
        return false;
    }
    b_cancelClick();
    return true;
}

void TTorzsfm::b_firstClick() {
    if (navigationAllowed() && rows_.rowCount() > 0) setCurrentRow(0);
}
void TTorzsfm::b_priorClick() {
    if (navigationAllowed() && currentRow() > 0) setCurrentRow(currentRow() - 1);
}
void TTorzsfm::b_nextClick() {
    if (navigationAllowed() && currentRow() + 1 < rows_.rowCount()) setCurrentRow(currentRow() + 1);
}
void TTorzsfm::b_lastClick() {
    if (navigationAllowed() && rows_.rowCount() > 0) setCurrentRow(rows_.rowCount() - 1);
}

void TTorzsfm::focusField(const QString& field) {
    QWidget* w = field.isEmpty() ? nullptr : fieldControl(field);
    if (!w || !w->isEnabled() || !w->isVisible()) {
        for (QWidget* c : panelControls_)
            if ((qobject_cast<QLineEdit*>(c) || qobject_cast<QPlainTextEdit*>(c)) && c->isEnabled() && c->isVisible()) {
                w = c;
                break;
            }
    }
    if (w) w->setFocus();
}

void TTorzsfm::applyDefaults(bool fromCaller) {
    try {
        if (vl::shell::dm().HasDefaultsTable) {
            if (difolcTable_ != table_) {
                difolcRows_ = ReadDifolc(vl::shell::dm().d_alap(), table_);
                difolcTable_ = table_;
            }
            const FieldTextFn ft = [this](const QString& f) { return fieldText(f); };
            for (const DifolcRow& d : difolcRows_)
                if (fieldControl(d.mezo)) setFieldText(d.mezo, EvaluateDefault(vl::shell::dm().session(), d.ertek, ft, true));
        }
    } catch (const DbError& e) {
        vl::notifyDbError(QStringLiteral("az alapértékek olvasása"), e.text());
    }
    if (fromCaller)
        for (int i = 0; i < defaultNames_.size() && i < defaultValues_.size(); ++i)
            if (fieldControl(defaultNames_.at(i))) setFieldText(defaultNames_.at(i), defaultValues_.at(i));
}

void TTorzsfm::b_insertClick() {
    if (mode_ != EditMode::Browse || !writable_) return;
    setMode(EditMode::Insert);
    setPanelReadOnly(false, false);
    clearPanel();
    applyDefaults(true);
    focusField(QString());
}

void TTorzsfm::b_aktujClick() {
    if (mode_ != EditMode::Browse || !writable_ || currentRow() < 0) return;
    setMode(EditMode::Insert);
    setPanelReadOnly(false, false);
    applyDefaults(false);
    focusField(QString());
}

void TTorzsfm::b_editClick() {
    if (mode_ != EditMode::Browse || !writable_ || currentRow() < 0) return;
    setMode(EditMode::Update);
    setPanelReadOnly(false, true);
    for (QWidget* w : panelControls_)
        if (qobject_cast<QPlainTextEdit*>(w)) w->setProperty("changed", 0);
    focusField(QString());
}

bool TTorzsfm::b_postClick() {
    if (mode_ != EditMode::Insert && mode_ != EditMode::Update) return false;
    SaveResult res;
    try {
        res = core_.save(vl::shell::dm().d_alap(), nullptr, vl::shell::dm().session(), mode_, panelTexts(), &rows_, currentRow());
    } catch (const DbError& e) {
        res.status = SaveResult::Failed;
        res.message = texts::storeFailed(e.text());
        res.serverText = e.text();
    }
    switch (res.status) {
    case SaveResult::Invalid:
    case SaveResult::Failed:
        if (res.status == SaveResult::Failed && !res.serverText.isEmpty())
            vl::notifyDbError(QStringLiteral("a tétel tárolása, az adatbázis nem változott"), res.serverText);
        else
            vl::notify(res.status == SaveResult::Invalid ? vl::MsgKind::Warning : vl::MsgKind::Error, res.message);
        focusField(res.focusField);
        return false;
    case SaveResult::Conflict:
        if (vl::ask(res.message) == 0) {
            setMode(EditMode::Insert);
            vl::notify(vl::MsgKind::Info, QStringLiteral("Nyomja meg újból a tárolás gombot"));
            return false;
        }
        setMode(EditMode::Browse);
        reread();
        setPanelReadOnly(true, currentRow() >= 0);
        dbg_torzs->setFocus();
        return false;
    case SaveResult::Saved:
        break;
    }
    setMode(EditMode::Browse);
    reread(res.key);
    setPanelReadOnly(true, currentRow() >= 0);
    dbg_torzs->setFocus();
    if (choiceMode_ && !inSave_) chooseCurrent();
    return true;
}

void TTorzsfm::b_cancelClick() {
    if (mode_ != EditMode::Insert && mode_ != EditMode::Update) return;
    setMode(EditMode::Browse);
    setPanelReadOnly(true, currentRow() >= 0);
    loadPanel();
    refreshPlusFields();
}

void TTorzsfm::b_deleteClick() {
    if (mode_ != EditMode::Browse || !writable_ || currentRow() < 0) return;
    if (!core_.hasPrimaryKey()) {
        vl::notify(vl::MsgKind::Warning, texts::noPrimaryKey());
        return;
    }
    // Enter answers "Nem": a row is deleted only on purpose.
    if (vl::askDefaultNo(QStringLiteral("Biztos, hogy törölni akarja ?")) != 0) return;
    SaveResult res = core_.remove(vl::shell::dm().d_alap(), nullptr, vl::shell::dm().session(), rows_, currentRow());
    if (res.status != SaveResult::Saved) {
        if (res.status == SaveResult::Failed && !res.serverText.isEmpty())
            vl::notifyDbError(QStringLiteral("a tétel törlése, az adatbázis nem változott"), res.serverText);
        else
            vl::notify(res.status == SaveResult::Invalid ? vl::MsgKind::Warning : vl::MsgKind::Error, res.message);
        return;
    }
    reread({QVariant(QStringLiteral("\x01"))});
    if (rows_.rowCount() > 0) setCurrentRow(0);
    setPanelReadOnly(true, currentRow() >= 0);
}

// ------------------------------------------------------------------ choosing and closing

void TTorzsfm::chooseCurrent() {
    const int row = currentRow();
    if (row < 0) return;
    ASelectedRecord rec;
    try {
        rec = core_.readChosenRecord(vl::shell::dm().d_alap(), core_.keyOf(rows_, row));
        if (rec.isEmpty()) return;
    } catch (const DbError& e) {
        vl::notifyDbError(QStringLiteral("a kiválasztott tétel olvasása"), e.text());
        return;
    }
    chosenRecord_ = rec;
    chosen_ = true;
    close();
}

void TTorzsfm::b_kivalasztClick() {
    if (!b_kivalaszt->isVisible()) return;
    if (mode_ == EditMode::Insert || mode_ == EditMode::Update) {
        b_postClick(); // in choice mode a successful save chooses the saved row
        return;
    }
    chooseCurrent();
}

void TTorzsfm::VisszaClick() {
    chosen_ = false;
    chosenRecord_.clear();
    close();
}

void TTorzsfm::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    e_keres->setFocus();
}

void TTorzsfm::closeEvent(QCloseEvent* e) {
    if (mode_ == EditMode::Insert || mode_ == EditMode::Update) {
        if (isModified()) {
            const int a = vl::ask(QStringLiteral("Adatbevitel közben van. Biztosan bezárja az ablakot?"), vl::MsgKind::Question,
                                  {QStringLiteral("Nem"), QStringLiteral("Igen, mentéssel"), QStringLiteral("Igen, mentés nélkül")});
            if (a == 1) {
                inSave_ = true;
                const bool ok = b_postClick();
                inSave_ = false;
                if (!ok) {
                    e->ignore();
                    return;
                }
            } else if (a == 2) {
                b_cancelClick();
            } else {
                e->ignore();
                return;
            }
        } else {
            b_cancelClick();
        }
    }
    reopen_ = false;
    emit editorClosed();
    QWidget::closeEvent(e);
}

// ------------------------------------------------------------------ sorting, searching, filtering

void TTorzsfm::setSortField(const QString& field) {
    if (!core_.sortFields().contains(field)) return;
    core_.sortField = field;
    cb_sorrend->setCurrentIndex(int(core_.sortFields().indexOf(field)));
    reread();
    e_keres->setFocus();
}

void TTorzsfm::searchLocate(const QString& text) {
    if (mode_ != EditMode::Browse || rows_.rowCount() == 0) return;
    const QString t = vl::util::TrimText(text);
    if (t.isEmpty()) {
        setCurrentRow(0);
        return;
    }
    const QString field = core_.sortField.isEmpty() ? core_.keyColumns().value(0) : core_.sortField;
    const int c = rows_.indexOf(field);
    const PanelField* f = core_.field(field);
    if (c < 0 || !f) return;
    for (int len = t.size(); len >= 1; --len) {
        const QString prefix = UpperHu(t.left(len));
        for (int r = 0; r < rows_.rowCount(); ++r) {
            if (UpperHu(DisplayText(*f, rows_.at(r, c))).startsWith(prefix)) {
                setCurrentRow(r);
                return;
            }
        }
    }
}

void TTorzsfm::setActiveOnly(bool on) {
    if (csakaktiv->isChecked() != on) csakaktiv->setChecked(on);
    if (mode_ == EditMode::Closed) return;
    reread();
}

void TTorzsfm::setSearchOnEnter(bool on) {
    searchOnEnter_ = on;
    if (keresenter->isChecked() != on) keresenter->setChecked(on);
    l_enter->setVisible(on);
}

// ------------------------------------------------------------------ lists

void TTorzsfm::notReady(const QString& caption) {
    vl::notify(vl::MsgKind::Info, vl::shell::NotReadyText(stripAmp(caption)));
}

void TTorzsfm::showList(bool print) {
    // The browse rows as they are shown; password columns never reach them.
    if (rows_.rowCount() == 0) {
        vl::notify(vl::MsgKind::Info, QStringLiteral("Nincs mit nyomtatni."));
        return;
    }
    try {
        const QString title = tableCaption_.isEmpty() ? table_ : tableCaption_;
        vl::shell::openForm(QStringLiteral("Tqr_szotar"),
                            {{QStringLiteral("table"), table_},
                             {QStringLiteral("title"), title},
                             {QStringLiteral("rows"), QVariant::fromValue(rows_)},
                             {QStringLiteral("print"), print},
                             {QStringLiteral("askPrinter"), true}},
                            this);
    } catch (const DbError& e) {
        vl::notifyDbError(QStringLiteral("a lista összeállítása"), e.text());
    }
}

// ------------------------------------------------------------------ exit checks, buttons, choosing

bool TTorzsfm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        auto* e = qobject_cast<QLineEdit*>(watched);
        auto* fe = static_cast<QFocusEvent*>(event);
        if (e && byName_.value(e->objectName()) == e && fe->reason() != Qt::ActiveWindowFocusReason
            && fe->reason() != Qt::PopupFocusReason && !e->isReadOnly()) {
            QPointer<QLineEdit> edit(e);
            QPointer<QWidget> target(QApplication::focusWidget());
            QTimer::singleShot(0, this, [this, edit, target] {
                if (!edit || edit->isReadOnly() || !isVisible()) return;
                if (edit->property("valid").toInt() != 0) validateField(edit, target);
                else if (edit->property("szot").toBool()) dictionaryAutoLookup(edit, target);
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TTorzsfm::validateField(QLineEdit* e, QWidget* target) {
    if (!e) return true;
    const int code = e->property("valid").toInt();
    if (code == 0 || e->isReadOnly()) return true;
    const QString field = e->objectName().mid(2);
    if (target && target == fieldButton(field)) return true;
    if (target == b_cancel) return true; // leaving the entry does not check it
    const FieldCheck c = CheckFieldText(code, e->text());
    auto focusBack = [e, code] {
        const bool needEnabled = code == 1 || code == 4 || code == 5 || code == 6;
        if (!needEnabled || e->isEnabled()) e->setFocus();
    };
    if (!c.ok) {
        vl::notify(vl::MsgKind::Warning, c.message);
        focusBack();
        return false;
    }
    if (c.text != e->text()) e->setText(c.text);
    if (code == 5) {
        if (auto* t = qobject_cast<QLineEdit*>(target); t && t != e && !t->isReadOnly()) t->setText(GrossAmountText(e->text()));
    } else if (code == 6) {
        auto* l = qobject_cast<QLabel*>(byName_.value(QStringLiteral("L_") + field));
        const QString other = l ? l->property("hint").toString() : QString();
        QLineEdit* g = other.isEmpty() ? nullptr : fieldEdit(other);
        auto* t = qobject_cast<QLineEdit*>(target);
        const NumberEntry factor = g ? ReadNumberEntry(g->text()) : NumberEntry();
        if (g && t && t != e && !t->isReadOnly() && factor.ok)
            t->setText(vl::util::FloatToText(ReadNumberEntry(e->text()).value * factor.value));
    } else if (code == 101) {
        QLineEdit* birth = fieldEdit(QStringLiteral("SZULDAT"));
        if (birth && TaxAndBirthDateConflict(e->text(), birth->text())) {
            if (vl::ask(TaxBirthDateQuestion(e->text(), birth->text(), true)) == 0) birth->setFocus();
            else e->setFocus();
        }
    } else if (code == 103) {
        QLineEdit* tax = fieldEdit(QStringLiteral("ADOSZAM"));
        if (tax && !tax->text().trimmed().isEmpty() && TaxAndBirthDateConflict(tax->text(), e->text())) {
            if (vl::ask(TaxBirthDateQuestion(tax->text(), e->text(), false)) == 0) tax->setFocus();
            else e->setFocus();
        }
    }
    return true;
}

void TTorzsfm::dictionaryAutoLookup(QLineEdit* e, QWidget* target) {
    if (!e || e->isReadOnly()) return;
    const QString field = e->objectName().mid(2);
    TParaButton* b = fieldButton(field);
    if (!target) return;
    if (target == b) return; // its own button opens the dictionary itself
    auto* pb = qobject_cast<QPushButton*>(target);
    if (!qobject_cast<QLineEdit*>(target) && !(pb && pb->property("tag").toInt() != -1)) return;
    if (!vl::shell::FormConventions::isRequired(e) && e->text().isEmpty()) return;
    if (!b || b->param2.isEmpty() || b->param6.isEmpty()) return;
    try {
        ASelectedRecord rec;
        if (vl::shell::LookupCheck(vl::shell::dm().d_alap(), e->text(), b->param2, b->param6, false, rec)) {
            applySelection(b, rec);
            refreshPlusField(b);
        } else {
            chooseFromDictionary(b);
        }
    } catch (const DbError& err) {
        vl::notifyDbError(QStringLiteral("a szótár ellenőrzése"), err.text());
    }
}

void TTorzsfm::paraButtonClick(TParaButton* b) {
    if (!b) return;
    const QString k = b->kind;
    QLineEdit* e = fieldEdit(b->param1);
    if (k == QStringLiteral("SZOT")) {
        chooseFromDictionary(b);
    } else if (k == QStringLiteral("VALT")) {
        if (mode_ == EditMode::Insert) {
            vl::notify(vl::MsgKind::Info, QStringLiteral("Előbb fejezze be az új felvitelt."));
            return;
        }
        chooseFromDictionary(b);
    } else if (k == QStringLiteral("DATE")) {
        if (!e || e->isReadOnly()) return;
        const QString d = vl::shell::PickDate(e->text());
        if (vl::shell::DateChosen()) e->setText(d);
        if (e->isEnabled() && e->isVisible()) e->setFocus();
    } else if (k == QStringLiteral("TEXT")) {
        // The field's edit holds the path of the text file; without an edit
        // the button has nothing to open.
        if (!e) return;
        vl::shell::openForm(QStringLiteral("TTextEditfm"), {{QStringLiteral("FileName"), e->text()}}, this);
    } else if (k == QStringLiteral("PIX") || k == QStringLiteral("KPN") || k == QStringLiteral("FORM")) {
        notReady(b->toolTip().isEmpty() ? b->text() : b->toolTip());
    } else if (b->param3 == 2 || k == QStringLiteral("MEMO")) {
        return;
    } else {
        if (!e || e->isReadOnly()) return;
        e->setText(vl::util::NextInCycle(e->text().trimmed(), b->text()));
    }
}

void TTorzsfm::chooseFromDictionary(TParaButton* b) {
    if (!b || b->param2.isEmpty()) return;
    const FieldTextFn ft = [this](const QString& f) { return fieldText(f); };
    const Condition w = DictionaryCondition(b->param5, ft);
    const QString search = fieldText(b->param1);
    const bool choice = b->text() != QStringLiteral("+");
    QStringList names, values;
    try {
        if (vl::shell::dm().HasDefaultsTable)
            for (const DifolcRow& d : ReadDifolc(vl::shell::dm().d_alap(), b->param2)) {
                names << d.mezo;
                values << EvaluateDefault(vl::shell::dm().session(), d.ertek, ft, false);
            }
    } catch (const DbError& e) {
        vl::notifyDbError(QStringLiteral("az alapértékek olvasása"), e.text());
        return;
    }
    ASelectedRecord rec;
    const bool ok = OpenTableEditor(b->param2.toUpper(), w, search.isNull() ? QString() : search, nullptr, &rec, values,
                                    names, choice, true);
    if (ok && choice) {
        applySelection(b, rec);
        refreshPlusField(b);
    }
    if (QWidget* f = fieldControl(b->param1)) f->setFocus();
}

void TTorzsfm::applySelection(TParaButton* b, const ASelectedRecord& rec) {
    if (!b) return;
    try {
        if (!b->param4.isEmpty()) {
            vl::db::Connection& conn = vl::shell::dm().d_alap();
            for (const PvezerloRow& r : ReadPvezerlo(conn, b->param4)) {
                const int i = vl::shell::SelectedFieldIndex(rec, r.szotmezo);
                QLineEdit* target = fieldEdit(r.qmezo);
                QString v;
                if (i >= 0 && target && !target->isReadOnly()) {
                    v = vl::util::VarToText(rec.at(i).FieldValue);
                    target->setText(v);
                }
                if (r.muvelet == QStringLiteral("+") && !r.szotmezo2.isEmpty()) {
                    const int dot = r.szotmezo2.indexOf(QLatin1Char('.'));
                    QLabel* info = infoField(1, r.qmezo);
                    if (dot > 0 && info) {
                        InfoExpression e;
                        e.valid = true;
                        e.table = r.szotmezo2.left(dot);
                        e.column = r.szotmezo2.mid(dot + 1);
                        e.keyColumns << QStringLiteral("KOD");
                        e.sourceFields << QStringLiteral("V");
                        info->setText(EvaluateInfo(conn, e, [v](const QString&) { return QVariant(v); }));
                    }
                }
            }
            return;
        }
    } catch (const DbError& e) {
        vl::notifyDbError(QStringLiteral("a kiválasztott adatok átvétele"), e.text());
        return;
    }
    QLineEdit* target = fieldEdit(b->param1);
    if (!target || target->isReadOnly()) return;
    const int i = vl::shell::SelectedFieldIndex(rec, b->param6.isEmpty() ? QStringLiteral("KOD") : b->param6);
    const QString value = i >= 0 ? vl::util::VarToText(rec.at(i).FieldValue) : QString();
    if (b->param3 == 999) {
        const QStringList have = target->text().split(QLatin1Char(','), Qt::SkipEmptyParts);
        bool present = false;
        for (const QString& h : have)
            if (h.trimmed() == value) present = true;
        if (present) return;
        target->setText(target->text().trimmed().isEmpty() ? value : target->text() + QLatin1Char(',') + value);
    } else {
        target->setText(value);
    }
}

} // namespace vl::framework
