// The EXT result page on the sample disk's EXT3 partition (mke2fs + debugfs):
// the tree, the row texts, the preview's dump and a recovery with its
// overwrite question and report, all by mouse.
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "shell/page_ids.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/overwrite_dialog.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "shell/ui/ext/ext_page.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "dialogs_modal_answerer.h"
#include "result_page_driver.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

class ExtPage : public ::testing::Test, public uitest::PageDriver {
protected:
    CResultPage* view() const override { return page.get(); }
    void SetUp() override {
        app.state().selectPartition(uitest::AttachPartition(QStringLiteral("sample-disk.img"), "EXT3"));
        page = std::make_unique<CExtResultPage>(app, kModeDeleted, nullptr);
        page->show();
        QTRY_VERIFY_WITH_TIMEOUT(page->scanDone(), 30000);
    }
    uitest::ShellRecorder recorder;
    CTolamApp app;
    std::unique_ptr<CExtResultPage> page;
};

const QString kRoot = QStringLiteral("EXT3( sampleext3 )");

}  // namespace

TEST_F(ExtPage, ScanPreviewAndRecoveryOnTheSampleExt3) {
    EXPECT_EQ(page->progressDialog()->title(), QStringLiteral("Scanning Deleted Files ..."));
    EXPECT_EQ(tree()->objectName(), QStringLiteral("TTreeView_EXT"));
    EXPECT_EQ(page->listView()->objectName(), QStringLiteral("TListView_EXT"));
    ASSERT_EQ(tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), kRoot);
    ASSERT_GE(root->childCount(), 1);
    EXPECT_EQ(root->child(root->childCount() - 1)->text(0), QStringLiteral("Lost files"));
    EXPECT_TRUE(page->scanNote().isEmpty()) << qPrintable(page->scanNote());

    // The deleted file's name survived in the root's directory block.
    clickFolder(kRoot);
    const int row = rowFor(QStringLiteral("removed.txt"));
    ASSERT_GE(row, 0);
    EXPECT_EQ(cell(row, 1), QStringLiteral(" 2.66 KB"));
    EXPECT_EQ(cell(row, 3), QStringLiteral("rw-r--"));
    EXPECT_FALSE(cell(row, 4).isEmpty());

    QString dump;
    page->setDialogPresenter([&](QDialog& dlg) {
        if (auto* e = dlg.findChild<QPlainTextEdit*>(ControlName(1022))) dump = e->toPlainText();
    });
    const QPoint at = details()->visualRect(details()->model()->index(row, 1)).center();
    QTest::mouseClick(details()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(details()->viewport(), Qt::LeftButton, {}, at);
    const QStringList lines = dump.split('\n');
    EXPECT_EQ(lines.size(), 170);  // 2720 bytes, under the page's 4096
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("deleted-ext3.lin"))) << qPrintable(lines[0]);

    page->button(CResultPage::kRecovery)->click();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, QStringLiteral("Please check files for recovering"));
    clickRowCheck(row);
    settle();
    EXPECT_TRUE(marked(kRoot));
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("1 files - 2.66 KB"));

    QTemporaryDir dest;
    ASSERT_TRUE(dest.isValid());
    const QString d = dest.path();
    page->setFolderChooser([&](QWidget*) { return d; });
    page->button(CResultPage::kRecovery)->click();
    ASSERT_TRUE(page->recoveryRan());
    EXPECT_EQ(page->lastRecovery().written, 1u);
    EXPECT_EQ(uitest::ReadAll(d + "/removed.txt"), uitest::NumberedLines("deleted-ext3", 40));
    EXPECT_EQ(recorder.messages.back().text, QStringLiteral("1 files recovered to %1").arg(d));
    ASSERT_EQ(page->reportPath(), d + "/recovery-report.json");
    const auto report = nlohmann::json::parse(uitest::ReadAll(page->reportPath()).toStdString());
    EXPECT_EQ(report["scan"], "deleted");
    ASSERT_EQ(report["files"].size(), 1u);
    EXPECT_EQ(report["files"][0]["path"], "removed.txt");
    EXPECT_EQ(report["files"][0]["status"], "written");

    // Again: the file is there, and "No" keeps it.
    QStringList asked;
    uitest::ModalAnswerer answerer([&](QWidget* modal) {
        if (auto* dlg = qobject_cast<COverwriteDlg*>(modal)) {
            asked << dlg->findChild<QLabel*>(ControlName(COverwriteDlg::kMessage))->text();
            uitest::ClickLater(dlg, ControlName(COverwriteDlg::kNo));
        }
    });
    page->button(CResultPage::kRecovery)->click();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(page->lastRecovery().skipped, 1u);
    EXPECT_EQ(page->lastRecovery().written, 0u);
}
