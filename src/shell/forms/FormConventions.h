#pragma once
// Conventions every form of the program follows:
//  - in single-line edits Enter and Down move to the next control, Up to the previous;
//  - numeric edits take digits only;
//  - required fields have a yellow background;
//  - the edit mode of an area is shown through ModeCaption.
// A form calls FormConventions::install(this) at the end of its construction.
#include <QObject>
#include <QString>

class QWidget;
class QLineEdit;
class QLabel;

namespace vl::shell {

class FormConventions : public QObject {
    Q_OBJECT
public:
    // Watches every single-line edit of the form (edits of combo and spin
    // boxes keep their own keys). Calling it again picks up edits added since.
    static FormConventions* install(QWidget* form);
    // Watches one edit.
    static void watch(QLineEdit* edit);

    static void setNumeric(QLineEdit* edit);
    static void setRequired(QWidget* field, bool required = true);
    static bool isRequired(const QWidget* field);
    // Puts the caption of an edit mode ("browse", "insert", "update", ...) on a label.
    static void setModeCaption(QLabel* label, const QString& mode);

    // Moves the focus from a widget to the next (or previous) control of its window.
    static void moveFocus(QWidget* from, bool forward);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static FormConventions* filter();
};

} // namespace vl::shell
