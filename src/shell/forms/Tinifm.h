#pragma once
// The settings editor: every key of the configuration with its value and
// comment; "Tárolás" writes the values typed into the edit boxes back into the
// file loaded last (keeping its includes, comments and macros: IniStore of shell/Ini.h).
// A password (IniIsSecretKey) is shown masked; it can still be typed over.
#include <QWidget>

class QLabel;
class QPushButton;
class QScrollArea;

namespace vl::shell {

class Tinifm : public QWidget {
    Q_OBJECT
public:
    explicit Tinifm(QWidget* parent = nullptr);

    QPushButton* b_tarol = nullptr;
    QPushButton* b_vissza = nullptr;
    QScrollArea* sbx = nullptr;

    // Rebuilds the rows from the line table (done each time the form is shown).
    void rebuild();
    // The store behind "Tárolás"; true when the file was written.
    bool b_tarolClick();

protected:
    void showEvent(QShowEvent* e) override;

private:
    QWidget* rows_ = nullptr;
    QLabel* Label1 = nullptr;
};

} // namespace vl::shell
