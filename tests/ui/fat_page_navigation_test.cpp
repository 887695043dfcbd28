// The result pages inside the shell: page 103 on a FAT partition creates the
// FAT page with its FAT kind, on an NTFS partition the NTFS page; Back and
// Home switch pages through the host.
#include <QPointer>
#include <QTreeWidgetItemIterator>
#include <QTest>
#include <gtest/gtest.h>

#include "disk/disk_inventory.h"
#include "shell/page_ids.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "shell/ui/drive_browser.h"
#include "shell/ui/fat/fat_page.h"
#include "shell/ui/ntfs/ntfs_page.h"
#include "shell/ui/results/result_tree_view.h"
#include "shell/ui/home_view.h"
#include "shell/ui/main_frame.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

class FatPageInShell : public ::testing::Test {
protected:
    void SetUp() override {
        StartOptions options;
        options.images << uitest::FixturePath(QStringLiteral("sample-disk.img"));
        options.showWindow = false;
        ASSERT_TRUE(app.StartUp(options));
        view = app.mainFrame()->view();
    }
    CFatResultPage* openOn(const std::string& fs, int mode) { return open<CFatResultPage>(fs, mode); }
    template <typename Page>
    Page* open(const std::string& fs, int mode) {
        CDiskInventory inventory;
        inventory.Refresh();
        for (const PartitionRecord& r : inventory.partitions())
            if (r.fileSystemName() == fs) {
                app.state().selectPartition(r);
                break;
            }
        view->SwitchPage(kPageResult, mode);
        auto* page = qobject_cast<Page*>(view->currentPage());
        if (page) {
            EXPECT_TRUE(QTest::qWaitFor([page] { return page->scanDone(); }, 20000));
        }
        return page;
    }

    uitest::ShellRecorder recorder;
    CTolamApp app;
    CHomeView* view = nullptr;
};

}  // namespace

TEST_F(FatPageInShell, ResultPageForEachFatNameAndKind) {
    CFatResultPage* page = openOn("FAT32", kModeDeleted);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(view->currentPageKind(), PageKind::FatResult);
    EXPECT_EQ(page->fatKind(), 2);
    EXPECT_EQ(page->mode(), kModeDeleted);
    EXPECT_EQ(page->parentWidget(), view);
    EXPECT_FALSE(page->isHidden());
    EXPECT_EQ(page->model().rowCount(), 1u);  // the deleted DELETED.TXT in the root

    page = openOn("FAT", kModeFormatted);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->fatKind(), 1);
    EXPECT_EQ(page->mode(), kModeFormatted);
}

TEST_F(FatPageInShell, BackReturnsToTheBrowserInTheSameModeAndHomeToTheStart) {
    QPointer<CFatResultPage> page = openOn("FAT32", kModeFormatted);
    ASSERT_FALSE(page.isNull());
    page->button(CFatResultPage::kBack)->click();
    EXPECT_TRUE(page.isNull());  // the host destroyed it inside the click
    EXPECT_EQ(view->currentPageKind(), PageKind::DriveBrowser);
    EXPECT_EQ(view->currentPageId(), kPageDriveBrowser);

    page = openOn("FAT32", kModeDeleted);
    ASSERT_FALSE(page.isNull());
    page->button(CFatResultPage::kHome)->click();
    EXPECT_TRUE(page.isNull());
    EXPECT_EQ(view->currentPageId(), kPageStart);
    EXPECT_EQ(view->currentPage(), nullptr);
}

TEST_F(FatPageInShell, NtfsPartitionOpensTheNtfsPageWhichSaysWhatItFound) {
    // Email Recovery, the NTFS partition in the drive browser, Next.
    view->SelectCategory(1);
    QTest::mouseClick(view->taskButton(602), Qt::LeftButton);
    auto* browser = qobject_cast<CDriveBrowser*>(view->currentPage());
    ASSERT_NE(browser, nullptr);
    for (QTreeWidgetItemIterator it(browser->tree()); *it; ++it)
        if ((*it)->text(0).contains(QStringLiteral("NTFS"))) browser->tree()->setCurrentItem(*it);
    QTest::mouseClick(browser->nextButton(), Qt::LeftButton);
    auto* page = qobject_cast<CNtfsResultPage*>(view->currentPage());
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([page] { return page->scanDone(); }, 20000));
    EXPECT_EQ(app.state().fileTypeGroup, kFileTypeEmail);
    EXPECT_EQ(view->currentPageKind(), PageKind::NtfsResult);
    EXPECT_TRUE(view->missingPageText().isEmpty());
    EXPECT_EQ(page->treeView()->topLevelItem(0)->text(0), QStringLiteral("NTFS - Logical Disk (D:)"));
    // The sample volume has no deleted file.
    EXPECT_EQ(page->scanNote(), QStringLiteral("The scan found no deleted files on this partition."));
    // The progress dialog sat centred on the main window.
    const QPoint centre = app.mainFrame()->frameGeometry().center();
    EXPECT_LE((page->progressDialog()->geometry().center() - centre).manhattanLength(), 2);
    page->button(CResultPage::kBack)->click();
    EXPECT_EQ(view->currentPageKind(), PageKind::DriveBrowser);
}
