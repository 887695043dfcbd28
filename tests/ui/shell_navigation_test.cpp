// The start page and page switching: category selection, which task button
// leads where, the page table, and that a switch destroys the old page.
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "shell/page_ids.h"
#include "shell/ui/drive_browser.h"
#include "shell/ui/ext/ext_page.h"
#include "shell/ui/home_view.h"
#include "shell/ui/main_frame.h"
#include "shell/ui/page_commands.h"
#include "shell/ui/page_host.h"
#include "shell/ui/partition/partition_page.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/skin_category_list.h"
#include "shell/ui/tolam_app.h"
#include "shell/ui/window_message.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

class ShellNavigation : public ::testing::Test {
protected:
    void SetUp() override {
        StartOptions options;
        options.images << uitest::FixturePath(QStringLiteral("sample-disk.img"));
        ASSERT_TRUE(app.StartUp(options));
        view = app.mainFrame()->view();
    }
    std::vector<int> visibleTasks() const {
        std::vector<int> out;
        for (int c = 600; c <= 606; ++c) {
            if (!view->taskButton(c)->isHidden()) out.push_back(c);
        }
        return out;
    }

    uitest::ShellRecorder recorder;
    CTolamApp app;
    CHomeView* view = nullptr;
};

}  // namespace

TEST_F(ShellNavigation, StartsOnTheStartPageWithoutCategory) {
    EXPECT_EQ(view->currentPageId(), kPageStart);
    EXPECT_EQ(view->category(), kCategoryNone);
    EXPECT_EQ(view->currentPage(), nullptr);
    EXPECT_TRUE(visibleTasks().empty());
    EXPECT_EQ(app.mainFrame()->size(), QSize(770, 505));
    EXPECT_EQ(view->geometry(), QRect(0, 35, 770, 470));
    EXPECT_TRUE(app.mainFrame()->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(app.mainFrame()->minimizeButton()->geometry(), QRect(712, 6, 20, 17));
    EXPECT_EQ(app.mainFrame()->closeButton()->geometry(), QRect(740, 6, 20, 17));
    EXPECT_EQ(CMainFrame::CentredPosition(QRect(0, 0, 1280, 1000)), QPoint(255, 247));
}

TEST_F(ShellNavigation, CategoryListShowsEachCategorysTasks) {
    view->categoryList()->setCurrentRow(0);  // the list reports WM_USER + 16
    EXPECT_EQ(view->category(), kCategoryDataRecovery);
    EXPECT_EQ(visibleTasks(), (std::vector<int>{600, 601, 602, 603}));
    EXPECT_EQ(view->taskButton(600)->geometry(), QRect(182, 126, 568, 71));
    EXPECT_EQ(view->taskButton(603)->geometry(), QRect(182, 369, 568, 71));
    EXPECT_EQ(view->taskButton(602)->faceNumber(CSkinButton::Face::Normal), 243);

    view->categoryList()->setCurrentRow(1);
    EXPECT_EQ(view->category(), kCategoryEmailRepair);
    EXPECT_EQ(visibleTasks(), (std::vector<int>{600, 601, 602}));
    // The same command carries another task's faces here.
    EXPECT_EQ(view->taskButton(602)->faceNumber(CSkinButton::Face::Normal), 311);
    EXPECT_EQ(view->taskButton(602)->geometry().top(), 157);
    EXPECT_EQ(view->taskButton(600)->faceNumber(CSkinButton::Face::Hover), 261);
}

TEST_F(ShellNavigation, SelectingTheSameCategoryAgainDoesNotRedraw) {
    view->SelectCategory(0);
    const int redraws = view->panelRedraws();
    view->SelectCategory(0);
    EXPECT_EQ(view->panelRedraws(), redraws);
    view->SelectCategory(7);  // anything else: no category
    EXPECT_EQ(view->category(), kCategoryNone);
    EXPECT_TRUE(visibleTasks().empty());
}

TEST_F(ShellNavigation, DataRecoveryTasksOpenTheDriveBrowserInTheirMode) {
    const std::pair<int, int> routes[] = {{600, kModeDeleted}, {601, kModeFormatted}, {603, kModeRaw}};
    for (auto [command, mode] : routes) {
        SCOPED_TRACE(command);
        view->SwitchPage(kPageStart, 1);
        view->SelectCategory(0);
        QTest::mouseClick(view->taskButton(command), Qt::LeftButton);
        EXPECT_EQ(view->currentPageId(), kPageDriveBrowser);
        auto* browser = qobject_cast<CDriveBrowser*>(view->currentPage());
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->mode(), mode);
        EXPECT_EQ(browser->geometry(), view->rect().adjusted(1, 1, -1, -1));
        EXPECT_TRUE(view->homeButton()->isHidden());
        EXPECT_TRUE(view->categoryList()->isHidden());
        EXPECT_TRUE(visibleTasks().empty());
    }
}

