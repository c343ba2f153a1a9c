#include "TkepekDialog.h"

#include "util/MessageSink.h"
#include "util/NumberFormat.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSaveFile>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vl::operations {

using vl::rental::ActivityImageInfo;

QString TkepekDialog::SizeText(qint64 bytes) {
    return vl::util::FormatNumber(double(bytes) / 1024.0, QStringLiteral("#,##0.0")) + QStringLiteral(" KB");
}

QStringList TkepekDialog::RowTexts(const ActivityImageInfo& info, const QString& driverName) {
    return {vl::rental::ActivityImageKindName(info.kind), info.receiver.trimmed(),
            driverName.isEmpty() ? info.driverCode.trimmed() : driverName, info.when.left(16), SizeText(info.size)};
}

TkepekDialog::TkepekDialog(ActivityLogSession& session, int tsorszam, const QString& caption, QWidget* parent)
    : QDialog(parent), session_(session) {
    setObjectName(QStringLiteral("kepek"));
    setWindowTitle(caption.trimmed().isEmpty() ? QStringLiteral("Képek")
                                               : QStringLiteral("Képek – ") + caption.trimmed());

    l_kepek = new QTreeWidget(this);
    l_kepek->setObjectName(QStringLiteral("l_kepek"));
    l_kepek->setRootIsDecorated(false);
    l_kepek->setUniformRowHeights(true);
    l_kepek->setSelectionMode(QAbstractItemView::SingleSelection);
    l_kepek->setHeaderLabels({QStringLiteral("Fajta"), QStringLiteral("Átvevő"), QStringLiteral("Sofőr"),
                              QStringLiteral("Időpont"), QStringLiteral("Méret")});
    l_kepek->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    l_kepek->header()->setStretchLastSection(false);
    l_kepek->headerItem()->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);

    i_kep = new QLabel(this);
    i_kep->setObjectName(QStringLiteral("i_kep"));
    i_kep->setAlignment(Qt::AlignCenter);
    i_kep->setMinimumSize(360, 300);
    i_kep->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    i_kep->setFrameShape(QFrame::StyledPanel);
    i_kep->setAutoFillBackground(true);
    QPalette p = i_kep->palette();
    p.setColor(QPalette::Window, QColor(228, 228, 228));   // a white picture stands out on it
    i_kep->setPalette(p);

    l_info = new QLabel(this);
    l_info->setObjectName(QStringLiteral("l_info"));

    b_ment = new QPushButton(QStringLiteral("Mentés…"), this);
    b_ment->setObjectName(QStringLiteral("b_ment"));
    b_bezar = new QPushButton(QStringLiteral("Bezárás"), this);
    b_bezar->setObjectName(QStringLiteral("b_bezar"));
    b_bezar->setDefault(true);

    auto* top = new QHBoxLayout;
    top->addWidget(l_kepek, 0);
    top->addWidget(i_kep, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(l_info, 1);
    buttons->addWidget(b_ment);
    buttons->addWidget(b_bezar);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top, 1);
    main->addLayout(buttons);
    resize(920, 480);

    // The list and the drivers' names from the session (a name unknown: the code).
    QHash<QString, QString> driverNames;
    try {
        images_ = session_.lineImages(tsorszam);
        const vl::db::RowSet d = session_.drivers(false);
        const int ck = d.indexOf(QStringLiteral("KOD")), cn = d.indexOf(QStringLiteral("NEV"));
        for (int r = 0; ck >= 0 && cn >= 0 && r < d.rowCount(); ++r)
            driverNames.insert(d.at(r, ck).toString().trimmed(), d.at(r, cn).toString().trimmed());
    } catch (const vl::Error& e) {
        vl::notifyError(e, QStringLiteral("a képek olvasása"));
    }
    for (const ActivityImageInfo& info : images_) {
        auto* item = new QTreeWidgetItem(l_kepek, RowTexts(info, driverNames.value(info.driverCode.trimmed())));
        item->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        if (info.width > 0 && info.height > 0)
            item->setToolTip(0, QStringLiteral("%1 × %2 képpont, %3").arg(info.width).arg(info.height).arg(info.mime));
    }

    // Every column as wide as its texts: the list is as wide as they are together.
    int width = 2 * l_kepek->frameWidth() + 4;
    for (int c = 0; c < l_kepek->columnCount(); ++c) {
        l_kepek->resizeColumnToContents(c);
        l_kepek->setColumnWidth(c, l_kepek->columnWidth(c) + 12);
        width += l_kepek->columnWidth(c);
    }
    l_kepek->setMinimumWidth(width + l_kepek->verticalScrollBar()->sizeHint().width());

    connect(l_kepek, &QTreeWidget::currentItemChanged, this, [this] { showCurrent(); });
    connect(b_ment, &QPushButton::clicked, this, &TkepekDialog::b_mentClick);
    connect(b_bezar, &QPushButton::clicked, this, &QDialog::reject);
    if (!images_.isEmpty()) selectImage(0);
    else showCurrent();
}

