#include "OpenTableEditor.h"

#include "TTorzsfm.h"
#include "Tmain_pkrfm.h"
#include "db/Catalogue.h"
#include "framework/Rights.h"
#include "shell/Dm.h"
#include "shell/Ini.h"
#include "util/MessageSink.h"

#include <QHash>
#include <QPointer>

namespace vl::framework {

namespace {

QHash<QString, QPointer<TTorzsfm>>& editors() {
    static QHash<QString, QPointer<TTorzsfm>> e;
    return e;
}
QHash<QString, QPointer<TTorzsfm>>& dictionaryForms() {
    static QHash<QString, QPointer<TTorzsfm>> f;
    return f;
}

void applyWindowState(QWidget* w, const QString& state) {
    const QString s = state.trimmed().toUpper();
    if (s == QStringLiteral("MAXIMIZED")) w->setWindowState(Qt::WindowMaximized);
    else if (s == QStringLiteral("MINIMIZED")) w->setWindowState(Qt::WindowMinimized);
    else if (s == QStringLiteral("NORMAL")) w->setWindowState(Qt::WindowNoState);
}

// The table and the panel an editor's name stands for: "TABLE,PANEL", or
// "TABLE+..." (the table's own panel), or the one name for both.
void splitEditorName(const QString& name, QString* table, QString* panel) {
    const QString full = name.trimmed().toUpper();
    *table = full;
    *panel = full;
    if (full.contains(QLatin1Char(','))) {
        *table = full.section(QLatin1Char(','), 0, 0).trimmed();
        *panel = full.section(QLatin1Char(','), 1).trimmed();
    } else if (full.contains(QLatin1Char('+'))) {
        *table = full.section(QLatin1Char('+'), 0, 0).trimmed();
    }
}

} // namespace

bool OpenTableEditor(const QString& name, const Condition& where, const QString& searchText, TTorzsfm* editor,
                     vl::shell::ASelectedRecord* chosen, const QStringList& defaultValues,
                     const QStringList& defaultNames, bool choiceMode, bool writable) {
    const QString full = name.trimmed().toUpper();
    QString table, panel;
    splitEditorName(name, &table, &panel);
    TableAccess access = TableAccess::Full;
    QString windowState;
    try {
        vl::db::Connection& conn = vl::shell::dm().d_alap();
        if (!vl::db::IsPlainIdentifier(table) || !vl::db::TableExists(conn, table)) {
            vl::notify(vl::MsgKind::Warning, QStringLiteral("Nincs ilyen tábla:") + table);
            return false;
        }
        const QString rightsName = full.contains(QLatin1Char(',')) ? full : table;
        access = TableRights(conn, vl::shell::dm().session(), rightsName);
        windowState = ReadTableEntry(conn, rightsName).windowState;
    } catch (const vl::db::DbError& e) {
        vl::notifyDbError(QStringLiteral("a(z) %1 tábla megnyitása").arg(table), e.text());
        return false;
    }
    if (access == TableAccess::None) return false;
    if (windowState.isEmpty()) windowState = vl::shell::IniValue(QStringLiteral("WINDOWSTATE"));

    const QString editorName = table + QStringLiteral("_") + panel + QStringLiteral("_Torzsfm");
    TTorzsfm* ed = editor;
    if (!ed) {
        ed = editors().value(editorName);
        // An editor already on the screen (a dictionary chosen from its own
        // panel) is not taken over; a second one is made.
        if (ed && ed->isVisible()) ed = nullptr;
        if (!ed) {
            ed = new TTorzsfm();
            ed->setObjectName(editorName);
            if (!editors().value(editorName)) editors().insert(editorName, ed);
            ed->markRebuild();
            ed->markReopen();
        }
    }
    ed->setTableName(full);
    if (ed->panelEmpty()) ed->markRebuild();
    // Every opening reads the rows anew: a reused editor never offers a row
    // that was changed or deleted since it was last shown.
    ed->markReopen();
    ed->setCondition(where);
    ed->setSearchText(searchText == QStringLiteral("musz_reopen") ? QString() : searchText);
    ed->setDefaults(defaultNames, defaultValues);
    ed->setChoiceMode(choiceMode);
    ed->setWritable(writable && access == TableAccess::Full);
    if (!ed->prepare()) return false;
    applyWindowState(ed, windowState);
    if (vl::shell::Tmain_pkrfm* m = vl::shell::Tmain_pkrfm::instance(); m && !ed->isVisible()) {
        const QRect r = m->workArea();
        if (r.isValid() && r.width() > 200) ed->setGeometry(r.left(), r.top() + 24, r.width(), r.height());
    }
    vl::shell::ShowModal(ed);
    if (ed->chosen() && choiceMode) {
        if (chosen) *chosen = ed->chosenRecord();
        return true;
    }
    return false;
}

bool OpenTableEditor(const QString& name, const QString& where, const QString& searchText,
                     vl::shell::ASelectedRecord* chosen, bool choiceMode, bool writable) {
    return OpenTableEditor(name, PlainCondition(where), searchText, nullptr, chosen, {}, {}, choiceMode, writable);
}

TTorzsfm* ExistingTableEditor(const QString& name) {
    QString table, panel;
    splitEditorName(name, &table, &panel);
    return editors().value(table + QStringLiteral("_") + panel + QStringLiteral("_Torzsfm"));
}

void DeleteAllTableEditors() {
    for (auto& p : editors())
        if (p) delete p.data();
    editors().clear();
    for (auto& p : dictionaryForms())
        if (p) delete p.data();
    dictionaryForms().clear();
}

const QList<DictionaryFormInfo>& DictionaryForms() {
    static const QList<DictionaryFormInfo> l{
        {QStringLiteral("Tarucsoportfm"), QStringLiteral("Termék csoportok"), QStringLiteral("SZ_ARUCSOP"), 11},
        {QStringLiteral("Tsoforfm"), QStringLiteral("Gépkocsivezetők"), QStringLiteral("SZ_SOFOR"), 13},
        {QStringLiteral("Tjuzerfm"), QStringLiteral("Felhasználók"), QStringLiteral("SZ_JUZER"), 31},
        {QStringLiteral("Tcegfm"), QStringLiteral("A cég saját adatai"), QStringLiteral("CEG"), 36},
        {QStringLiteral("Tbermodfm"), QStringLiteral("Bérbeadás típusok"), QStringLiteral("SZ_BERMOD"), 322},
        {QStringLiteral("Tsztevekenyfm"), QStringLiteral("Bérlettel kapcsolatos tevékenységek"), QStringLiteral("SZ_TEVEKENY"), 323},
        {QStringLiteral("Tfizmodfm"), QStringLiteral("Fizetési módok"), QStringLiteral("SZ_FIZMOD"), 324},
        {QStringLiteral("Tirszamfm"), QStringLiteral("Belföldi irányítószámok"), QStringLiteral("SZ_IRSZAM"), 325},
        {QStringLiteral("Tmegysegfm"), QStringLiteral("Mennyiségi egységek"), QStringLiteral("SZ_MEGYSEG"), 326},
        {QStringLiteral("Tafafm"), QStringLiteral("ÁFA kulcsok"), QStringLiteral("SZ_ADO"), 338},
    };
    return l;
}

TTorzsfm* DictionaryFormByName(const QString& formName) {
    const DictionaryFormInfo* info = nullptr;
    for (const auto& i : DictionaryForms())
        if (i.formName == formName) info = &i;
    if (!info) return nullptr;
    TTorzsfm* f = dictionaryForms().value(formName);
    if (!f) {
        f = new TTorzsfm();
        f->setObjectName(info->formName);
        f->setTableName(info->table);
        f->setTableCaption(info->caption);
        if (info->table == QStringLiteral("SZ_IRSZAM")) f->setProperty("tallGrid", true);
        dictionaryForms().insert(formName, f);
    }
    f->setChoiceMode(false);
    f->setWritable(true);
    return f;
}

} // namespace vl::framework