TEST_F(ShellNavigation, EmailRecoveryScansMailFilesAndTheNextTaskForgetsIt) {
    view->SelectCategory(1);
    view->OnTaskButton(602);
    EXPECT_EQ(view->currentPageId(), kPageDriveBrowser);
    ASSERT_NE(qobject_cast<CDriveBrowser*>(view->currentPage()), nullptr);
    EXPECT_EQ(qobject_cast<CDriveBrowser*>(view->currentPage())->mode(), kModeDeleted);
    EXPECT_EQ(app.state().fileTypeGroup, kFileTypeEmail);

    view->SwitchPage(kPageStart, 1);
    view->SelectCategory(0);
    view->OnTaskButton(600);
    EXPECT_EQ(app.state().fileTypeGroup, kFileTypeNone);
}

TEST_F(ShellNavigation, PartitionRecoveryOpensItsPageAndBackLeadsToTheStart) {
    view->SelectCategory(0);
    view->OnTaskButton(602);  // page 103, mode 10001
    EXPECT_EQ(view->currentPageId(), kPageResult);
    auto* page = qobject_cast<CPartitionPage*>(view->currentPage());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->geometry(), view->rect().adjusted(1, 1, -1, -1));
    EXPECT_TRUE(view->homeButton()->isHidden());
    EXPECT_EQ(page->recoveryButton()->geometry(), QRect(page->width() - 145, 169, 117, 34));
    EXPECT_EQ(page->backupButton()->geometry(), QRect(page->width() - 120, 125, 92, 29));
    CSkinButton* back = nullptr;
    for (auto* b : page->findChildren<CSkinButton*>())
        if (b->commandId() == 10605) back = b;
    ASSERT_NE(back, nullptr);
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_EQ(view->currentPageId(), kPageStart);
    EXPECT_EQ(visibleTasks(), (std::vector<int>{600, 601, 602, 603}));
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(ShellNavigation, PagesWithoutAnImplementationCreateNoPage) {
    PartitionRecord ext;  // EXT has no formatted-files page
    ext.setFileSystem("EXT3");
    app.state().selectPartition(ext);
    view->SwitchPage(kPageResult, kModeFormatted);
    EXPECT_EQ(view->currentPageId(), kPageResult);
    EXPECT_EQ(view->currentPage(), nullptr);
    EXPECT_TRUE(recorder.messages.empty());  // "no page" is not a failure
    view->SwitchPage(4711, 0);
    EXPECT_EQ(view->currentPage(), nullptr);
}

TEST_F(ShellNavigation, UnknownCombinationsOfCategoryAndCommandDoNothing) {
    view->OnTaskButton(600);  // no category chosen yet
    EXPECT_EQ(view->currentPageId(), kPageStart);
    view->SelectCategory(1);
    view->OnTaskButton(603);
    EXPECT_EQ(view->currentPageId(), kPageStart);
}

