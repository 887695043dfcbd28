#include "shell/ui/dialogs/overwrite_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "dialogs/overwrite.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/page_commands.h"
#include "shell/ui/ui_thread.h"

namespace vantor::ui {

COverwriteDlg::COverwriteDlg(const QString& name, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kOverwriteCaption));
    setModal(true);
    setFont(DialogFont(8));

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    auto* message = new QLabel(Q(OverwriteMessageText(S(name))), this);
    NameControl(message, kMessage);
    message->setWordWrap(true);
    message->setTextInteractionFlags(Qt::NoTextInteraction);
    auto* second = new QLabel(QString::fromLatin1(kOverwriteSecondLine), this);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    texts->addWidget(message);
    texts->addWidget(second);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->setSpacing(14);
    top->addWidget(icon);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto add = [&](const QString& text, int id, int code) {
        auto* b = new QPushButton(text, this);
        NameControl(b, id);
        b->setMinimumWidth(84);
        connect(b, &QPushButton::clicked, this, [this, code] { finish(code); });
        buttons->addWidget(b);
        return b;
    };
    add(QStringLiteral("Yes"), kYes, static_cast<int>(OverwriteAnswer::Yes))->setDefault(true);
    add(QStringLiteral("Yes to All"), kYesToAll, static_cast<int>(OverwriteAnswer::YesToAll));
    add(QStringLiteral("No"), kNo, static_cast<int>(OverwriteAnswer::No));
    add(QStringLiteral("Cancel"), kCancel, static_cast<int>(OverwriteAnswer::Cancel));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->setSpacing(16);
    layout->addLayout(top);
    layout->addLayout(buttons);
    setMinimumWidth(440);
    setFixedHeight(sizeHint().height());
}

void COverwriteDlg::finish(int code) {
    answer_ = code;
    done(code);
}

void COverwriteDlg::reject() { finish(static_cast<int>(OverwriteAnswer::Cancel)); }

CQtUserPrompt::CQtUserPrompt(QWidget* dialogParent, QObject* parent)
    : QObject(parent), dialogParent_(dialogParent) {}

void CQtUserPrompt::message(const std::string& text, const std::string& caption, ::vantor::MessageIcon icon) {
    MessageIcon shown = MessageIcon::None;
    switch (icon) {
        case ::vantor::MessageIcon::Information: shown = MessageIcon::Information; break;
        case ::vantor::MessageIcon::Warning: shown = MessageIcon::Warning; break;
        case ::vantor::MessageIcon::Error: shown = MessageIcon::Error; break;
        case ::vantor::MessageIcon::Question: shown = MessageIcon::Question; break;
        case ::vantor::MessageIcon::None: break;
    }
    BlockingCall(this, [&] { ShowMessage(dialogParent_.data(), Q(text), Q(caption), shown); });
}

OverwriteAnswer CQtUserPrompt::confirmOverwrite(const std::string& name) {
    OverwriteAnswer answer = OverwriteAnswer::Cancel;
    BlockingCall(this, [&] {
        COverwriteDlg dlg(Q(name), dialogParent_.data());
        dlg.exec();
        answer = dlg.answer();
    });
    return answer;
}

bool CQtUserPrompt::confirm(const std::string& text, const std::string& caption) {
    bool yes = false;
    BlockingCall(this, [&] {
        yes = QMessageBox::question(dialogParent_.data(), Q(caption), Q(text),
                                    QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    });
    return yes;
}

}  // namespace vantor::ui
