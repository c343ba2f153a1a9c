#include "TTextEditfm.h"

#include "FormConventions.h"
#include "FormRegistry.h"
#include "ReportPreview.h"
#include "Tmain_pkrfm.h"
#include "exchange/TextFile.h"
#include "util/MessageSink.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace vl::exchange {

QString TTextEditfm::SavedAsText(const QString& path) {
    return QStringLiteral("A szöveget mentettük ") + path + QStringLiteral(" néven");
}

QStringList TTextEditfm::SaveQuestionButtons() {
    return {QStringLiteral("Mentés és kilépés"), QStringLiteral("Kilépés mentés nélkül"),
            QStringLiteral("Szerkesztés folytatása")};
}

TTextEditfm::TTextEditfm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::WindowMaximizeButtonHint) {
    setObjectName(QStringLiteral("TTextEditfm"));
    setWindowTitle(QStringLiteral("Szöveges fájl szerkesztése"));
    setModal(true);

    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    // The menu stays in the window on every platform.
    MainMenu1->setNativeMenuBar(false);
    mm_file = MainMenu1->addMenu(QStringLiteral("File"));
    mm_file->setObjectName(QStringLiteral("mm_file"));
    mi_mentes = mm_file->addAction(QStringLiteral("Mentés"));
    mi_mentes->setObjectName(QStringLiteral("mi_mentes"));
    mi_mentesmaskent = mm_file->addAction(QStringLiteral("Mentés másként"));
    mi_mentesmaskent->setObjectName(QStringLiteral("mi_mentesmaskent"));
    mi_ujratoltes = mm_file->addAction(QStringLiteral("Újratöltés"));
    mi_ujratoltes->setObjectName(QStringLiteral("mi_ujratoltes"));
    mm_nyomtatas = MainMenu1->addMenu(QStringLiteral("Nyomtatás"));
    mm_nyomtatas->setObjectName(QStringLiteral("mm_nyomtatas"));
    mi_kepernyore = mm_nyomtatas->addAction(QStringLiteral("Képernyőre"));
    mi_kepernyore->setObjectName(QStringLiteral("mi_kepernyore"));
    mi_nyomtatora = mm_nyomtatas->addAction(QStringLiteral("Nyomtatóra"));
    mi_nyomtatora->setObjectName(QStringLiteral("mi_nyomtatora"));
    mi_vissza = MainMenu1->addAction(QStringLiteral("Vissza"));
    mi_vissza->setObjectName(QStringLiteral("mi_vissza"));

    auto* p_top = new QWidget(this);
    p_top->setObjectName(QStringLiteral("Panel1"));
    p_top->setFixedHeight(50);
    QFont bold = font();
    bold.setBold(true);
    p_top->setFont(bold);
    Button1 = new QPushButton(QStringLiteral("Mentés"), p_top);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    l_file = new QLabel(QStringLiteral("File"), p_top);
    l_file->setObjectName(QStringLiteral("l_file"));
    l_file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l_file->setMinimumWidth(40);
    l_file->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Button2 = new QPushButton(QStringLiteral("Vissza"), p_top);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setAutoDefault(false);
    auto* top = new QHBoxLayout(p_top);
    top->setContentsMargins(8, 4, 8, 4);
    top->addWidget(Button1);
    top->addSpacing(8);
    top->addWidget(l_file, 1);
    top->addSpacing(8);
    top->addWidget(Button2);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    QFont memoFont(QStringLiteral("Arial"));
    memoFont.setPixelSize(13);
    Memo1->setFont(memoFont);
    // A long line stays one line: it scrolls, it is not wrapped.
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    sd1 = new QFileDialog(this, QStringLiteral("Mentés másként"));
    sd1->setObjectName(QStringLiteral("sd1"));
    sd1->setOption(QFileDialog::DontUseNativeDialog, true);
    sd1->setAcceptMode(QFileDialog::AcceptSave);
    sd1->setFileMode(QFileDialog::AnyFile);
    sd1->setNameFilter(QStringLiteral("Szöveg file (*.TXT *.txt)"));
    sd1->setDefaultSuffix(QStringLiteral("TXT"));

    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(0, 0, 0, 0);
    all->setSpacing(0);
    all->setMenuBar(MainMenu1);
    all->addWidget(p_top);
    all->addWidget(Memo1, 1);

    // The buttons and the menu items of the same caption run the same action.
    connect(Button1, &QPushButton::clicked, this, [this] { Save(); });
    connect(mi_mentes, &QAction::triggered, this, [this] { Save(); });
    connect(mi_mentesmaskent, &QAction::triggered, this, [this] { SaveAs(); });
    connect(mi_ujratoltes, &QAction::triggered, this, [this] { Reload(); });
    connect(mi_kepernyore, &QAction::triggered, this, [this] { PrintPreview(); });
    connect(mi_nyomtatora, &QAction::triggered, this, [this] { PrintDirect(); });
    connect(Button2, &QPushButton::clicked, this, [this] { GoBack(); });
    connect(mi_vissza, &QAction::triggered, this, [this] { GoBack(); });

    resize(500, 482);
}

