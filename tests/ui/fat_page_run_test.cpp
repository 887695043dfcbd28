// The FAT result page on real-tool images: the scan under the progress
// dialog, the tree and list, check propagation through mouse clicks, the
// page filter, preview, thumbnails and recovery with the overwrite question
// answered the way a user would.
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QComboBox>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include "disk/disk_inventory.h"
#include "shell/ui/dialogs/criteria_dialog.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/overwrite_dialog.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "shell/ui/results/result_list_view.h"
#include "shell/ui/fat/fat_page.h"
#include "shell/ui/results/result_tree_view.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "dialogs_modal_answerer.h"
#include "result_page_driver.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

using uitest::NumberedLines;
using uitest::ReadAll;

class FatPage : public ::testing::Test, public uitest::PageDriver {
protected:
    CResultPage* view() const override { return page.get(); }
    CTolamApp app;
    std::unique_ptr<CFatResultPage> page;
    uitest::ShellRecorder recorder;

    // Attaches the image, selects its first partition named like fs, opens
    // the page in mode and waits for the scan.
    void open(const QString& image, const std::string& fs, int mode, int kind) {
        uitest::AttachFixtures({image});
        CDiskInventory inventory;
        inventory.Refresh();
        const PartitionRecord* found = nullptr;
        for (const PartitionRecord& r : inventory.partitions())
            if (r.fileSystemName() == fs) {
                found = &r;
                break;
            }
        ASSERT_NE(found, nullptr) << fs;
        app.state().selectPartition(*found);
        page = std::make_unique<CFatResultPage>(app, mode, kind, nullptr);
        page->show();
        QTRY_VERIFY_WITH_TIMEOUT(page->scanDone(), 20000);
    }

};

}  // namespace

TEST_F(FatPage, ScanFillsTheTreeAndTheList) {
    open(QStringLiteral("fat-fat16-2k.img"), "FAT", 10000, 1);
    EXPECT_EQ(page->progressDialog()->title(), QStringLiteral("Scanning Deleted Files ..."));
    EXPECT_FALSE(page->progressDialog()->isVisible());
    ASSERT_EQ(tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), QStringLiteral("FAT16 - Logical Disk (C:)"));
    EXPECT_TRUE(root->isExpanded());
    EXPECT_NE(item(QStringLiteral("Level3")), nullptr);
    EXPECT_NE(item(QStringLiteral("#NNER")), nullptr);
    // The root holds no file of its own; its totals count the whole tree.
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(page->folderTotalsLine(), QStringLiteral("4 files - 965.04 KB"));
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("0 files - 0.00 Byte"));

    clickFolder(QStringLiteral("Level1"));
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(cell(0, 0), QStringLiteral("middle sized.txt"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("958.99 KB"));
    EXPECT_EQ(cell(0, 4), QStringLiteral("2023-11-14   22:13:20"));
    EXPECT_EQ(cell(0, 6), QStringLiteral("2023-11-14   12:00:00"));
    EXPECT_FALSE(cell(0, 2).isEmpty());
    EXPECT_EQ(page->folderTotalsLine(), QStringLiteral("2 files - 960.50 KB"));
    EXPECT_EQ(details()->model()->headerData(6, Qt::Horizontal).toString(), QStringLiteral("Date Accessed"));
    EXPECT_EQ(details()->columnWidth(0), 200);
    EXPECT_TRUE(page->button(CFatResultPage::kRecovery)->isEnabled());
    EXPECT_FALSE(page->button(CFatResultPage::kNext)->isEnabled());
    EXPECT_FALSE(page->button(CFatResultPage::kFilter)->isEnabled());
}

