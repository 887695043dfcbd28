#include "shell/ui/home_view.h"

#include <QPainter>

#include "shell/page_ids.h"
#include "shell/ui/page_commands.h"
#include "shell/ui/skin.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/skin_category_list.h"
#include "shell/ui/tolam_app.h"
#include "shell/ui/window_message.h"

namespace vantor::ui {

namespace {

constexpr int kCmdHome = 1011;
constexpr int kCmdHelp = 1013;
constexpr int kCmdAbout = 1014;

struct TaskFace {
    int category;
    int command;
    int y;
    int faces[3];
};

// The task buttons each category shows, 568 x 71 at x 182.
constexpr TaskFace kTaskFaces[] = {
    {kCategoryDataRecovery, 600, 126, {250, 251, 252}},   // Deleted Recovery
    {kCategoryDataRecovery, 601, 207, {253, 254, 255}},   // Format Recovery
    {kCategoryDataRecovery, 602, 288, {243, 241, 242}},   // Partition Recovery
    {kCategoryDataRecovery, 603, 369, {244, 245, 246}},   // Raw Recovery
    {kCategoryEmailRepair, 602, 157, {311, 309, 310}},    // Email Recovery
    {kCategoryEmailRepair, 600, 247, {240, 260, 261}},    // Outlook Repair
    {kCategoryEmailRepair, 601, 337, {259, 257, 258}},    // Outlook Express Repair
};

const char* CreationFailureText(int page) {
    switch (page) {
        case kPageOutlookRepair: return "It was failed to create Email(OutLook) Repair window!!";
        case kPageOutlookExpressRepair: return "It was failed to create Email(OutLook Express) Repair window!!";
        case kPageEmailReport: return "It was failed to create Email Report window!!";
        default: return "It was failed to create drive view window!!";
    }
}

}  // namespace

CHomeView::CHomeView(CTolamApp& app, QWidget* parent)
    : QWidget(parent), app_(app), currentPageId_(kPageStart), category_(kCategoryNone) {
    setObjectName(QStringLiteral("CHomeView"));
    home_ = new CSkinButton(QStringLiteral("Home"), this, QRect(13, 9, 130, 94), kCmdHome);
    home_->SetFaces(156, 140, 294, 156);
    help_ = new CSkinButton(QStringLiteral("Help"), this, QRect(472, 9, 130, 94), kCmdHelp);
    help_->SetFaces(139, 138, 293, 139);
    about_ = new CSkinButton(QStringLiteral("About"), this, QRect(624, 9, 130, 94), kCmdAbout);
    about_->SetFaces(220, 219, 292, 220);
    connect(home_, &QAbstractButton::clicked, this, [] { OpenDocument(ProductHomePage()); });
    connect(help_, &QAbstractButton::clicked, this, [] { ShowHelp(); });
    connect(about_, &QAbstractButton::clicked, this, [this] { ShowProductPage(this); });

    for (int i = 0; i < kTaskButtonCount; ++i) {
        const int command = kFirstTaskCommand + i;
        tasks_[static_cast<size_t>(i)] = new CSkinButton(QStringLiteral("MenuItem"), this, QRect(182, 0, 568, 71), command);
        tasks_[static_cast<size_t>(i)]->hide();
        connect(tasks_[static_cast<size_t>(i)], &QAbstractButton::clicked, this, [this, command] { OnTaskButton(command); });
    }

    missingBack_ = new CSkinButton(QStringLiteral("Back"), this, WinRect(339, 330, 431, 362), 1024);
    missingBack_->SetFaces(160, 159, 210, 159);
    missingBack_->hide();
    connect(missingBack_, &QAbstractButton::clicked, this, [this] { SwitchPage(missingBackPage_, missingBackMode_); });

    categories_ = new CSkinCategoryList(this, WinRect(18, 107, 156, 469));
    categories_->addItem(QStringLiteral("Data Recovery"));
    categories_->addItem(QStringLiteral("Email Repair"));
}

CHomeView::~CHomeView() { DestroyPage(); }

CSkinButton* CHomeView::taskButton(int command) const {
    const int i = command - kFirstTaskCommand;
    if (i < 0 || i >= kTaskButtonCount) return nullptr;
    return tasks_[static_cast<size_t>(i)];
}

bool CHomeView::event(QEvent* event) {
    if (event->type() == WindowMessageEvent::eventType()) {
        auto* m = static_cast<WindowMessageEvent*>(event);
        if (m->message == kMsgSwitchPage) {
            SwitchPage(static_cast<int>(m->wParam), static_cast<int>(m->lParam));
            return true;
        }
        if (m->message == kMsgSelectCategory) {
            SelectCategory(static_cast<int>(m->wParam));
            return true;
        }
    }
    return QWidget::event(event);
}

void CHomeView::HideTaskButtons() {
    for (CSkinButton* b : tasks_) b->hide();
}

void CHomeView::ShowCategoryButtons() {
    HideTaskButtons();
    for (const TaskFace& t : kTaskFaces) {
        if (t.category != category_) continue;
        CSkinButton* b = taskButton(t.command);
        b->SetFaces(t.faces[0], t.faces[1], t.faces[2], 0);
        b->move(182, t.y);
        b->show();
    }
}

void CHomeView::SelectCategory(int index) {
    const int next = index == 0 ? kCategoryDataRecovery : index == 1 ? kCategoryEmailRepair : kCategoryNone;
    if (next == category_) return;
    category_ = next;
    ++panelRedraws_;
    update(WinRect(168, 107, 772, 772));
    ShowCategoryButtons();
}

void CHomeView::OnTaskButton(int command) {
    AppState& state = app_.state();
    state.fileTypeGroup = kFileTypeNone;
    HideTaskButtons();
    if (category_ == kCategoryDataRecovery) {
        switch (command) {
            case 600:
            case 604: SwitchPage(kPageDriveBrowser, kModeDeleted); return;
            case 601: SwitchPage(kPageDriveBrowser, kModeFormatted); return;
            case 602: SwitchPage(kPageResult, kModePartition); return;
            case 603: SwitchPage(kPageDriveBrowser, kModeRaw); return;
            default: return;
        }
    }
    if (category_ == kCategoryEmailRepair) {
        switch (command) {
            case 600: SwitchPage(kPageOutlookRepair, 0); return;
            case 601: SwitchPage(kPageOutlookExpressRepair, 0); return;
            case 602:
                state.fileTypeGroup = kFileTypeEmail;
                SwitchPage(kPageDriveBrowser, kModeDeleted);
                return;
            default: return;
        }
    }
}

void CHomeView::DestroyPage() {
    if (!currentPage_) return;
    QWidget* page = currentPage_;
    currentPage_ = nullptr;
    currentKind_ = PageKind::None;
    page->hide();
    delete page;
}

void CHomeView::ShowStartControls(bool on) {
    home_->setVisible(on);
    help_->setVisible(on);
    about_->setVisible(on);
    categories_->setVisible(on);
    if (on) {
        ShowCategoryButtons();
    } else {
        HideTaskButtons();
    }
}

void CHomeView::ShowMissingPage(int page, int mode, PageKind kind) {
    switch (kind) {
        case PageKind::PartitionRecovery: missingText_ = QStringLiteral("Partition Recovery"); break;
        case PageKind::RawResult: missingText_ = QStringLiteral("Raw Recovery"); break;
        case PageKind::ExtResult: missingText_ = QStringLiteral("Recovery on EXT2/EXT3 partitions"); break;
        case PageKind::FatResult: missingText_ = QStringLiteral("Recovery on FAT partitions"); break;
        case PageKind::OutlookRepair: missingText_ = QStringLiteral("Outlook Repair"); break;
        case PageKind::OutlookExpressRepair: missingText_ = QStringLiteral("Outlook Express Repair"); break;
        case PageKind::EmailReport: missingText_ = QStringLiteral("The repair report"); break;
        default: missingText_ = QStringLiteral("This page"); break;
    }
    missingText_ += QStringLiteral(" is not available in this version.");
    // Back leads where the page's own Back button would.
    const bool fromBrowser = page == kPageResult && (mode == kModeDeleted || mode == kModeFormatted || mode == kModeRaw);
    missingBackPage_ = fromBrowser ? kPageDriveBrowser : kPageStart;
    missingBackMode_ = fromBrowser ? mode : 1;
    missingBack_->show();
    missingBack_->raise();
}

void CHomeView::SwitchPage(int page, int mode) {
    DestroyPage();
    missingText_.clear();
    missingBack_->hide();
    currentPageId_ = page;
    if (page == kPageStart) {
        ShowStartControls(true);
        update();
        if (mode == 0) OpenDocument(ProductHomePage());
        return;
    }
    int fatKind = 0;
    const PageKind kind = ResolvePage(page, mode, app_.state().currentPartition.fileSystemName(), &fatKind);
    PageRequest request{app_, *this, this, page, mode, fatKind};
    bool hasFactory = false;
    QWidget* created = kind == PageKind::None ? nullptr : CreatePage(kind, request, hasFactory);
    if (!created) {
        if (hasFactory) {
            ShowMessage(this, QString::fromLatin1(CreationFailureText(page)), QString::fromLatin1(kAppTitle),
                        MessageIcon::None);
            return;  // the start-page controls stay as they were
        }
        ShowStartControls(false);
        ShowMissingPage(page, mode, kind);
        update();
        return;
    }
    currentPage_ = created;
    currentKind_ = kind;
    // The page is a bordered child filling the view; the view draws the border.
    created->setGeometry(rect().adjusted(1, 1, -1, -1));
    ShowStartControls(false);
    created->show();
    update();
}

void CHomeView::resizeEvent(QResizeEvent* event) {
    if (currentPage_) currentPage_->setGeometry(rect().adjusted(1, 1, -1, -1));
    QWidget::resizeEvent(event);
}

int CHomeView::PanelForCategory() {
    switch (category_) {
        case kCategoryDataRecovery: return 238;
        case kCategoryEmailRepair: return 239;
        case kCategoryNone: return 236;
        default: category_ = kCategoryNone; return 236;
    }
}

void CHomeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (currentPageId_ == kPageStart) {
        painter.drawPixmap(0, 1, SkinPixmap(213, QSize(772, 107)));
        painter.drawPixmap(0, 108, SkinPixmap(237, QSize(168, 362)));
        painter.drawPixmap(168, 108, SkinPixmap(PanelForCategory(), QSize(602, 362)));
        return;
    }
    painter.fillRect(rect(), kSkinNavy);
    if (missingText_.isEmpty()) return;
    painter.drawPixmap(0, 1, SkinPixmap(213, QSize(772, 107)));
    const QRect panel(0, 108, width(), height() - 108);
    QLinearGradient fill(panel.topLeft(), panel.bottomLeft());
    fill.setColorAt(0, QColor(0xF4, 0xF8, 0xFB));
    fill.setColorAt(1, QColor(0xE1, 0xEA, 0xF3));
    painter.fillRect(panel, fill);
    painter.fillRect(QRect(0, 108, width(), 3), kSkinAccent);
    painter.drawPixmap(width() / 2 - 24, 190, SkinPixmap(198, QSize(48, 48)));
    painter.setPen(kSkinInk);
    painter.setFont(SkinFont(11, true));
    painter.drawText(QRect(0, 252, width(), 24), Qt::AlignHCenter | Qt::AlignVCenter, missingText_);
    painter.setPen(kSkinMuted);
    painter.setFont(SkinFont(8));
    painter.drawText(QRect(0, 280, width(), 20), Qt::AlignHCenter | Qt::AlignVCenter,
                     QStringLiteral("It comes with a later release of the program."));
}

}  // namespace vantor::ui
