#pragma once
// Conventions every form of the program follows:
//  - in single-line edits Enter and Down move to the next control, Up to the previous;
//  - numeric edits take digits only;
//  - required fields have a yellow background;
//  - the edit mode of an area is shown through ModeCaption.
//  - a window never runs off the screen: fitToScreen, run by the placement
//    routines whenever a form is shown, keeps it inside the screen's available
//    area (forms whose content may be larger scroll inside);
//  - messages belong to the window the user works in (dialogParent);
//  - a window that was not placed opens centred on the window it belongs to;
//  - the standard keys (installStandardKeys): Esc presses "Vissza", Ctrl+S the
//    store button, Ctrl+N the new-row button, F5 the load/refresh button of
//    the part of the window the focus is in; the buttons say so in their
//    tooltips. After a store the focus goes to the list, never to a delete
//    button; Enter in a search box goes to the list, never to a button;
//    read-only edits are passed over by Tab.
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
class QLayout;
class QAbstractButton;

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

    // The roles of the buttons (and menu actions) the standard keys press.
    enum class KeyRole { None, Back, Store, New, Reload, Delete };
    // Binds the standard keys of the window the widget is in to its buttons,
    // found by their role: set with setKeyRole or known from the object name
    // (b_vissza, b_tarolas, b_insert, b_frissit, ...). The keys act only when
    // no control of the window has used them; of several buttons of one role
    // the visible, enabled one nearest to the focus is pressed. Calling it
    // again adds the hints to buttons made since.
    static void installStandardKeys(QWidget* window);
    static void setKeyRole(QObject* control, KeyRole role);
    static KeyRole keyRole(const QObject* control);
    // The key of a role as the tooltips show it ("Ctrl+S"); empty for none.
    static QString keyText(KeyRole role);
    // The enabled, visible control of the role nearest to the window's focus
    // (a button before a menu action); nullptr when there is none.
    static QObject* controlFor(QWidget* window, KeyRole role);
    // An edit whose Enter takes the focus to its list instead of the next
    // control (search boxes named e_keres are such).
    static void setSearchBox(QLineEdit* edit);
    // A button that opens a dictionary for the field beside it ("?"): the
    // mouse reaches it, Tab passes over it (the field opens the dictionary
    // when it is left with a value the dictionary does not know).
    static void setLookupButton(QAbstractButton* button);
    // Lays the Tab order of the controls of a layout as they are shown:
    // a grid row by row, left to right; boxes in their order.
    static void setTabOrderAsShown(QLayout* layout);

    // The available area of the screen a window is (or will be) shown on.
    static QRect availableArea(const QWidget* window);
    // Sizes and moves a top-level window so that its frame lies inside the
    // available area of its screen: first as little as possible off its
    // placement (shrunk at the right and bottom, down to its minimum size),
    // then moved. A maximised or full-screen window is left alone.
    static void fitToScreen(QWidget* window);
    // The frame a window gets from a window manager, as far as it is known
    // before it is shown: the larger of its own (once shown), the frames of
    // the other windows and a fixed allowance for a title bar and borders.
    static QMargins assumedFrame(const QWidget* window);
    static QMargins frameAllowance();
    // The frame a window would get: the given geometry fitted into the area.
    static QRect fittedGeometry(const QRect& geometry, const QSize& minimum, const QMargins& frame, const QRect& area);
    // The window a message or question belongs to: the active modal dialog,
    // else the active window, else the main window (nullptr when none).
    static QWidget* dialogParent();

    // Sizes a grid's columns to their contents, never narrower than their
    // titles (a title is never cut) and, for the contents, at most maxWidth.
    static void fitColumns(QTableView* grid, int maxWidth = 320);
    // Sizes a grid's columns to their titles and their widest shown text
    // among the first maxRows rows (-1: as many as the header's resize
    // precision): only the few longest texts of each column are measured, by
    // the cell's delegate as the view measures it (for text cells what
    // QTableView::resizeColumnsToContents gives, without asking the delegate
    // and the style for every cell).
    static void fitColumnsToText(QTableView* grid, int maxRows = -1);

    // Loads Qt's own Hungarian texts (standard buttons, context menus, file
    // and print dialogs); false when the translation files are missing.
    static bool installQtTranslations(QCoreApplication* app);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static FormConventions* filter();
};

} // namespace vl::shell