TEST_F(FatPage, ChecksPropagateThroughClicks) {
    open(QStringLiteral("fat-fat16-2k.img"), "FAT", 10000, 1);
    clickFolder(QStringLiteral("Level3"));
    ASSERT_EQ(rows(), 1);
    ASSERT_EQ(cell(0, 0), QStringLiteral("deep file.txt"));

    // Ticking a file in a deep folder checks every folder up to the root.
    clickRowCheck(0);
    settle();
    EXPECT_EQ(details()->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    for (const char* f : {"Level3", "Level2", "Level1", "FAT16 - Logical Disk (C:)"})
        EXPECT_TRUE(marked(QString::fromLatin1(f))) << f;
    // Every file below Level2 is ticked; Level1 and the root hold unticked ones.
    EXPECT_TRUE(checked(QStringLiteral("Level2")));
    EXPECT_TRUE(partly(QStringLiteral("Level1")));
    EXPECT_TRUE(partly(QStringLiteral("FAT16 - Logical Disk (C:)")));
    EXPECT_FALSE(marked(QStringLiteral("#ONE")));
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("1 files - 1.51 KB"));

    // Unticking it unchecks every ancestor left with nothing ticked.
    clickRowCheck(0);
    settle();
    for (const char* f : {"Level3", "Level2", "Level1", "FAT16 - Logical Disk (C:)"})
        EXPECT_FALSE(marked(QString::fromLatin1(f))) << f;
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("0 files - 0.00 Byte"));

    // The root's own check box selects the whole tree, the shown row too.
    clickFolderCheck(QStringLiteral("FAT16 - Logical Disk (C:)"));
    settle();
    EXPECT_TRUE(checked(QStringLiteral("#NNER")));
    EXPECT_TRUE(checked(QStringLiteral("Level3")));
    EXPECT_EQ(details()->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("4 files - 965.04 KB"));

    // Unchecking one branch keeps the root checked while the other one holds.
    clickFolderCheck(QStringLiteral("Level1"));
    settle();
    EXPECT_FALSE(checked(QStringLiteral("Level3")));
    EXPECT_EQ(details()->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    EXPECT_TRUE(partly(QStringLiteral("FAT16 - Logical Disk (C:)")));
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("2 files - 4.55 KB"));
    // A click on a partly checked folder ticks everything below it.
    clickFolderCheck(QStringLiteral("FAT16 - Logical Disk (C:)"));
    settle();
    EXPECT_TRUE(checked(QStringLiteral("Level3")));
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("4 files - 965.04 KB"));
    clickFolderCheck(QStringLiteral("Level1"));
    settle();
    clickFolderCheck(QStringLiteral("#ONE"));
    settle();
    EXPECT_FALSE(marked(QStringLiteral("FAT16 - Logical Disk (C:)")));
}

TEST_F(FatPage, FilterNarrowsTheListButNotTheFolderTotals) {
    open(QStringLiteral("fat-fat16-2k.img"), "FAT", 10000, 1);
    clickFolder(QStringLiteral("Level1"));
    ASSERT_EQ(rows(), 1);
    page->filterSwitch()->click();
    EXPECT_TRUE(page->button(CFatResultPage::kFilter)->isEnabled());
    EXPECT_EQ(rows(), 1);  // nothing set yet

    uitest::ModalAnswerer answerer([](QWidget* modal) {
        auto* dlg = qobject_cast<CSearchFilesDlg*>(modal);
        if (!dlg) return;
        QTimer::singleShot(0, dlg, [dlg] {
            auto* size = dlg->findChild<QComboBox*>(ControlName(1030));
            size->setCurrentIndex(kSizeSmaller);
            emit size->activated(kSizeSmaller);
            dlg->findChild<QLineEdit*>(ControlName(1031))->setText(QStringLiteral("100"));
            dlg->findChild<QPushButton*>(ControlName(1))->click();
        });
    });
    page->button(CFatResultPage::kFilter)->click();
    EXPECT_EQ(answerer.titles().at(0), QStringLiteral("Search files..."));
    EXPECT_EQ(page->model().pageFilter().sizeMode, kSizeSmaller);
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(page->folderTotalsLine(), QStringLiteral("2 files - 960.50 KB"));
    clickFolder(QStringLiteral("Level3"));
    EXPECT_EQ(rows(), 1);  // 1,550 bytes pass "smaller than 100 KB"

    page->filterSwitch()->click();
    EXPECT_FALSE(page->button(CFatResultPage::kFilter)->isEnabled());
    clickFolder(QStringLiteral("Level1"));
    EXPECT_EQ(rows(), 1);
}

