#pragma once
// Conventions every form of the program follows:
//  - in single-line edits Enter and Down move to the next control, Up to the previous;
//  - numeric edits take digits only;
//  - required fields have a yellow background;
//  - the edit mode of an area is shown through ModeCaption.
//  - a window never runs off the screen: fitToScreen, run by the placement
//    routines whenever a form is shown, keeps it inside the screen's available
//    area (forms whose content may be larger scroll inside);
//  - messages belong to the window the user works in (dialogParent).
// A form calls FormConventions::install(this) at the end of its construction.
#include <QObject>
#include <QMargins>
#include <QRect>
#include <QString>

class QCoreApplication;
class QScreen;
class QWidget;
class QLineEdit;
class QLabel;
class QTableView;

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

    // The available area of the screen a window is (or will be) shown on.
    static QRect availableArea(const QWidget* window);
    // Sizes and moves a top-level window so that its frame lies inside the
    // available area of its screen: first as little as possible off its
    // placement (shrunk at the right and bottom, down to its minimum size),
    // then moved. A maximised or full-screen window is left alone.
    static void fitToScreen(QWidget* window);
    // The frame a window would get: the given geometry fitted into the area.
    static QRect fittedGeometry(const QRect& geometry, const QSize& minimum, const QMargins& frame, const QRect& area);
    // The window a message or question belongs to: the active modal dialog,
    // else the active window, else the main window (nullptr when none).
    static QWidget* dialogParent();

    // Sizes a grid's columns to their contents, never narrower than their
    // titles (a title is never cut) and, for the contents, at most maxWidth.
    static void fitColumns(QTableView* grid, int maxWidth = 320);

    // Loads Qt's own Hungarian texts (standard buttons, context menus, file
    // and print dialogs); false when the translation files are missing.
    static bool installQtTranslations(QCoreApplication* app);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static FormConventions* filter();
};

} // namespace vl::shell
