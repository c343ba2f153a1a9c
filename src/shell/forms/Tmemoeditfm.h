#pragma once
// The remark editor: the working store of a contract's closing remarks. The
// contract entry form loads, replaces and reads its lines; showing it lets the
// user edit them, and closing the window keeps the edited lines.
#include <QDialog>
#include <QStringList>

class QPlainTextEdit;

namespace vl::shell {

class Tmemoeditfm : public QDialog {
    Q_OBJECT
public:
    explicit Tmemoeditfm(QWidget* parent = nullptr);
    QPlainTextEdit* Memo1 = nullptr;

    QStringList lines() const;
    void setLines(const QStringList& lines);
    QString text() const;
    void setText(const QString& text);
    void clear();
    // Modal editing; the lines stay as edited whichever way the window is closed.
    void edit();
};

// The one remark editor of the program.
Tmemoeditfm& MemoEditor();

} // namespace vl::shell
