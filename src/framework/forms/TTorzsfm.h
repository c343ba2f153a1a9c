#pragma once
// TTorzsfm ("Törzs kezelő"), the generic master-data editor: a panel generated
// from VEZERLO above a grid of the table's rows, a navigation and editing
// button bar, a sort list, an incremental search, the active-rows filter, the
// lists, and the choice mode in which it serves as a dictionary picker.
// The rules (statements, checks, change log) are in framework/EditorCore.
#include "framework/ControlTables.h"
#include "framework/EditorCore.h"
#include "shell/Queries.h"
#include "Tmain_pkrfm.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTableView;

namespace vl::db { class RowSetModel; }

namespace vl::framework {

class TParaButton;

class TTorzsfm : public QWidget, public vl::shell::DictionaryForm {
    Q_OBJECT
public:
    explicit TTorzsfm(QWidget* parent = nullptr);
    ~TTorzsfm() override;

    // ---- Set-up (OpenTableEditor and the dictionary forms)
    // 'T', 'T,P' (panel P) or 'T+P2' (panel T and the shared panel P2).
    void setTableName(const QString& name);
    const QString& tableName() const { return fullName_; }
    void setCondition(const Condition& where);
    const Condition& condition() const { return where_; }
    void setSearchText(const QString& text) { searchText_ = text; }
    void setDefaults(const QStringList& names, const QStringList& values);
    void setChoiceMode(bool on);
    bool choiceMode() const { return choiceMode_; }
    void setWritable(bool on) { writableWanted_ = on; }
    void setTableCaption(const QString& caption) { tableCaption_ = caption; }
    void markReopen() { reopen_ = true; }
    void markRebuild() { rebuild_ = true; }
    bool panelEmpty() const { return panelControls_.isEmpty(); }

    // DictionaryForm
    void setSelectButtonVisible(bool visible) override;
    void setEditable(bool editable) override;

    // Reads the table's description and rows as the editor shows itself (also
    // run by showEvent). False when the table cannot be opened (message shown).
    bool prepare();

    // ---- State
    EditMode mode() const { return mode_; }
    bool writable() const { return writable_; }
    bool chosen() const { return chosen_; }
    // The chosen row: every column of the table but the passwords.
    const vl::shell::ASelectedRecord& chosenRecord() const { return chosenRecord_; }
    const EditorCore& core() const { return core_; }
    const vl::db::RowSet& rows() const { return rows_; }
    int currentRow() const;
    void setCurrentRow(int row);

    // ---- Actions (buttons and menu entries share them)
    void b_firstClick();
    void b_priorClick();
    void b_nextClick();
    void b_lastClick();
    void b_insertClick();
    void b_aktujClick();
    void b_editClick();
    bool b_postClick();
    void b_cancelClick();
    void b_deleteClick();
    void b_kivalasztClick();
    void VisszaClick();
    void frissit();
    void setActiveOnly(bool on);
    void setSearchOnEnter(bool on);
    void setSortField(const QString& field);
    void searchLocate(const QString& text);
    bool isModified() const;

    // ---- The generated panel
    QWidget* fieldControl(const QString& field) const;  // "E_" + field
    QLineEdit* fieldEdit(const QString& field) const;
    TParaButton* fieldButton(const QString& name) const; // "B_" + field or sorrend
    QLabel* infoField(int n, const QString& name) const; // "PF<n>_" + field
    // Text of a field's control; a null QString when the panel has no such field.
    QString fieldText(const QString& field) const;
    void setFieldText(const QString& field, const QString& text);
    QHash<QString, QString> panelTexts() const;

    // Exit checks and dictionary choice.
    bool validateField(QLineEdit* edit, QWidget* focusTarget);
    void dictionaryAutoLookup(QLineEdit* edit, QWidget* focusTarget);
    void chooseFromDictionary(TParaButton* b);
    void applySelection(TParaButton* b, const vl::shell::ASelectedRecord& rec);
    void paraButtonClick(TParaButton* b);
    void refreshPlusFields();
    void refreshPlusField(TParaButton* b);

    // ---- Controls
    QMenuBar* menu = nullptr;
    QWidget* p_buttons = nullptr;
    QLabel* l_state = nullptr;
    QPushButton *b_first = nullptr, *b_prior = nullptr, *b_next = nullptr, *b_last = nullptr;
    QPushButton *b_insert = nullptr, *b_delete = nullptr, *b_edit = nullptr, *b_aktuj = nullptr;
    QPushButton *b_post = nullptr, *b_cancel = nullptr, *b_kivalaszt = nullptr;
    // The buttons other subsystems add for this table (EditorButtons.h), on the right of p_topstat.
    QList<QPushButton*> extraButtons;
    QWidget* p_keres = nullptr;
    QComboBox* cb_sorrend = nullptr;
    QLineEdit* e_keres = nullptr;
    QLabel* l_enter = nullptr;
    QWidget* p_topstat = nullptr;
    QLabel *l_tablename = nullptr, *l_tetel = nullptr, *l_readonly = nullptr;
    QWidget* p_sbox = nullptr;
    QScrollArea* sb_data = nullptr;
    QWidget* p_grid = nullptr;
    QTableView* dbg_torzs = nullptr;
    QSplitter* splitter = nullptr;
    QMenu* adatkezeles = nullptr;
    QAction *elsotetel = nullptr, *elozotetel = nullptr, *kovetkezotetel = nullptr, *utolsotetel = nullptr,
            *frissitAct = nullptr;
    QAction *ujtetel = nullptr, *aktualisbolujat = nullptr, *modositas = nullptr, *torles = nullptr,
            *tarolas = nullptr, *megsem = nullptr;
    QAction *kepernyore = nullptr, *Nyomtatora = nullptr, *Teljeslistatblzatba1 = nullptr, *sajatlista = nullptr;
    QAction *csakaktiv = nullptr, *keresenter = nullptr, *Kivalaszt = nullptr, *Vissza = nullptr;

signals:
    void editorClosed();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUi();
    void buildPanel();
    void loadPanel();
    void clearPanel();
    void setPanelReadOnly(bool readOnly, bool rowExists);
    void applyDefaults(bool fromCaller);
    void setMode(EditMode m);
    void updateButtons();
    void placeExtraButtons();
    void reread(const QVariantList& locateKey = {});
    void resetGrid();
    void rowChanged();
    bool navigationAllowed();
    void chooseCurrent();
    void showList(bool print);
    void notReady(const QString& caption);
    void focusField(const QString& field);
    int panelHeightHint() const;

    EditorCore core_;
    vl::db::RowSet rows_;
    vl::db::RowSetModel* model_ = nullptr;
    QString fullName_, table_, panel_, panel2_;
    QString tableCaption_;
    Condition where_;
    QString searchText_;
    QStringList defaultNames_, defaultValues_;
    bool choiceMode_ = false;
    bool writableWanted_ = true;
    bool writable_ = true;
    bool rebuild_ = true;
    bool reopen_ = true;
    bool chosen_ = false;
    bool searchOnEnter_ = false;
    bool inSave_ = false;
    EditMode mode_ = EditMode::Closed;
    vl::shell::ASelectedRecord chosenRecord_;
    QList<QWidget*> panelControls_;
    QHash<QString, QWidget*> byName_;
    QList<QLabel*> infoFields_;
    int panelRowsUsed_ = 0;
    QString extraTable_;
    QString difolcTable_;
    QList<DifolcRow> difolcRows_;
};

} // namespace vl::framework