QStringList TTextEditfm::lines() const { return EditTextLines(Memo1->toPlainText()); }

bool TTextEditfm::modified() const { return Memo1->document()->isModified(); }

void TTextEditfm::showPath() { l_file->setText(fileName_); }

void TTextEditfm::FormShow() {
    showPath();
    Reload();
    Memo1->setFocus();
}

void TTextEditfm::Reload() {
    const TextLoad t = LoadTextFile(fileName_);
    Memo1->setPlainText(t.lines.join(QLatin1Char('\n')));
    Memo1->document()->setModified(false);
    Memo1->moveCursor(QTextCursor::Start);
    if (!t.error.isEmpty()) vl::notify(vl::MsgKind::Warning, t.error);
}

bool TTextEditfm::writeTo(const QString& path) {
    const TextSave r = SaveTextFile(path, lines());
    if (!r.ok) {
        vl::notify(vl::MsgKind::Error, r.error);
        return false;
    }
    Memo1->document()->setModified(false);
    return true;
}

bool TTextEditfm::Save() {
    const QList<Unencodable> missing = [&] {
        QList<Unencodable> u;
        EncodeTextLines(lines(), &u);
        return u;
    }();
    if (!writeTo(fileName_)) return false;
    vl::notify(vl::MsgKind::Info, SavedText());
    if (!missing.isEmpty()) vl::notify(vl::MsgKind::Warning, UnencodableText(missing));
    return true;
}

bool TTextEditfm::SaveAs() {
    QString proposed = LocalTextPath(fileName_);
    if (!proposed.isEmpty()) {
        const QFileInfo fi(proposed);
        if (fi.absoluteDir().exists()) sd1->setDirectory(fi.absolutePath());
        sd1->selectFile(fi.fileName());
    }
    if (sd1->exec() != QDialog::Accepted) return false;
    const QStringList chosen = sd1->selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) return false;
    fileName_ = WithTextSuffix(chosen.first());
    showPath();
    QList<Unencodable> missing;
    EncodeTextLines(lines(), &missing);
    if (!writeTo(fileName_)) return false;
    vl::notify(vl::MsgKind::Info, SavedAsText(fileName_));
    if (!missing.isEmpty()) vl::notify(vl::MsgKind::Warning, UnencodableText(missing));
    return true;
}

bool TTextEditfm::GoBack() {
    if (modified()) {
        const int answer = vl::ask(SaveQuestion(), vl::MsgKind::Question, SaveQuestionButtons());
        if (answer == 0) {
            if (!Save()) return false;   // a failed save keeps the editor open
        } else if (answer != 1) {
            return false;                // "Szerkesztés folytatása" (or no answer)
        }
    }
    closing_ = true;
    done(QDialog::Accepted);
    closing_ = false;
    return true;
}

void TTextEditfm::reject() { GoBack(); }

void TTextEditfm::closeEvent(QCloseEvent* e) {
    if (closing_ || !isVisible()) {
        e->accept();
        return;
    }
    // The window's close button acts as "Vissza".
    e->ignore();
    GoBack();
}

void TTextEditfm::PrintPreview() {
    vl::reporting::previewReport(TextPrintReport(lines(), fileName_), this);
}

void TTextEditfm::PrintDirect() {
    vl::reporting::printReport(TextPrintReport(lines(), fileName_), 1, this, false);
}

void registerTextEditorForm() {
    vl::shell::FormRegistry::instance().registerForm(
        QStringLiteral("TTextEditfm"), [](QWidget* parent, const QVariantMap& p) {
            // One editor for the whole run, reused at every showing.
            static QPointer<TTextEditfm> f;
            if (!f) {
                QWidget* owner = vl::shell::Tmain_pkrfm::instance();
                if (!owner && parent) owner = parent->window();
                f = new TTextEditfm(owner);
            }
            if (f->isVisible()) return vl::shell::FormResult{};
            f->setFileName(p.value(QStringLiteral("FileName")).toString());
            f->FormShow();
            vl::shell::ShowModal(f);
            vl::shell::FormResult r;
            r.accepted = true;
            r.values.insert(QStringLiteral("FileName"), f->fileName());
            return r;
        });
}

} // namespace vl::exchange