TEST_F(ShellNavigation, SwitchDestroysTheOldPageFirst) {
    view->SwitchPage(kPageDriveBrowser, kModeDeleted);
    QPointer<QWidget> first = view->currentPage();
    ASSERT_TRUE(first);
    // The page's own request, through the message a page sends.
    SendWindowMessage(view, kMsgSwitchPage, kPageDriveBrowser, kModeRaw);
    EXPECT_TRUE(first.isNull());
    auto* second = qobject_cast<CDriveBrowser*>(view->currentPage());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->mode(), kModeRaw);
    EXPECT_EQ(view->findChildren<CDriveBrowser*>().size(), 1);
}

TEST_F(ShellNavigation, BackAndHomeReturnToTheStartPage) {
    view->SelectCategory(0);
    view->OnTaskButton(600);
    auto* browser = qobject_cast<CDriveBrowser*>(view->currentPage());
    ASSERT_NE(browser, nullptr);
    QTest::mouseClick(browser->backButton(), Qt::LeftButton);  // (101, 1)
    EXPECT_EQ(view->currentPageId(), kPageStart);
    EXPECT_EQ(view->currentPage(), nullptr);
    EXPECT_FALSE(view->homeButton()->isHidden());
    EXPECT_EQ(visibleTasks(), (std::vector<int>{600, 601, 602, 603}));  // the category stays
    // (101, 0) would open the product's web page; there is none, so nothing opens.
    view->SwitchPage(kPageStart, 0);
    EXPECT_TRUE(recorder.opened.empty());
}

TEST_F(ShellNavigation, NextGoesToTheResultPageOfTheSelectedFileSystem) {
    view->SwitchPage(kPageDriveBrowser, kModeDeleted);
    auto* browser = qobject_cast<CDriveBrowser*>(view->currentPage());
    ASSERT_NE(browser, nullptr);
    QTreeWidgetItem* ext = nullptr;
    for (QTreeWidgetItemIterator it(browser->tree()); *it; ++it) {
        if ((*it)->text(0).contains(QStringLiteral("EXT3"))) ext = *it;
    }
    ASSERT_NE(ext, nullptr);
    browser->tree()->setCurrentItem(ext);
    QTest::mouseClick(browser->nextButton(), Qt::LeftButton);
    EXPECT_EQ(view->currentPageId(), kPageResult);
    EXPECT_EQ(app.state().currentPartition.fileSystemName(), "EXT3");
    EXPECT_NE(qobject_cast<CExtResultPage*>(view->currentPage()), nullptr);
}

TEST(PageTable, ResolvesByPageModeAndFileSystem) {
    int kind = 0;
    EXPECT_EQ(ResolvePage(102, kModeDeleted, "", nullptr), PageKind::DriveBrowser);
    EXPECT_EQ(ResolvePage(102, kModePartition, "", nullptr), PageKind::None);
    EXPECT_EQ(ResolvePage(103, kModeDeleted, "FAT32", &kind), PageKind::FatResult);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(ResolvePage(103, kModeFormatted, "FAT16", &kind), PageKind::FatResult);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(ResolvePage(103, kModeDeleted, "FAT", &kind), PageKind::FatResult);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(ResolvePage(103, kModeDeleted, "NTFS", nullptr), PageKind::NtfsResult);
    EXPECT_EQ(ResolvePage(103, kModeDeleted, "EXT2", nullptr), PageKind::ExtResult);
    EXPECT_EQ(ResolvePage(103, kModeDeleted, "EXT4", nullptr), PageKind::ExtResult);
    EXPECT_EQ(ResolvePage(103, kModeFormatted, "exFAT", nullptr), PageKind::ExfatResult);
    EXPECT_EQ(ResolvePage(103, kModeDeleted, "#NTFS#", nullptr), PageKind::None);
    EXPECT_EQ(ResolvePage(103, kModeRaw, "#NTFS#", nullptr), PageKind::RawResult);
    EXPECT_EQ(ResolvePage(103, kModeRaw, "FAT32", nullptr), PageKind::RawResult);
    EXPECT_EQ(ResolvePage(103, kModePartition, "NTFS", nullptr), PageKind::PartitionRecovery);
    EXPECT_EQ(ResolvePage(107, 0, "", nullptr), PageKind::OutlookRepair);
    EXPECT_EQ(ResolvePage(108, 0, "", nullptr), PageKind::OutlookExpressRepair);
    EXPECT_EQ(ResolvePage(109, 108, "", nullptr), PageKind::EmailReport);
    EXPECT_EQ(ResolvePage(110, 0, "", nullptr), PageKind::None);
}

