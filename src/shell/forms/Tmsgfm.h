#pragma once
// The message form: a question with a column of buttons to the right of the
// text. ShowMessageForm returns the 0-based index of the pressed button; a form
// left without pressing a button (Escape, closed by the window system) returns -1,
// so it never counts as the first button ("Igen").
#include "util/MessageSink.h"
#include <QDialog>
#include <QStringList>

class QLabel;
class QWidget;

namespace vl::shell {

using TmsgButtons = QStringList;

// Kind 0 "   Kérem, döntsön!", 1 "   Figyelmeztetés", 2 "   Hiba történt",
// any other "   Párbeszéd ablak".
QString MessageFormCaption(int kind);

class Tmsgfm : public QDialog {
    Q_OBJECT
public:
    // defaultButton: the button that has the focus and that Enter presses.
    Tmsgfm(const QString& text, int kind, const TmsgButtons& buttons, QWidget* parent = nullptr,
           int defaultButton = 0);
    int resultIndex() const { return result_; }
    const TmsgButtons& buttons() const { return buttons_; }
    int defaultButton() const { return default_; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    QWidget* p_buttons = nullptr;
    QLabel* l_msg = nullptr;
    QLabel* l_minta = nullptr;
    TmsgButtons buttons_;
    int result_ = -1;
    int default_ = 0;
};

// Shows the form modally over the centre of the window the user works in
// (the parent given, else the active window, else the main window) and returns
// the index of the pressed button, -1 when none was pressed. defaultButton is
// the button under Enter (the first one unless said otherwise). When the form
// closes, the focus goes back to the control that had it.
int ShowMessageForm(const QString& text, int kind = 0, const TmsgButtons& buttons = {}, int defaultButton = 0,
                    QWidget* parent = nullptr);

// A notice: a message box over the window the user works in, with the
// details (a server's error text) under "Részletek" when there are any.
void ShowNotice(vl::MsgKind kind, const QString& text, const QString& details = QString(), QWidget* parent = nullptr);

// The program's sink: questions go to the message form, notices to a simple
// message box.
class GuiMessageSink : public vl::MessageSink {
public:
    void notify(vl::MsgKind kind, const QString& text) override;
    int ask(const QString& text, vl::MsgKind kind, const QStringList& buttons) override;
    int askWithDefault(const QString& text, vl::MsgKind kind, const QStringList& buttons, int defaultButton) override;
    void notifyWithDetails(vl::MsgKind kind, const QString& text, const QString& details) override;
    static int kindNumber(vl::MsgKind kind);
};

} // namespace vl::shell
