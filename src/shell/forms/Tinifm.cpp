#include "Tinifm.h"
#include "FormConventions.h"
#include "shell/Ini.h"
#include "util/MessageSink.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace vl::shell {

Tinifm::Tinifm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Tinifm"));
    setWindowTitle(QStringLiteral("Beállítások (INI fájl szerkesztése)"));

    auto* top = new QWidget(this);
    top->setObjectName(QStringLiteral("p_fent"));
    Label1 = new QLabel(QStringLiteral("Változók megnevezései és a beállítandó értékek"), top);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    b_tarol = new QPushButton(QStringLiteral("Tárolás"), top);
    b_tarol->setObjectName(QStringLiteral("b_tarol"));
    b_vissza = new QPushButton(QStringLiteral("Vissza"), top);
    b_vissza->setObjectName(QStringLiteral("b_vissza"));
    auto* tl = new QHBoxLayout(top);
    tl->addWidget(Label1, 1);
    tl->addWidget(b_tarol);
    tl->addWidget(b_vissza);

    sbx = new QScrollArea(this);
    sbx->setObjectName(QStringLiteral("sbx"));
    sbx->setWidgetResizable(false);

    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(top);
    l->addWidget(sbx, 1);

    connect(b_tarol, &QPushButton::clicked, this, [this] { b_tarolClick(); });
    connect(b_vissza, &QPushButton::clicked, this, &QWidget::close);
    resize(780, 540);
}

void Tinifm::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    rebuild();
}

void Tinifm::rebuild() {
    delete rows_;
    rows_ = new QWidget;
    rows_->setObjectName(QStringLiteral("sbx_rows"));
    int fs = font().pointSize();
    if (fs <= 0) fs = 8;
    const int scrollWidth = sbx->viewport()->width() > 0 ? sbx->width() : 760;
    const TAIniValues& lines = IniLines();
    QFont bold = font();
    bold.setBold(true);
    int right = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const TInivalue& v = lines[i];
        auto* lab = new QLabel(QStringLiteral(" ") + v.key, rows_);
        lab->setObjectName(QStringLiteral("L_") + v.key);
        lab->setFont(bold);
        lab->setAutoFillBackground(true);
        QPalette p = lab->palette();
        p.setColor(QPalette::Window, p.color(QPalette::ToolTipBase));
        p.setColor(QPalette::WindowText, p.color(QPalette::ToolTipText));
        lab->setPalette(p);
        lab->setGeometry(8, i * 22 + 4, 40 * fs - 80, 16);

        auto* e = new QLineEdit(v.value, rows_);
        e->setObjectName(QStringLiteral("E_") + v.key);
        e->setToolTip(v.comment);
        // A password is edited masked, in a box whose width does not tell its length.
        const bool secret = IniIsSecretKey(v.key);
        if (secret) e->setEchoMode(QLineEdit::Password);
        const int left = 40 * fs - 60;
        int w = std::max(36, int((secret ? 16 : v.value.size()) + 1) * (fs + 1));
        const int limit = scrollWidth - 21;
        if (left + w + fs > limit) w = std::max(36, limit - fs - left);
        e->setGeometry(left, i * 22 + 1, w, 20);
        e->setCursorPosition(0);
        right = std::max(right, left + w + 4);
    }
    rows_->resize(std::max(right, 8), int(lines.size()) * 22 + 4);
    sbx->setWidget(rows_);
    FormConventions::install(rows_);
}

bool Tinifm::b_tarolClick() {
    if (vl::ask(QStringLiteral("Biztos, hogy tárolja a paramétertáblát?"), vl::MsgKind::Question,
                {QStringLiteral("Igen"), QStringLiteral("Nem")}) != 0)
        return false;
    // The values typed into the edit boxes go into the table first; the store
    // then rewrites only the lines whose value changed, each in its own file,
    // and keeps include lines, comments and the macros of unchanged values.
    const TAIniValues lines = IniLines();
    for (const TInivalue& v : lines) {
        auto* e = rows_ ? rows_->findChild<QLineEdit*>(QStringLiteral("E_") + v.key) : nullptr;
        if (e && e->text() != v.value) IniWrite(v.key, e->text(), v.comment);
    }
    QString error;
    if (!IniStore(&error)) {
        vl::notify(vl::MsgKind::Error, error);
        return false;
    }
    return true;
}

} // namespace vl::shell
