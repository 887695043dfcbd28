#include "shell/ui/main_frame.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

#include "shell/ui/home_view.h"
#include "shell/ui/page_commands.h"
#include "shell/ui/skin.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"

namespace vantor::ui {

namespace {
constexpr int kCmdMinimize = 1001;
constexpr int kCmdClose = 1002;
}  // namespace

CMainFrame::CMainFrame(CTolamApp& app, QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("CMainFrame"));
    setFixedSize(kFrameWidth, kFrameHeight);
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setWindowIcon(QIcon(SkinPixmap(198)));
    if (QScreen* screen = QGuiApplication::primaryScreen()) move(CentredPosition(screen->availableGeometry()));

    const int right = width();
    minimize_ = new CSkinButton(QStringLiteral("Minimize"), this, WinRect(right - 58, 6, right - 38, 23),
                                kCmdMinimize);
    minimize_->SetFaces(158, 157, 157, 158);
    close_ = new CSkinButton(QStringLiteral("Close"), this, WinRect(right - 30, 6, right - 10, 23),
                             kCmdClose);
    close_->SetFaces(131, 130, 130, 131);
    connect(minimize_, &QAbstractButton::clicked, this, [this] { showMinimized(); });
    connect(close_, &QAbstractButton::clicked, this, [this] { close(); });

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [] { ShowHelp(); });

    view_ = new CHomeView(app, this);
    view_->setGeometry(0, kCaptionHeight, width(), height() - kCaptionHeight);
}

QPoint CMainFrame::CentredPosition(const QRect& workArea) {
    return {workArea.x() + (workArea.width() - kFrameWidth) / 2, workArea.y() + (workArea.height() - kFrameHeight) / 2};
}

void CMainFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, SkinPixmap(212, QSize(770, 36)));
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    if (view_) view_->setGeometry(0, kCaptionHeight, width(), height() - kCaptionHeight);
    QWidget::resizeEvent(event);
}

// Every spot of the frame that no child covers is caption: it drags the window.
void CMainFrame::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    if (QWindow* w = windowHandle(); w && w->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CMainFrame::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_) move(event->globalPosition().toPoint() - dragOffset_);
    QWidget::mouseMoveEvent(event);
}

void CMainFrame::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

}  // namespace vantor::ui