TEST_F(FatPage, RecoveryAsksBeforeOverwriting) {
    open(QStringLiteral("fat-fat16-2k.img"), "FAT", 10000, 1);
    QTemporaryDir dest;
    ASSERT_TRUE(dest.isValid());
    page->setFolderChooser([&](QWidget*) { return dest.path(); });

    page->button(CFatResultPage::kRecovery)->click();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, QStringLiteral("Please check files for recovering"));
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("Notice"));
    EXPECT_FALSE(page->recoveryRan());

    clickFolder(QStringLiteral("Level3"));
    clickRowCheck(0);
    settle();
    // Never onto the scanned volume (this image is mounted as C:).
    page->setFolderChooser([](QWidget*) { return QStringLiteral("c:\\recovered"); });
    page->button(CFatResultPage::kRecovery)->click();
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[1].text, QStringLiteral("Select anoter drive folder."));
    EXPECT_FALSE(page->recoveryRan());
    page->setFolderChooser([](QWidget*) { return QString(); });  // Cancel in the folder browser
    page->button(CFatResultPage::kRecovery)->click();
    EXPECT_FALSE(page->recoveryRan());
    EXPECT_EQ(recorder.messages.size(), 2u);

    page->setFolderChooser([&](QWidget*) { return dest.path(); });
    page->button(CFatResultPage::kRecovery)->click();
    ASSERT_TRUE(page->recoveryRan());
    EXPECT_EQ(page->progressDialog()->title(), QStringLiteral("Recoverying Deleted Files ..."));
    EXPECT_EQ(page->lastRecovery().written, 1u);
    QString written;
    // The one recovered file, beside the run's report.
    for (QDirIterator it(dest.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        if (it.fileName() != QStringLiteral("recovery-report.json")) written = path;
    }
    ASSERT_TRUE(written.endsWith(QStringLiteral("Level1/Level2/Level3/deep file.txt"))) << qPrintable(written);
    const QByteArray expected = NumberedLines("deep2k", 25);
    EXPECT_EQ(ReadAll(written), expected);

    // Again: the file exists. "No" keeps it as it is now.
    {
        QFile f(written);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("changed");
    }
    QString asked;
    int answer = COverwriteDlg::kNo;
    uitest::ModalAnswerer answerer([&](QWidget* modal) {
        if (auto* dlg = qobject_cast<COverwriteDlg*>(modal)) {
            asked = dlg->findChild<QLabel*>(ControlName(COverwriteDlg::kMessage))->text();
            uitest::ClickLater(dlg, ControlName(answer));
        }
    });
    page->button(CFatResultPage::kRecovery)->click();
    EXPECT_EQ(asked, QStringLiteral("This folder already contains a file named 'deep file.txt'"));
    EXPECT_EQ(page->lastRecovery().skipped, 1u);
    EXPECT_EQ(ReadAll(written), QByteArray("changed"));
    EXPECT_FALSE(page->progressDialog()->isVisible());

    // Cancel stops the run and writes nothing.
    answer = COverwriteDlg::kCancel;
    asked.clear();
    page->button(CFatResultPage::kRecovery)->click();
    EXPECT_FALSE(asked.isEmpty());
    EXPECT_TRUE(page->lastRecovery().cancelled);
    EXPECT_EQ(ReadAll(written), QByteArray("changed"));

    // "Yes" replaces it with the recovered bytes.
    answer = COverwriteDlg::kYes;
    page->button(CFatResultPage::kRecovery)->click();
    EXPECT_EQ(page->lastRecovery().written, 1u);
    EXPECT_EQ(ReadAll(written), expected);
    EXPECT_EQ(answerer.answered() >= 3, true);
    EXPECT_EQ(page->destination(), dest.path());
}

