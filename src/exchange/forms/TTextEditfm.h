#pragma once
// "Szöveges fájl szerkesztése": a small modal editor for one plain text file
// whose path a database field holds (the panels' 'TEXT' button opens it by
// name, "TTextEditfm", with {FileName}). The file is read and written by the
// rules of exchange/TextFile.h; the form never writes the path back into the
// field, "Mentés másként" only changes its own current path.
//
// Controls (objectNames): l_file (the current path), Button1 "Mentés",
// Button2 "Vissza", Memo1 (the text, no word wrap), the menu bar with
// "File" (mi_mentes "Mentés", mi_mentesmaskent "Mentés másként",
// mi_ujratoltes "Újratöltés"), "Nyomtatás" (mi_kepernyore "Képernyőre",
// mi_nyomtatora "Nyomtatóra") and mi_vissza "Vissza" on the bar itself; the
// save dialog sd1 ("Szöveg file (*.TXT)"). The window's close button, Escape
// and "Vissza" all ask the same question when the text has changed.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;

namespace vl::exchange {

class TTextEditfm : public QDialog {
    Q_OBJECT
public:
    explicit TTextEditfm(QWidget* parent = nullptr);

    QMenuBar* MainMenu1 = nullptr;
    QMenu* mm_file = nullptr;
    QMenu* mm_nyomtatas = nullptr;
    QAction* mi_mentes = nullptr;
    QAction* mi_mentesmaskent = nullptr;
    QAction* mi_ujratoltes = nullptr;
    QAction* mi_kepernyore = nullptr;
    QAction* mi_nyomtatora = nullptr;
    QAction* mi_vissza = nullptr;
    QLabel* l_file = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QFileDialog* sd1 = nullptr;

    // The path the caller sets before the form is shown.
    void setFileName(const QString& path) { fileName_ = path; }
    const QString& fileName() const { return fileName_; }

    // Showing the editor: l_file shows the path, then the file is reloaded.
    void FormShow();
    // "Mentés": true when the file was written.
    bool Save();
    // "Mentés másként": the save dialog, then the save under the chosen name.
    bool SaveAs();
    // "Újratöltés": the file's lines, or an empty text when there is none.
    void Reload();
    // "Vissza": closes, asking first when the text has changed. True when it closed.
    bool GoBack();
    // "Képernyőre" / "Nyomtatóra".
    void PrintPreview();
    void PrintDirect();

    QStringList lines() const;
    bool modified() const;

    // The texts of the form's messages.
    static QString SavedText() { return QStringLiteral("A szöveget mentettük"); }
    static QString SavedAsText(const QString& path);
    static QString SaveQuestion() { return QStringLiteral("Menti a változtatásokat?"); }
    static QStringList SaveQuestionButtons();

    // "Vissza", Escape.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    bool writeTo(const QString& path);
    void showPath();
    QString fileName_;
    bool closing_ = false;
};

// Registers "TTextEditfm" {FileName} with the form registry: one editor for
// the run, shown modally.
void registerTextEditorForm();

} // namespace vl::exchange