TEST_F(ShellNavigation, HelpOpensTheShippedHelpIndex) {
    QTest::mouseClick(view->helpButton(), Qt::LeftButton);
    ASSERT_EQ(recorder.opened.size(), 1u);
    const QString file = recorder.opened[0].toLocalFile();
    EXPECT_TRUE(file.endsWith(QStringLiteral("help/index.html")));
    EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
}

TEST_F(ShellNavigation, F1OpensHelpAndEscClosesTheHelpWindow) {
    CMainFrame* frame = app.mainFrame();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    QTest::keyClick(frame, Qt::Key_F1);
    ASSERT_EQ(recorder.opened.size(), 1u);
    EXPECT_TRUE(recorder.opened[0].toLocalFile().endsWith(QStringLiteral("help/index.html")));

    QPointer<QWidget> help = ShowHelpWindow(QUrl::fromLocalFile(HelpIndexPath()));
    help->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    QTest::keyClick(help, Qt::Key_Escape);
    QTRY_VERIFY(help.isNull());
}

TEST_F(ShellNavigation, AFailedCreationIsReportedAndTheStartPageStays) {
    SetPageFactory(PageKind::DriveBrowser, [](const PageRequest&) -> QWidget* { return nullptr; });
    SetPageFactory(PageKind::OutlookRepair, [](const PageRequest&) -> QWidget* { return nullptr; });
    view->SelectCategory(0);
    view->OnTaskButton(600);
    view->SwitchPage(kPageOutlookRepair, 0);
    SetPageFactory(PageKind::DriveBrowser, {});
    SetPageFactory(PageKind::OutlookRepair, {});
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[0].text, QStringLiteral("It was failed to create drive view window!!"));
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("Vantor Data Recovery Professional 2.0"));
    EXPECT_EQ(recorder.messages[1].text, QStringLiteral("It was failed to create Email(OutLook) Repair window!!"));
    EXPECT_EQ(view->currentPage(), nullptr);
    EXPECT_FALSE(view->homeButton()->isHidden());
    EXPECT_FALSE(view->categoryList()->isHidden());
}

TEST_F(ShellNavigation, PagesAreToldTheirModeAndFatKind) {
    PageRequest seen{app, *view, nullptr};
    SetPageFactory(PageKind::FatResult, [&seen](const PageRequest& r) -> QWidget* {
        seen.page = r.page;
        seen.mode = r.mode;
        seen.fatKind = r.fatKind;
        return new QWidget(r.parent);
    });
    PartitionRecord fat16;
    fat16.setFileSystem("FAT16");
    app.state().selectPartition(fat16);
    view->SwitchPage(kPageResult, kModeFormatted);
    SetPageFactory(PageKind::FatResult, {});
    EXPECT_EQ(view->currentPageKind(), PageKind::FatResult);
    EXPECT_EQ(seen.page, kPageResult);
    EXPECT_EQ(seen.mode, kModeFormatted);
    EXPECT_EQ(seen.fatKind, 1);
    ASSERT_NE(view->currentPage(), nullptr);
    EXPECT_EQ(view->currentPage()->geometry(), view->rect().adjusted(1, 1, -1, -1));
    EXPECT_TRUE(view->homeButton()->isHidden());
}

