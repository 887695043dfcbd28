#include "shell/ui/about_dialog.h"

#include <QPainter>

#include "shell/ui/skin.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"

namespace vantor::ui {

namespace {
constexpr int kWidth = 420;
constexpr int kHeight = 250;
}  // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(kWidth, kHeight);
    auto* ok = new CSkinButton(QStringLiteral("OK"), this, QRect(kWidth - 92 - 20, kHeight - 32 - 16, 92, 32), 1);
    ok->SetFaces(425, 426, 427, 425);
    connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
}

void CAboutDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, SkinPixmap(424, QSize(kWidth, kHeight)));
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(kSkinInk);
    p.setFont(SkinFont(8));
    const QRect body(24, 104, kWidth - 48, 90);
    p.drawText(body, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Version 2.0\n\nRecovers deleted and formatted files from FAT, exFAT, NTFS and EXT partitions "
                              "and from disk images, carves files by type, restores lost partitions and "
                              "repairs Outlook and Outlook Express mail stores.\nThe scanned drive is only ever read."));
}

}  // namespace vantor::ui
