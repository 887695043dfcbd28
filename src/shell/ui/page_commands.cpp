#include "shell/ui/page_commands.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QWidget>

#include "shell/page_ids.h"
#include "shell/ui/about_dialog.h"
#include "shell/ui/home_view.h"
#include "shell/ui/window_message.h"

namespace vantor::ui {

namespace {

MessageHook& MessageHookSlot() {
    static MessageHook hook;
    return hook;
}

std::function<void(const QUrl&)>& OpenHookSlot() {
    static std::function<void(const QUrl&)> hook;
    return hook;
}

}  // namespace

void ShowMessage(QWidget* parent, const QString& text, const QString& caption, MessageIcon icon) {
    if (MessageHookSlot()) {
        MessageHookSlot()(parent, text, caption, icon);
        return;
    }
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    // A failure list of thousands of lines would outgrow the screen: the
    // first lines show, the whole text goes under "Show Details...".
    constexpr int kShownLines = 25;
    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() > kShownLines) {
        box.setText(lines.mid(0, kShownLines).join(QLatin1Char('\n')) +
                    QStringLiteral("\n... (%1 more lines)").arg(lines.size() - kShownLines));
        box.setDetailedText(text);
    } else {
        box.setText(text);
    }
    switch (icon) {
        case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
        case MessageIcon::None: break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void ShowWorkSummary(QWidget* parent, const QString& text, const QString& caption, const QString& folder) {
    if (MessageHookSlot()) {
        MessageHookSlot()(parent, text, caption, MessageIcon::Information);
        return;
    }
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon(QMessageBox::Information);
    QPushButton* open = folder.isEmpty() ? nullptr : box.addButton(QStringLiteral("Open Folder"), QMessageBox::ActionRole);
    box.addButton(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    if (open && box.clickedButton() == open) OpenDocument(QUrl::fromLocalFile(folder));
}

void SetMessageHook(MessageHook hook) { MessageHookSlot() = std::move(hook); }

void OpenDocument(const QUrl& url) {
    if (url.isEmpty()) return;
    if (OpenHookSlot()) {
        OpenHookSlot()(url);
        return;
    }
    if (QDesktopServices::openUrl(url) || !url.isLocalFile()) return;
    // No browser on this machine: show the shipped HTML help in a window of our own.
    ShowHelpWindow(url);
}

QWidget* ShowHelpWindow(const QUrl& url) {
    auto* viewer = new QTextBrowser;
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setWindowTitle(QStringLiteral("Help"));
    viewer->setOpenExternalLinks(false);
    viewer->setSearchPaths({QFileInfo(url.toLocalFile()).absolutePath()});
    viewer->setSource(url);
    viewer->resize(720, 560);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), viewer);
    QObject::connect(close, &QShortcut::activated, viewer, &QWidget::close);
    viewer->show();
    return viewer;
}

void SetOpenDocumentHook(std::function<void(const QUrl&)> hook) { OpenHookSlot() = std::move(hook); }

CHomeView* HostOf(QWidget* page) {
    for (QWidget* w = page; w; w = w->parentWidget()) {
        if (auto* host = qobject_cast<CHomeView*>(w)) return host;
    }
    return nullptr;
}

void RequestPage(QWidget* page, int pageNumber, int mode) {
    SendWindowMessage(HostOf(page), kMsgSwitchPage, pageNumber, mode);
}

void GoHome(QWidget* page) { RequestPage(page, kPageStart, 0); }
void GoBackToStart(QWidget* page) { RequestPage(page, kPageStart, 1); }
void GoBackToBrowser(QWidget* page, int mode) { RequestPage(page, kPageDriveBrowser, mode); }
void GoNext(QWidget* page, int mode) { RequestPage(page, kPageResult, mode); }

QString HelpIndexPath() {
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/help/index.html");
    if (QFileInfo::exists(beside)) return beside;
    return QStringLiteral(VANTOR_SOURCE_HELP_DIR "/index.html");
}

void ShowHelp() { OpenDocument(QUrl::fromLocalFile(HelpIndexPath())); }

void ShowProductPage(QWidget* parent) {
    CAboutDialog about(parent);
    about.exec();
}

QUrl ProductHomePage() { return {}; }

}  // namespace vantor::ui
