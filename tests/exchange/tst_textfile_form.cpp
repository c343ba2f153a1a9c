// The text file editor "Szöveges fájl szerkesztése": opened by name with a
// path, saved, saved under another name, reloaded, closed with the three-way
// question answered on the message form (buttons found by objectName), a
// failed save that keeps the text and its modified flag, the preview.
#include "FormRegistry.h"
#include "ReportPreview.h"
#include "TTextEditfm.h"
#include "Tmsgfm.h"
#include "exchange/TextFile.h"
#include "util/MessageSink.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

using vl::exchange::TTextEditfm;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Runs action on the first visible top-level widget of that object name as
// soon as it shows up (while a modal loop runs).
void whenShown(const QString& objectName, std::function<void(QWidget*)> action, int triesLeft = 3000) {
    QTimer::singleShot(10, [=]() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == objectName && w->isVisible()) {
                action(w);
                return;
            }
        if (triesLeft > 0) whenShown(objectName, action, triesLeft - 1);
    });
}

// Notices are recorded; questions go to the real message form, whose buttons
// the tests press.
struct FormSink : vl::MessageSink {
    QStringList notices;
    QStringList questions;
    void notify(vl::MsgKind, const QString& text) override { notices << text; }
    int ask(const QString& text, vl::MsgKind kind, const QStringList& buttons) override {
        questions << text;
        return vl::shell::ShowMessageForm(text, vl::shell::GuiMessageSink::kindNumber(kind), buttons);
    }
};

// Answers the next message form by pressing b_msg<n>; records what it showed.
struct Answer {
    QString caption;
    QStringList buttons;
    bool seen = false;
};
void answerWith(int button, Answer* seen) {
    whenShown(QStringLiteral("Tmsgfm"), [=](QWidget* f) {
        seen->seen = true;
        seen->caption = f->windowTitle();
        for (int i = 0; i < 3; ++i)
            if (auto* b = f->findChild<QPushButton*>(QStringLiteral("b_msg%1").arg(i)))
                seen->buttons << b->text().remove(QLatin1Char('&'));
        QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("b_msg%1").arg(button)), Qt::LeftButton);
    });
}

void typeInto(QPlainTextEdit* memo, const QString& text) {
    memo->setFocus();
    memo->moveCursor(QTextCursor::End);
    // Keys for what a keyboard types plainly, the cursor for the rest.
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f) QTest::keyClick(memo, c.toLatin1());
        else if (c == QLatin1Char('\n')) QTest::keyClick(memo, Qt::Key_Return);
        else memo->textCursor().insertText(QString(c));
    }
}

} // namespace

class TstTextFileForm : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    FormSink sink;
    std::unique_ptr<vl::ScopedSink> scoped;

    TTextEditfm* shownOn(const QString& path) {
        auto* f = new TTextEditfm;
        f->setAttribute(Qt::WA_DeleteOnClose, false);
        f->setFileName(path);
        f->FormShow();
        f->show();
        return f;
    }

private slots:
    void initTestCase() { scoped = std::make_unique<vl::ScopedSink>(&sink); }
    void init() {
        sink.notices.clear();
        sink.questions.clear();
    }

    // The form as the panels' 'TEXT' button opens it: by name, with the path;
    // modal; l_file shows the path and Memo1 the file; an unchanged text
    // closes without a question.
    void opensByNameWithThePath() {
        const QString path = dir.filePath(QStringLiteral("arak.txt"));
        writeAll(path, QByteArray("Ny\xE1ri \xE1rak\r\nKabin: 12 000 Ft\r\n"));
        vl::exchange::registerTextEditorForm();
        QString caption, label, text;
        bool wrapped = true, modal = false, menus = false;
        whenShown(QStringLiteral("TTextEditfm"), [&](QWidget* w) {
            auto* f = static_cast<TTextEditfm*>(w);
            caption = f->windowTitle();
            label = f->findChild<QLabel*>(QStringLiteral("l_file"))->text();
            text = f->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText();
            wrapped = f->Memo1->lineWrapMode() != QPlainTextEdit::NoWrap;
            modal = f->isModal();
            QStringList items;
            for (const char* n : {"mi_mentes", "mi_mentesmaskent", "mi_ujratoltes", "mi_kepernyore", "mi_nyomtatora", "mi_vissza"})
                if (auto* a = f->findChild<QAction*>(QLatin1String(n))) items << a->text();
            menus = items == QStringList{"Mentés", "Mentés másként", "Újratöltés", "Képernyőre", "Nyomtatóra", "Vissza"};
            QTest::mouseClick(f->findChild<QPushButton*>(QStringLiteral("Button2")), Qt::LeftButton);
        });
        const auto r = vl::shell::openForm(QStringLiteral("TTextEditfm"), {{QStringLiteral("FileName"), path}});
        QVERIFY(r.accepted);
        QCOMPARE(caption, QStringLiteral("Szöveges fájl szerkesztése"));
        QCOMPARE(label, path);
        QCOMPARE(text, QStringLiteral("Nyári árak\nKabin: 12 000 Ft"));
        QVERIFY(!wrapped);
        QVERIFY(modal);
        QVERIFY(menus);
        QVERIFY(sink.questions.isEmpty());
        QVERIFY(sink.notices.isEmpty());
    }

    // A changed text asks "Menti a változtatásokat?" with the three buttons,
    // whichever way the editor is left; the answers: save and close, close
    // without saving, go on editing with every change kept.
    void threeAnswers_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("notices");
        const QByteArray before("els\xF5 sor\r\n");
        const QByteArray after("els\xF5 sor\r\nm\xE1sodik\r\n");
        QTest::newRow("Button2, save and close") << "Button2" << 0 << true << after << QStringList{"A szöveget mentettük"};
        QTest::newRow("menu, close without saving") << "mi_vissza" << 1 << true << before << QStringList{};
        QTest::newRow("window close, go on editing") << "close" << 2 << false << before << QStringList{};
        QTest::newRow("window close, save and close") << "close" << 0 << true << after << QStringList{"A szöveget mentettük"};
        QTest::newRow("Escape, go on editing") << "escape" << 2 << false << before << QStringList{};
    }
    void threeAnswers() {
        QFETCH(QString, how);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, notices);
        const QString path = dir.filePath(QStringLiteral("level.txt"));
        writeAll(path, QByteArray("els\xF5 sor\r\n"));
        std::unique_ptr<TTextEditfm> f(shownOn(path));
        QVERIFY(!f->modified());
        typeInto(f->Memo1, QStringLiteral("\nmásodik"));
        QVERIFY(f->modified());