int TkepekDialog::currentImage() const {
    QTreeWidgetItem* it = l_kepek->currentItem();
    return it ? l_kepek->indexOfTopLevelItem(it) : -1;
}

void TkepekDialog::selectImage(int row) {
    if (row < 0 || row >= l_kepek->topLevelItemCount()) return;
    l_kepek->setCurrentItem(l_kepek->topLevelItem(row));
}

void TkepekDialog::showCurrent() {
    const int row = currentImage();
    pixmap_ = QPixmap();
    b_ment->setEnabled(row >= 0);
    if (row < 0) {
        i_kep->setPixmap(QPixmap());
        i_kep->setText(images_.isEmpty() ? QStringLiteral("A sorhoz nincs kép.") : QString());
        l_info->clear();
        return;
    }
    const ActivityImageInfo& info = images_.at(row);
    if (!bytes_.contains(info.id)) {
        try {
            bytes_.insert(info.id, session_.imageBytes(info.id));
        } catch (const vl::Error& e) {
            vl::notifyError(e, QStringLiteral("a kép olvasása"));
            bytes_.insert(info.id, QByteArray());
        }
    }
    const QByteArray& b = bytes_.value(info.id);
    if (b.isEmpty() || !pixmap_.loadFromData(b)) {
        pixmap_ = QPixmap();
        i_kep->setPixmap(QPixmap());
        i_kep->setText(b.isEmpty() ? QStringLiteral("A kép már nincs meg.") : QStringLiteral("A kép nem olvasható."));
    }
    l_info->setText(QStringLiteral("%1 / %2 – %3 × %4 képpont")
                        .arg(row + 1)
                        .arg(images_.size())
                        .arg(pixmap_.isNull() ? info.width : pixmap_.width())
                        .arg(pixmap_.isNull() ? info.height : pixmap_.height()));
    fitPixmap();
}

void TkepekDialog::fitPixmap() {
    if (pixmap_.isNull()) return;
    const QSize room = i_kep->contentsRect().size() - QSize(8, 8);
    if (room.width() <= 0 || room.height() <= 0) return;
    // Scaled to fill the room, keeping its proportions.
    const QSize s = pixmap_.size().scaled(room, Qt::KeepAspectRatio);
    i_kep->setPixmap(pixmap_.scaled(s, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void TkepekDialog::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    fitPixmap();
}

QString TkepekDialog::defaultFileName() const {
    const int row = currentImage();
    if (row < 0) return {};
    const ActivityImageInfo& info = images_.at(row);
    const QString ext = info.mime == QStringLiteral("image/png") ? QStringLiteral("png") : QStringLiteral("jpg");
    QString stamp = info.when.left(16);
    stamp.replace(QLatin1Char('.'), QString()).replace(QLatin1Char(':'), QString()).replace(QLatin1Char(' '), QLatin1Char('-'));
    const QString kind = info.kind == vl::rental::ActivityImageKind::Signature ? QStringLiteral("alairas")
                                                                                : QStringLiteral("foto");
    return QStringLiteral("%1-%2-%3.%4").arg(kind, stamp).arg(info.id).arg(ext);
}

bool TkepekDialog::saveTo(const QString& path) {
    const int row = currentImage();
    if (row < 0) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Nincs kiválasztott kép."));
        return false;
    }
    if (path.trimmed().isEmpty()) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("Nincs megadva a fájl neve."));
        return false;
    }
    const qint64 id = images_.at(row).id;
    QByteArray b = bytes_.value(id);
    if (b.isEmpty()) {
        try {
            b = session_.imageBytes(id);
        } catch (const vl::Error& e) {
            vl::notifyError(e, QStringLiteral("a kép olvasása"));
            return false;
        }
    }
    if (b.isEmpty()) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("A kép már nincs meg, nem menthető."));
        return false;
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(b) != b.size() || !f.commit()) {
        vl::notify(vl::MsgKind::Warning, QStringLiteral("A kép nem menthető ide: %1\n%2")
                                             .arg(QDir::toNativeSeparators(path), f.errorString()));
        return false;
    }
    return true;
}

void TkepekDialog::b_mentClick() {
    const QString name = defaultFileName();
    if (name.isEmpty()) return;
    const bool png = name.endsWith(QStringLiteral(".png"));
    const QString file = QFileDialog::getSaveFileName(
        this, QStringLiteral("Kép mentése"), QDir::home().filePath(name),
        png ? QStringLiteral("PNG kép (*.png)") : QStringLiteral("JPEG kép (*.jpg *.jpeg)"));
    if (file.isEmpty()) return;
    saveTo(file);
}

} // namespace vl::operations
