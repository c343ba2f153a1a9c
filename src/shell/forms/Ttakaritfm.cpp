#include "Ttakaritfm.h"

#include "FormConventions.h"
#include "FormRegistry.h"
#include "shell/Dm.h"
#include "util/MessageSink.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vl::shell {

Ttakaritfm::Ttakaritfm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Ttakaritfm"));
    setWindowTitle(QStringLiteral("Rendszer karbantartó funkciók"));

    QFont bold = font();
    bold.setBold(true);

    auto* p_top = new QWidget(this);
    p_top->setObjectName(QStringLiteral("Panel1"));
    l_rozsa = new QLabel(p_top);
    l_rozsa->setObjectName(QStringLiteral("l_rozsa"));
    l_rozsa->setWordWrap(true);
    b_indul = new QPushButton(QStringLiteral("Indul"), p_top);
    b_indul->setObjectName(QStringLiteral("b_indul"));
    b_indul->setFont(bold);
    b_indul->setAutoDefault(false);
    b_vissza = new QPushButton(QStringLiteral("Vissza"), p_top);
    b_vissza->setObjectName(QStringLiteral("b_vissza"));
    b_vissza->setFont(bold);
    b_vissza->setAutoDefault(false);
    cbx_tmpdel = new QCheckBox(QStringLiteral("Átmeneti táblák törlése"), p_top);
    cbx_tmpdel->setObjectName(QStringLiteral("cbx_tmpdel"));
    cbx_dataupload = new QCheckBox(QStringLiteral("Adatbázis feltöltése az internetre"), p_top);
    cbx_dataupload->setObjectName(QStringLiteral("cbx_dataupload"));
    cbx_backup = new QCheckBox(QStringLiteral("Adatbázis mentése (ellenőrzéssel)"), p_top);
    cbx_backup->setObjectName(QStringLiteral("cbx_backup"));

    CLB_table = new QListWidget(this);
    CLB_table->setObjectName(QStringLiteral("CLB_table"));
    CLB_table->setSelectionMode(QAbstractItemView::NoSelection);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(b_indul);
    buttons->addStretch(1);
    buttons->addWidget(b_vissza);
    auto* top = new QVBoxLayout(p_top);
    top->addWidget(cbx_tmpdel);
    top->addWidget(cbx_backup);
    top->addWidget(cbx_dataupload);
    top->addLayout(buttons);
    top->addWidget(l_rozsa);

    auto* all = new QVBoxLayout(this);
    all->addWidget(p_top);
    all->addWidget(CLB_table, 1);

    connect(b_indul, &QPushButton::clicked, this, [this] { b_indulClick(); });
    connect(b_vissza, &QPushButton::clicked, this, &QWidget::close);

    FormConventions::install(this);
    resize(420, 460);
}

QStringList Ttakaritfm::listedTables() const {
    QStringList l;
    for (int i = 0; i < CLB_table->count(); ++i) l << CLB_table->item(i)->text();
    return l;
}

QStringList Ttakaritfm::tickedTables() const {
    QStringList l;
    for (int i = 0; i < CLB_table->count(); ++i)
        if (CLB_table->item(i)->checkState() == Qt::Checked) l << CLB_table->item(i)->text();
    return l;
}

void Ttakaritfm::fillList() {
    CLB_table->clear();
    for (const QString& name : ListWorkTables(dm().d_alap())) {
        auto* item = new QListWidgetItem(name, CLB_table);
        // The ticks tell what the run dropped; the user does not set them.
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

bool Ttakaritfm::FormShow() {
    l_rozsa->clear();
    CLB_table->clear();
    last_ = WorkTableCleanup();
    b_indul->setEnabled(false);
    // A fresh connection: the names are read anew and no statement of this
    // program holds a table any more.
    if (!dm().reconnect()) return false;
    try {
        fillList();
    } catch (const vl::db::DbError& e) {
        vl::notifyDbError(QStringLiteral("a munkatáblák listázása"), e.text());
        return false;
    }
    b_indul->setEnabled(true);
    return true;
}

void Ttakaritfm::b_indulClick() {
    if (!b_indul->isEnabled()) return;
    b_indul->setEnabled(false);
    struct Enable {
        QPushButton* b;
        ~Enable() { b->setEnabled(true); }
    } enableAgain{b_indul};
    try {
        if (cbx_tmpdel->isChecked()) {
            const QStringList names = listedTables();
            last_ = DropWorkTables(dm().d_alap(), names, dm().WorkTableList, [this](const WorkTableDrop& d) {
                for (int i = 0; i < CLB_table->count(); ++i) {
                    QListWidgetItem* item = CLB_table->item(i);
                    if (item->text() != d.name) continue;
                    if (d.dropped) {
                        item->setCheckState(Qt::Checked);
                        item->setToolTip(QString());
                    } else {
                        item->setToolTip(d.error.isEmpty() ? WorkTableStateText(d.status) : d.error.simplified());
                    }
                }
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            });
            l_rozsa->setText(last_.summary());
            dm().reconnect();
        }
        if (cbx_backup->isChecked()) openForm(QStringLiteral("Backup"), {}, this);
        if (cbx_dataupload->isChecked()) {
            const UploadSettings u = ReadUploadSettings(dm().d_alap());
            if (u.host.trimmed().isEmpty()) {
                vl::notify(vl::MsgKind::Error, NoStorageText());
                return;
            }
            openForm(QStringLiteral("Tftpkuldfm"),
                     {{QStringLiteral("Direction"), QStringLiteral("upload")},
                      {QStringLiteral("Server"), u.host},
                      {QStringLiteral("User"), u.user},
                      {QStringLiteral("Password"), u.password},
                      {QStringLiteral("Folder"), UploadFolder()}},
                     this);
        }
    } catch (const vl::db::DbError& e) {
        vl::notifyDbError(QStringLiteral("a rendszer karbantartása"), e.text());
    }
}

} // namespace vl::shell
