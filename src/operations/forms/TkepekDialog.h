#pragma once
// "Képek": the pictures of one day-sheet line as the drivers sent them from
// their phones (photos taken on site, the receivers' signatures). The list
// tells each one's kind, the receiver, the driver, when and how big; the
// selected one is shown scaled to fit, and "Mentés…" writes its bytes to a
// file as they were stored. The list and the bytes come from the session.
#include "operations/ActivityLogSession.h"
#include "rental/ActivityImages.h"

#include <QDialog>
#include <QHash>
#include <QPixmap>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace vl::operations {

class TkepekDialog : public QDialog {
    Q_OBJECT
public:
    // The pictures of line `tsorszam` of the session's sheet; `caption` names
    // the line (customer, site) in the title.
    TkepekDialog(ActivityLogSession& session, int tsorszam, const QString& caption, QWidget* parent = nullptr);

    QTreeWidget* l_kepek = nullptr;
    QLabel* i_kep = nullptr;
    QLabel* l_info = nullptr;
    QPushButton *b_ment = nullptr, *b_bezar = nullptr;

    const QList<vl::rental::ActivityImageInfo>& images() const { return images_; }
    // The selected picture's row in the list (-1 none) and selecting one.
    int currentImage() const;
    void selectImage(int row);
    // The picture shown now, unscaled (null when none or it cannot be read).
    const QPixmap& currentPixmap() const { return pixmap_; }

    // Writes the selected picture's stored bytes to `path`; false (with the
    // reason told) when none is selected, it is gone or the file cannot be written.
    bool saveTo(const QString& path);
    // "Mentés…": asks for the file, then saveTo().
    void b_mentClick();

    // One picture's texts in the list's columns.
    static QStringList RowTexts(const vl::rental::ActivityImageInfo& info, const QString& driverName);
    // A size in KB as Hungarians write it: 12 345 bytes -> "12,1 KB".
    static QString SizeText(qint64 bytes);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void showCurrent();
    void fitPixmap();
    QString defaultFileName() const;

    ActivityLogSession& session_;
    QList<vl::rental::ActivityImageInfo> images_;
    QHash<qint64, QByteArray> bytes_;    // read once per picture shown
    QPixmap pixmap_;
};

} // namespace vl::operations