TEST_F(FatPage, PreviewNeedsARowAndShowsTheDump) {
    open(QStringLiteral("fat-fat16-2k.img"), "FAT", 10000, 1);
    QString title, text;
    page->setDialogPresenter([&](QDialog& dlg) {
        title = dlg.windowTitle();
        if (auto* e = dlg.findChild<QPlainTextEdit*>(ControlName(1022))) text = e->toPlainText();
    });
    page->previewSelected();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, QStringLiteral("Please select a file to preview."));
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("Notice"));

    clickFolder(QStringLiteral("Level3"));
    const QModelIndex first = details()->model()->index(0, 1);
    QTest::mouseClick(details()->viewport(), Qt::LeftButton, {}, details()->visualRect(first).center());
    QTest::mouseDClick(details()->viewport(), Qt::LeftButton, {}, details()->visualRect(first).center());
    EXPECT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(title, QStringLiteral("View File Information..."));
    const QStringList lines = text.split('\n');
    EXPECT_EQ(lines.size(), 64);  // the FAT page dumps the first 1,024 of 1,550 bytes
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("00000000  64 65 65 70  32 6B 20 6C")));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("deep2k.line.0001")));
}

TEST_F(FatPage, ThumbnailsAreMadeOnceForTheListAsBuilt) {
    open(QStringLiteral("fat-fat16-2k.img"), "FAT", 10000, 1);
    int shows = 0;
    struct ShowCounter : QObject {
        int* n;
        explicit ShowCounter(int* c) : n(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Show) ++*n;
            return false;
        }
    } counter(&shows);
    page->progressDialog()->installEventFilter(&counter);

    clickFolder(QStringLiteral("#ONE"));
    ASSERT_EQ(rows(), 1);
    page->chooseViewMode(ResultViewMode::Thumbnails);
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(page->progressDialog()->title(), QStringLiteral("Viewing icon..."));
    ResultListModel* m = page->listView()->listModel();
    ASSERT_EQ(m->thumbnailCount(), 1u);
    const QImage tile = m->thumbnail(0);
    ASSERT_EQ(tile.size(), QSize(90, 90));
    EXPECT_EQ(QColor(tile.pixel(0, 0)), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(QColor(tile.pixel(5, 5)), QColor(Qt::white));
    EXPECT_TRUE(page->listView()->icons()->isVisible());
    EXPECT_FALSE(details()->isVisible());

    page->chooseViewMode(ResultViewMode::Details);
    EXPECT_TRUE(details()->isVisible());
    page->chooseViewMode(ResultViewMode::Thumbnails);  // same list: no new run
    EXPECT_EQ(shows, 1);
    EXPECT_TRUE(page->listView()->icons()->isVisible());

    clickFolder(QStringLiteral("#NNER"));  // a folder change shows Details again
    EXPECT_TRUE(details()->isVisible());
    page->chooseViewMode(ResultViewMode::Thumbnails);
    EXPECT_EQ(shows, 2);
}

TEST_F(FatPage, FormattedScanOnTheSampleDisk) {
    open(QStringLiteral("sample-disk.img"), "FAT", 10002, 1);
    EXPECT_EQ(page->progressDialog()->title(), QStringLiteral("Scanning Formated Drive ..."));
    EXPECT_NE(item(QStringLiteral("SUBDIR")), nullptr);
    EXPECT_NE(item(QStringLiteral("Mixed Case Folder")), nullptr);
    clickFolder(QStringLiteral("SUBDIR"));
    ASSERT_EQ(rows(), 2);
    // Header clicks sort, the first one descending.
    page->listView()->headerClicked(1);
    EXPECT_EQ(cell(0, 0), QStringLiteral("DATA.bin"));
    page->listView()->headerClicked(1);
    EXPECT_EQ(cell(0, 0), QStringLiteral("INNER.txt"));
}

TEST_F(FatPage, APartitionTheEngineCannotOpenLeavesAnEmptyTree) {
    open(QStringLiteral("sample-disk.img"), "NTFS", 10000, 1);
    EXPECT_EQ(tree()->topLevelItemCount(), 0);
    EXPECT_EQ(rows(), 0);
    EXPECT_NE(page->scanError(), kSuccess);
    EXPECT_TRUE(recorder.messages.empty());
    page->button(CFatResultPage::kRecovery)->click();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, QStringLiteral("Please check files for recovering"));
}