#ifdef VL_OUT_DIR
        if (how == QStringLiteral("Button2")) {
            QDir().mkpath(QStringLiteral(VL_OUT_DIR));
            f->grab().save(QStringLiteral(VL_OUT_DIR "/TTextEditfm.png"));
        }
#endif
        Answer seen;
        answerWith(answer, &seen);
        if (how == QStringLiteral("Button2")) QTest::mouseClick(f->Button2, Qt::LeftButton);
        else if (how == QStringLiteral("mi_vissza")) f->findChild<QAction*>(how)->trigger();
        else if (how == QStringLiteral("escape")) QTest::keyClick(f->Memo1, Qt::Key_Escape);
        else f->close();
        QVERIFY(seen.seen);
        QCOMPARE(sink.questions, QStringList{"Menti a változtatásokat?"});
        QCOMPARE(seen.caption, QStringLiteral("   Kérem, döntsön!"));
        QCOMPARE(seen.buttons, (QStringList{"Mentés és kilépés", "Kilépés mentés nélkül", "Szerkesztés folytatása"}));
        QCOMPARE(!f->isVisible(), closed);
        QCOMPARE(readAll(path), file);
        QCOMPARE(sink.notices, notices);
        if (!closed) {
            QCOMPARE(f->Memo1->toPlainText(), QStringLiteral("első sor\nmásodik"));
            QVERIFY(f->modified());
        }
    }

    // A save that cannot create the file shows why, keeps the text and the
    // modified flag, and a "save and close" then keeps the editor open.
    void failedSaveKeepsTextAndFlag() {
        const QString path = dir.filePath(QStringLiteral("nincs/level.txt"));
        std::unique_ptr<TTextEditfm> f(shownOn(path));
        QCOMPARE(f->Memo1->toPlainText(), QString());   // no file: an empty text, no error
        QVERIFY(sink.notices.isEmpty());
        typeInto(f->Memo1, QStringLiteral("új szöveg"));
        QTest::mouseClick(f->Button1, Qt::LeftButton);
        QCOMPARE(sink.notices, QStringList{QStringLiteral("A(z) \"%1\" fájl nem hozható létre: a mappa nem létezik: %2.")
                                               .arg(path, dir.filePath(QStringLiteral("nincs")))});
        QVERIFY(f->modified());
        QVERIFY(!QFile::exists(path));
        Answer seen;
        answerWith(0, &seen);
        QTest::mouseClick(f->Button2, Qt::LeftButton);
        QVERIFY(seen.seen);
        QVERIFY(f->isVisible());
        QVERIFY(f->modified());
        QCOMPARE(f->Memo1->toPlainText(), QStringLiteral("új szöveg"));
        // A drive-letter path is refused on showing and on saving; no odd file appears.
        sink.notices.clear();
        f->setFileName(QStringLiteral("C:\\LEVEL\\level.txt"));
        f->FormShow();
        QCOMPARE(sink.notices.size(), 1);
        QVERIFY(sink.notices.first().contains(QStringLiteral("meghajtóbetűvel kezdődik")));
        typeInto(f->Memo1, QStringLiteral("x"));
        f->Save();
        QCOMPARE(sink.notices.size(), 2);
        QVERIFY(f->modified());
        QVERIFY(QDir::current().entryList({QStringLiteral("C:*")}).isEmpty());
        f->Memo1->document()->setModified(false);
        f->close();
    }

    // A path without a file opens empty; "Mentés" creates it; the confirmation;
    // a character windows-1250 cannot hold is reported after the save.
    void newFileAndUnencodable() {
        const QString path = dir.filePath(QStringLiteral("uj.txt"));
        std::unique_ptr<TTextEditfm> f(shownOn(path));
        typeInto(f->Memo1, QStringLiteral("Kész ✓"));
        f->findChild<QAction*>(QStringLiteral("mi_mentes"))->trigger();
        QCOMPARE(readAll(path), QByteArray("K\xE9sz ?\r\n"));
        QCOMPARE(sink.notices.size(), 2);
        QCOMPARE(sink.notices.at(0), QStringLiteral("A szöveget mentettük"));
        QVERIFY2(sink.notices.at(1).contains(QStringLiteral("1. sor 6. karakter: „✓” (U+2713)")), qPrintable(sink.notices.at(1)));
        QVERIFY(!f->modified());
        f->close();
        QVERIFY(!f->isVisible());
        QVERIFY(sink.questions.isEmpty());
    }

    // "Mentés másként": the dialog proposes the current name; a name without
    // an extension gets ".TXT"; the label and later saves use the new name, the
    // old file stays; cancelling changes nothing.
    void saveAsAndReload() {
        const QString path = dir.filePath(QStringLiteral("regi.txt"));
        writeAll(path, QByteArray("r\xE9gi\r\n"));
        std::unique_ptr<TTextEditfm> f(shownOn(path));
        typeInto(f->Memo1, QStringLiteral(" és új"));
        QString proposed;
        whenShown(QStringLiteral("sd1"), [&](QWidget* w) {
            auto* d = static_cast<QFileDialog*>(w);
            proposed = d->selectedFiles().value(0);
            d->reject();
        });
        QVERIFY(!f->SaveAs());
        QCOMPARE(proposed, path);
        QCOMPARE(f->fileName(), path);
        QVERIFY(f->modified());

        const QString target = dir.filePath(QStringLiteral("masik"));
        whenShown(QStringLiteral("sd1"), [&](QWidget* w) {
            auto* d = static_cast<QFileDialog*>(w);
            // The name typed without an extension, in the dialog's folder.
            d->setDirectory(dir.path());
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("masik"));
            static_cast<QDialog*>(d)->accept();
        });
        f->findChild<QAction*>(QStringLiteral("mi_mentesmaskent"))->trigger();
        const QString saved = target + QStringLiteral(".TXT");
        QCOMPARE(f->fileName(), saved);
        QCOMPARE(f->l_file->text(), saved);
        QCOMPARE(sink.notices.value(0), QStringLiteral("A szöveget mentettük ") + saved + QStringLiteral(" néven"));
        QCOMPARE(readAll(saved), QByteArray("r\xE9gi \xE9s \xFAj\r\n"));
        QCOMPARE(readAll(path), QByteArray("r\xE9gi\r\n"));
        QVERIFY(!f->modified());

        // "Újratöltés" after edits restores the stored text without asking.
        typeInto(f->Memo1, QStringLiteral(" elveszik"));
        f->findChild<QAction*>(QStringLiteral("mi_ujratoltes"))->trigger();
        QCOMPARE(f->Memo1->toPlainText(), QStringLiteral("régi és új"));
        QVERIFY(!f->modified());
        QVERIFY(sink.questions.isEmpty());
        // Later "Mentés" commands write the new name.
        typeInto(f->Memo1, QStringLiteral("!"));
        QTest::mouseClick(f->Button1, Qt::LeftButton);
        QCOMPARE(readAll(saved), QByteArray("r\xE9gi \xE9s \xFAj!\r\n"));
        QCOMPARE(readAll(path), QByteArray("r\xE9gi\r\n"));
        f->close();
    }

    // "Képernyőre": the memo's lines in the preview of TqrTextNez.
    void preview() {
        const QString path = dir.filePath(QStringLiteral("nyomtat.txt"));
        writeAll(path, QByteArray("Els\xF5 sor\r\nM\xE1sodik sor\r\n"));
        std::unique_ptr<TTextEditfm> f(shownOn(path));
        QStringList texts;
        whenShown(QStringLiteral("TqrPreviewfm"), [&](QWidget* w) {
            auto* p = static_cast<vl::reporting::ReportPreview*>(w);
            texts = p->document().pageTexts(0);
            p->close();
        });
        f->findChild<QAction*>(QStringLiteral("mi_kepernyore"))->trigger();
        QCOMPARE(texts.join(QLatin1Char('|')), QStringLiteral("Első sor\nMásodik sor"));
        f->close();
    }
};

QTEST_MAIN(TstTextFileForm)
#include "tst_textfile_form.moc"
