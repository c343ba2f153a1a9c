#include "CodeCombo.h"

#include <QComboBox>
#include <QLineEdit>

namespace vl::shell {

static void syncTo(QComboBox* box, const QString& text);

void FillCodeCombo(QComboBox* box, const std::function<vl::db::RowSet()>& query, QStringList& codes,
                   bool reload, const QString& firstItem) {
    // The text shown before a reload is looked up again afterwards.
    const QString shownText = box->currentText();
    if (reload) {
        box->clear();
        codes.clear();
    }
    if (box->count() == 0) {
        vl::db::RowSet rs = query();
        const QSignalBlocker block(box);
        if (firstItem != QStringLiteral("-")) {
            box->addItem(firstItem);
            codes.append(QString());
        }
        const int nev = rs.indexOf(QStringLiteral("NEV"));
        const int kod = rs.hasColumn(QStringLiteral("KOD")) ? rs.indexOf(QStringLiteral("KOD")) : 0;
        rs.reset();
        while (rs.next()) {
            box->addItem(nev >= 0 ? rs.value(nev).toString() : QString());
            codes.append(rs.columnCount() > 0 ? rs.value(kod).toString() : QString());
        }
        box->setCurrentIndex(-1);
        if (box->isEditable()) box->setEditText(shownText);
        box->setMaxVisibleItems(std::max(1, std::min(box->count(), 20)));
        syncTo(box, shownText);
        return;
    }
    box->setMaxVisibleItems(std::max(1, std::min(box->count(), 20)));
    SyncComboIndex(box);
}

void SyncComboIndex(QComboBox* box) { syncTo(box, box->currentText()); }

static void syncTo(QComboBox* box, const QString& text) {
    if (box->count() == 0) return;
    int idx = -1;
    if (!text.isEmpty()) {
        for (int i = 0; i < box->count(); ++i) {
            if (box->itemText(i).compare(text, Qt::CaseInsensitive) == 0) { idx = i; break; }
        }
    } else {
        idx = box->itemText(0).isEmpty() ? 0 : -1;
    }
    if (box->isEditable()) {
        // An editable box keeps the typed text even when no item matches.
        box->setCurrentIndex(idx);
        if (idx < 0) box->setEditText(text);
    } else {
        box->setCurrentIndex(idx);
    }
}

} // namespace vl::shell