TEST_F(ShellNavigation, TheCaptionDragsTheWindow) {
    CMainFrame* frame = app.mainFrame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    const QPoint before = frame->pos();
    QTest::mousePress(frame, Qt::LeftButton, {}, QPoint(300, 12));
    QTest::mouseMove(frame, QPoint(340, 32));
    QTest::mouseRelease(frame, Qt::LeftButton, {}, QPoint(340, 32));
    // A desktop that moves windows itself takes over the drag; offscreen the
    // frame follows the mouse on its own.
    if (frame->pos() == before) GTEST_SKIP() << "the platform moves the window itself";
    EXPECT_EQ(frame->pos(), before + QPoint(40, 20));
}

TEST_F(ShellNavigation, AMissingPageSaysSoAndLeadsBack) {
    // From the browser's Next, Back returns to the browser in its mode.
    PartitionRecord ext;
    ext.setFileSystem("EXT3");
    app.state().selectPartition(ext);
    view->SwitchPage(kPageResult, kModeFormatted);
    EXPECT_EQ(view->missingPageText(), QStringLiteral("Recovery on EXT2/EXT3 partitions is not available in this version."));
    ASSERT_FALSE(view->missingPageBack()->isHidden());
    QTest::mouseClick(view->missingPageBack(), Qt::LeftButton);
    auto* browser = qobject_cast<CDriveBrowser*>(view->currentPage());
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->mode(), kModeFormatted);
    EXPECT_TRUE(view->missingPageBack()->isHidden());
    EXPECT_TRUE(view->missingPageText().isEmpty());
}

TEST(CommandLine, ImagesAndFallback) {
    StartOptions o;
    QString error;
    ASSERT_TRUE(ParseCommandLine({"vantor-gui", "--image", "a.img", "--image=b.img", "--fallback-image", "s.img",
                                  "-platform", "offscreen"},
                                 o, error));
    EXPECT_EQ(o.images, (QStringList{"a.img", "b.img"}));
    EXPECT_EQ(o.fallbackImage, QStringLiteral("s.img"));
    StartOptions bad;
    EXPECT_FALSE(ParseCommandLine({"vantor-gui", "--image"}, bad, error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(CommandLine, AnUnreadableImageIsRefusedAndNothingChanges) {
    uitest::ShellRecorder recorder;
    CTolamApp app;
    StartOptions options;
    options.images << uitest::FixturePath(QStringLiteral("sample-disk.img"));
    options.showWindow = false;
    ASSERT_TRUE(app.StartUp(options));
    QString error;
    EXPECT_FALSE(app.AttachImage(QStringLiteral("/nonexistent.img"), error));
    EXPECT_TRUE(error.contains(QStringLiteral("/nonexistent.img")));
    EXPECT_EQ(app.attachedImages().size(), 1);
}

TEST(CommandLine, HelpPrintsTheOptionsAndExitsWithoutADisplay) {
    StartOptions o;
    QString error;
    ASSERT_TRUE(ParseCommandLine({"vantor-gui", "-h"}, o, error));
    EXPECT_TRUE(o.showHelp);

    QProcess gui;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(name));
    gui.setProcessEnvironment(env);
    gui.start(QStringLiteral(VANTOR_GUI_PATH), {QStringLiteral("--help")});
    ASSERT_TRUE(gui.waitForFinished(10000));
    EXPECT_EQ(gui.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(gui.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(gui.readAllStandardOutput());
    for (const char* option : {"--image FILE", "--fallback-image FILE", "--help"})
        EXPECT_TRUE(out.contains(QString::fromLatin1(option))) << option << "\n" << out.toStdString();
}

TEST(CommandLine, AnImageThatCannotBeOpenedAtStartIsToldAndLeftOut) {
    uitest::ShellRecorder recorder;
    CTolamApp app;
    StartOptions options;
    options.images << QStringLiteral("/nonexistent/vantor-none.img") << uitest::FixturePath(QStringLiteral("sample-disk.img"));
    options.showWindow = false;
    ASSERT_TRUE(app.StartUp(options));
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(recorder.messages[0].text,
              QStringLiteral("Cannot open the disk image \"/nonexistent/vantor-none.img\": The system cannot find the "
                             "file specified. (error 2)"));
    EXPECT_EQ(app.attachedImages().size(), 1);
}
