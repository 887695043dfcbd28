// The exFAT result page on the real-tool card images (mkfs.exfat +
// exfat-fuse): the deleted scan's tree and row texts with a folder recovered
// by mouse, and the formatted scan's folders rebuilt under LostDIR.
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "exfat/exfat_page_model.h"
#include "shell/page_ids.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "shell/ui/exfat/exfat_page.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "result_page_driver.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

class ExfatPage : public ::testing::Test, public uitest::PageDriver {
protected:
    CResultPage* view() const override { return page.get(); }
    void open(const char* image, int mode) {
        app.state().selectPartition(uitest::AttachPartition(QString::fromLatin1(image), "exFAT"));
        page = std::make_unique<CExfatResultPage>(app, mode, nullptr);
        page->show();
        QTRY_VERIFY_WITH_TIMEOUT(page->scanDone(), 30000);
    }
    uitest::ShellRecorder recorder;
    CTolamApp app;
    std::unique_ptr<CExfatResultPage> page;
};

const QString kRoot = QStringLiteral("exFAT - Logical Disk (C:)");

}  // namespace

TEST_F(ExfatPage, DeletedScanListsTheFolderAndRecoversItByMouse) {
    open("exfat-deleted.img", kModeDeleted);
    EXPECT_EQ(page->progressDialog()->title(), QStringLiteral("Scanning Deleted Files ..."));
    EXPECT_EQ(tree()->objectName(), QStringLiteral("TTreeView_EXFAT"));
    EXPECT_EQ(page->listView()->objectName(), QStringLiteral("TListView_EXFAT"));
    ASSERT_EQ(tree()->topLevelItemCount(), 1);
    EXPECT_EQ(tree()->topLevelItem(0)->text(0), kRoot);
    EXPECT_EQ(page->folderTotalsLine(), QStringLiteral("9 files - 3.53 MB"));

    clickFolder(QStringLiteral("Dokumente"));
    const int row = rowFor(QStringLiteral("Übersicht café.txt"));
    ASSERT_GE(row, 0);
    EXPECT_GE(rowFor(QStringLiteral("日本語の名前.txt")), 0);
    EXPECT_GE(rowFor(QString(251, QLatin1Char('L')) + QStringLiteral(".txt")), 0);
    EXPECT_EQ(cell(row, 1), QStringLiteral("2.77 KB"));
    EXPECT_EQ(cell(row, 3), QStringLiteral("RW"));
    EXPECT_EQ(cell(row, 4), QStringLiteral("2023-11-14   22:13:20"));

    clickFolderCheck(QStringLiteral("Dokumente"));
    settle();
    EXPECT_TRUE(marked(kRoot));
    QTemporaryDir dest;
    ASSERT_TRUE(dest.isValid());
    const QString d = dest.path();
    page->setFolderChooser([&](QWidget*) { return d; });
    page->button(CResultPage::kRecovery)->click();
    ASSERT_TRUE(page->recoveryRan());
    EXPECT_EQ(page->lastRecovery().written, 3u);
    EXPECT_EQ(uitest::ReadAll(d + QStringLiteral("/Dokumente/Übersicht café.txt")),
              uitest::NumberedLines("exfat-ubersicht", 40));
    EXPECT_EQ(uitest::ReadAll(d + QStringLiteral("/Dokumente/日本語の名前.txt")), uitest::NumberedLines("exfat-nihongo", 7));
}

TEST_F(ExfatPage, FormattedScanRebuildsTheFoldersUnderLostDir) {
    open("exfat-formatted.img", kModeFormatted);
    EXPECT_EQ(page->progressDialog()->title(), QStringLiteral("Scanning Formated Drive ..."));
    ASSERT_NE(item(QStringLiteral("LostDIR")), nullptr);
    clickFolder(QStringLiteral("Juni"));
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(cell(0, 0), QStringLiteral("c.png"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("8.79 KB"));
    EXPECT_EQ(page->folderTotalsLine(), QStringLiteral("1 files - 8.79 KB"));
}
