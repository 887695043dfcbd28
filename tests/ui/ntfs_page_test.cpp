// The NTFS result page on the volumes mkntfs and ntfs-3g made: the deleted
// folder with its files in the tree, check marks and totals through clicks,
// preview of a compressed file, recovery of byte-exact files; and the shared
// view's behaviour run over the FAT, NTFS, EXT and exFAT pages alike.
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "disk/volume_mount.h"
#include "ntfs/ntfs_image_writer.h"
#include "platform/device_table.h"
#include "platform/sha256.h"
#include "shell/page_ids.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/overwrite_dialog.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "fat/fat_page_model.h"
#include "shell/ui/exfat/exfat_page.h"
#include "shell/ui/ext/ext_page.h"
#include "shell/ui/fat/fat_page.h"
#include "shell/ui/ntfs/ntfs_page.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "dialogs_modal_answerer.h"
#include "result_page_driver.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

class NtfsPage : public ::testing::Test, public uitest::PageDriver {
protected:
    CResultPage* view() const override { return page.get(); }

    void open(const QString& image, int mode) {
        app.state().selectPartition(uitest::AttachPartition(image, "NTFS"));
        page = std::make_unique<CNtfsResultPage>(app, mode, nullptr);
        page->show();
        QTRY_VERIFY_WITH_TIMEOUT(page->scanDone(), 30000);
    }

    uitest::ShellRecorder recorder;
    CTolamApp app;
    std::unique_ptr<CNtfsResultPage> page;
};

}  // namespace

TEST_F(NtfsPage, DeletedFolderWithItsFilesAndTicksThatFollow) {
    open(QStringLiteral("ntfs-deleted.img"), kModeDeleted);
    EXPECT_EQ(page->progressDialog()->title(), QStringLiteral("Scanning Deleted Files ..."));
    EXPECT_EQ(tree()->objectName(), QStringLiteral("TTreeView_NTFS"));
    EXPECT_EQ(page->listView()->objectName(), QStringLiteral("TListView_NTFS"));
    ASSERT_EQ(tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree()->topLevelItem(0);
    EXPECT_EQ(root->text(0), QStringLiteral("NTFS - Logical Disk (C:)"));
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(tree()->currentItem(), root);
    EXPECT_TRUE(page->scanNote().isEmpty());
    // Thirteen deleted files; the deleted folder is a node, not a row.
    EXPECT_TRUE(page->folderTotalsLine().startsWith(QStringLiteral("13 files - "))) << qPrintable(page->folderTotalsLine());
    ASSERT_NE(item(QStringLiteral("deeper")), nullptr);
    EXPECT_EQ(item(QStringLiteral("deeper"))->parent()->text(0), QStringLiteral("nested"));

    clickFolder(QStringLiteral("olddir"));
    ASSERT_EQ(rows(), 2);
    const int a = rowFor(QStringLiteral("a.txt")), b = rowFor(QStringLiteral("b.bin"));
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_EQ(cell(a, 1), QStringLiteral("256B"));
    EXPECT_EQ(cell(b, 1), QStringLiteral("19.5KB"));
    EXPECT_TRUE(cell(b, 3).endsWith(QStringLiteral("Del-")));

    // The folder's box ticks its rows; the root shows it holds unticked files.
    clickFolderCheck(QStringLiteral("olddir"));
    settle();
    EXPECT_TRUE(rowChecked(a) && rowChecked(b));
    EXPECT_TRUE(checked(QStringLiteral("olddir")));
    EXPECT_TRUE(partly(QStringLiteral("NTFS - Logical Disk (C:)")));
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("2 files - 19.78 KB"));

    // One row off: the folder stays marked, partly.
    clickRowCheck(a);
    settle();
    EXPECT_FALSE(rowChecked(a));
    EXPECT_TRUE(partly(QStringLiteral("olddir")));
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("1 files - 19.53 KB"));
    clickRowCheck(b);
    settle();
    EXPECT_FALSE(marked(QStringLiteral("olddir")));
    EXPECT_FALSE(marked(QStringLiteral("NTFS - Logical Disk (C:)")));
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("0 files - 0.00 Byte"));
}

TEST_F(NtfsPage, PreviewShowsTheDecompressedBytes) {
    open(QStringLiteral("ntfs-deleted.img"), kModeDeleted);
    QString text;
    page->setDialogPresenter([&](QDialog& dlg) {
        if (auto* e = dlg.findChild<QPlainTextEdit*>(ControlName(1022))) text = e->toPlainText();
    });
    clickFolder(QStringLiteral("packed"));
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(cell(0, 3), QStringLiteral("A-C-Del-"));
    const QPoint at = details()->visualRect(details()->model()->index(0, 1)).center();
    QTest::mouseClick(details()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(details()->viewport(), Qt::LeftButton, {}, at);
    const QStringList lines = text.split('\n');
    EXPECT_EQ(lines.size(), 32);  // the NTFS page dumps 512 bytes
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("packed-gone.line"))) << qPrintable(lines[0]);
}

TEST_F(NtfsPage, RecoveryWritesByteExactFilesAndSaysSo) {
    open(QStringLiteral("ntfs-deleted.img"), kModeDeleted);
    QTemporaryDir dest;
    ASSERT_TRUE(dest.isValid());
    page->button(CResultPage::kRecovery)->click();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, QStringLiteral("Please select file to recover!"));

    for (const char* folder : {"packed", "olddir"}) clickFolderCheck(QString::fromLatin1(folder));
    clickFolder(QStringLiteral("NTFS - Logical Disk (C:)"));
    clickRowCheck(rowFor(QStringLiteral("frag-gone.txt")));
    settle();
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("4 files - 662.36 KB"));

    page->setFolderChooser([](QWidget*) { return QStringLiteral("C:\\saved"); });
    page->button(CResultPage::kRecovery)->click();
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[1].text, QStringLiteral("Select anoter drive folder."));
    EXPECT_FALSE(page->recoveryRan());

    EXPECT_EQ(page->startFolder(), QDir::homePath());
    const QString d = dest.path();
    // A folder in the way of one file: the writer's failure summary, then the page's word.
    ASSERT_TRUE(QDir().mkpath(d + "/frag-gone.txt"));
    page->setFolderChooser([&](QWidget*) { return d; });
    page->button(CResultPage::kRecovery)->click();
    ASSERT_TRUE(page->recoveryRan());
    EXPECT_EQ(page->lastRecovery().written, 3u);
    ASSERT_EQ(recorder.messages.size(), 4u);
    EXPECT_EQ(recorder.messages[2].text, QStringLiteral("Can not create file 'frag-gone.txt'.\n"));
    EXPECT_EQ(recorder.messages[2].caption, QStringLiteral("Notice"));
    EXPECT_EQ(recorder.messages[3].text,
              QStringLiteral("3 files recovered to %1\n1 files could not be recovered.").arg(d));
    EXPECT_EQ(page->startFolder(), d);

    // Again: every file is there; "Yes to All" at the first question replaces them all.
    ASSERT_TRUE(QDir(d + "/frag-gone.txt").removeRecursively());
    QStringList asked;
    uitest::ModalAnswerer answerer([&](QWidget* modal) {
        if (auto* dlg = qobject_cast<COverwriteDlg*>(modal)) {
            asked << dlg->findChild<QLabel*>(ControlName(COverwriteDlg::kMessage))->text();
            uitest::ClickLater(dlg, ControlName(COverwriteDlg::kYesToAll));
        }
    });
    page->button(CResultPage::kRecovery)->click();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(page->lastRecovery().written, 4u);
    EXPECT_EQ(recorder.messages.back().text, QStringLiteral("4 files recovered to %1").arg(d));
    EXPECT_EQ(uitest::ReadAll(d + "/packed/compressed-gone.txt"), uitest::NumberedLines("packed-gone", 4000));
    EXPECT_EQ(uitest::ReadAll(d + "/frag-gone.txt"), uitest::NumberedLines("frag-gone", 6000));
    EXPECT_EQ(uitest::ReadAll(d + "/olddir/a.txt"), uitest::NumberedLines("olddir-a", 4));
    EXPECT_EQ(uitest::ReadAll(d + "/olddir/b.bin"), uitest::Xorshift(2024, 20000));

    // Each run leaves its report beside the files; the first one's name is taken now.
    EXPECT_TRUE(QFile::exists(d + "/recovery-report.json"));
    ASSERT_EQ(page->reportPath(), d + "/recovery-report (2).json");
    const auto report = nlohmann::json::parse(uitest::ReadAll(page->reportPath()).toStdString());
    const PartitionRecord& rec = app.state().currentPartition;
    EXPECT_EQ(report["scan"], "deleted");
    EXPECT_EQ(report["partition"]["startByte"], uint64_t{rec.startSector} * 512);
    EXPECT_EQ(report["partition"]["sizeBytes"], rec.totalBytes);
    EXPECT_TRUE(report["drive"]["image"].get<bool>());
    ASSERT_EQ(report["files"].size(), 4u);
    for (const auto& f : report["files"]) {
        const QByteArray bytes = uitest::ReadAll(d + "/" + QString::fromStdString(f["path"].get<std::string>()));
        Sha256 sha;
        sha.update(ByteSpan(reinterpret_cast<const std::byte*>(bytes.constData()), static_cast<size_t>(bytes.size())));
        EXPECT_EQ(f["status"], "written");
        EXPECT_EQ(f["sha256"], sha.finishHex()) << f["path"];
    }
}

TEST_F(NtfsPage, APartitionWithoutALetterIsReadThroughItsDrive) {
    uitest::AttachFixtures({QStringLiteral("ntfs-deleted.img")});
    DeviceTable::Global().setVolumes({});
    CDiskInventory inventory;
    inventory.Refresh();
    // As the drive browser lists a partition Windows gave no letter.
    PartitionRecord unlettered = inventory.partition(0);
    for (const PartitionRecord& r : inventory.partitions())
        if (r.fileSystemName() == "NTFS") unlettered = r;
    unlettered.driveLetter = '*';
    app.state().selectPartition(unlettered);
    page = std::make_unique<CNtfsResultPage>(app, kModeDeleted, nullptr);
    page->show();
    QTRY_VERIFY_WITH_TIMEOUT(page->scanDone(), 30000);
    EXPECT_EQ(tree()->topLevelItem(0)->text(0), QStringLiteral("NTFS - Logical Disk (*:)"));
    clickFolderCheck(QStringLiteral("packed"));
    settle();
    QTemporaryDir dest;
    page->setFolderChooser([&](QWidget*) { return dest.path(); });
    page->button(CResultPage::kRecovery)->click();
    EXPECT_EQ(page->lastRecovery().written, 1u);
    EXPECT_EQ(uitest::ReadAll(dest.path() + "/packed/compressed-gone.txt"), uitest::NumberedLines("packed-gone", 4000));
}

TEST_F(NtfsPage, FilesWhoseClustersLiveFilesTookAreGreyed) {
    open(QStringLiteral("ntfs-overwritten.img"), kModeDeleted);
    ASSERT_EQ(rows(), 4);
    const QColor grey(0x9A, 0xA5, 0xB1);
    auto colour = [this](const char* name) {
        return details()->model()->index(rowFor(QString::fromLatin1(name)), 0).data(Qt::ForegroundRole);
    };
    EXPECT_EQ(colour("whole-gone.bin").value<QColor>(), grey);
    EXPECT_EQ(colour("part-gone.bin").value<QColor>(), grey);
    EXPECT_FALSE(colour("keep-gone.txt").isValid());
    EXPECT_FALSE(colour("small-gone.txt").isValid());
}

TEST_F(NtfsPage, FormattedDriveListsTheOldFilesUnderLostFiles) {
    open(QStringLiteral("ntfs-formatted.img"), kModeFormatted);
    EXPECT_EQ(page->progressDialog()->title(), QStringLiteral("Scanning Formated Drive ..."));
    ASSERT_NE(item(QStringLiteral("Lost Files1")), nullptr);
    ASSERT_NE(item(QStringLiteral("deeper")), nullptr);
    clickFolder(QStringLiteral("deeper"));
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(cell(0, 0), QStringLiteral("gone-deep.txt"));
}

TEST_F(NtfsPage, PicturesAreDecodedFromWhatTheEngineReads) {
    // A 1 MiB volume on a drive of its own: a deleted PNG in the root.
    using namespace ntfstest;
    constexpr uint32_t kCs = 4096;
    auto dev = std::make_shared<MemoryDevice>(Bytes(256 * kCs), true);
    VolumeWriter w(*dev, 0, 256 * 8, kCs, 4, 64);
    w.writeBoot();
    w.writeSystemRecords();
    QImage red(60, 40, QImage::Format_RGB32);
    red.fill(QColor(200, 20, 20));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    RecordBuilder rec(1024, 33, false);
    rec.standardInfo(0, 0, 0, 0x20).fileName(5, u"red.png", 0x20).nonResidentData({{40, 1}}, uint64_t(png.size()), kCs);
    w.writeRecord(33, rec.build());
    Bytes cluster(kCs);
    std::memcpy(cluster.data(), png.constData(), size_t(png.size()));
    w.writeCluster(40, cluster);
    DeviceTable::Global().clear();
    DeviceTable::Global().addMemoryDrive(dev, "Picture Disk");
    MountVolumes(DeviceTable::Global());
    CDiskInventory inventory;
    inventory.Refresh();
    ASSERT_GE(inventory.partitionCount(), 1);
    app.state().selectPartition(inventory.partition(0));
    page = std::make_unique<CNtfsResultPage>(app, kModeDeleted, nullptr);
    page->show();
    QTRY_VERIFY_WITH_TIMEOUT(page->scanDone(), 30000);
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(cell(0, 0), QStringLiteral("red.png"));

    page->chooseViewMode(ResultViewMode::Thumbnails);
    EXPECT_EQ(QColor(page->listView()->listModel()->thumbnail(0).pixel(45, 45)), QColor(200, 20, 20));
    QString shown;
    page->setDialogPresenter([&](QDialog& dlg) { shown = dlg.windowTitle(); });
    page->listView()->selectRow(0);
    page->previewSelected();
    EXPECT_EQ(shown, QStringLiteral("View Image File..."));
    DeviceTable::Global().clear();
}

TEST(ResultList, RowsWhoseDataIsOverwrittenAreGreyed) {
    // Two files; the model says the second one's clusters are taken.
    struct Judged : FatPageModel {
        DataCondition rowCondition(size_t row) const override {
            return row == 1 ? DataCondition::Overwritten : DataCondition::Intact;
        }
    } model;
    FolderNode* root = model.tree().setRoot("root");
    auto files = std::make_unique<FatFolderFiles>();
    for (const char* name : {"kept.txt", "lost.txt"}) {
        auto f = std::make_unique<FatFoundFile>();
        std::snprintf(f->name, sizeof f->name, "%s", name);
        files->append(std::move(f));
    }
    root->data = std::move(files);
    model.selectFolder(root);
    ResultListModel list;
    list.setModel(&model);
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_FALSE(list.index(0, 0).data(Qt::ForegroundRole).isValid());
    EXPECT_EQ(list.index(1, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(0x9A, 0xA5, 0xB1));
    EXPECT_TRUE(list.index(1, 0).data(Qt::ToolTipRole).toString().endsWith(QStringLiteral("Data overwritten")));
}

// What the shared view does the same way over every engine's model.
struct SharedCase {
    const char* name;
    const char* image;
    const char* fs;
    std::function<CResultPage*(CTolamApp&)> make;
    const char* folder;  // a folder with files of its own
    int folderRows;
    const char* nothingChecked;
};

void PrintTo(const SharedCase& c, std::ostream* os) { *os << c.name; }

class SharedView : public ::testing::TestWithParam<SharedCase>, public uitest::PageDriver {
protected:
    CResultPage* view() const override { return page.get(); }
    void SetUp() override {
        app.state().selectPartition(uitest::AttachPartition(QString::fromLatin1(GetParam().image), GetParam().fs));
        page.reset(GetParam().make(app));
        page->show();
        QTRY_VERIFY_WITH_TIMEOUT(page->scanDone(), 30000);
    }
    uitest::ShellRecorder recorder;
    CTolamApp app;
    std::unique_ptr<CResultPage> page;
};

TEST_P(SharedView, BrowseTickAndThumbnails) {
    const SharedCase& c = GetParam();
    EXPECT_EQ(tree()->currentItem(), tree()->topLevelItem(0));
    clickFolder(QString::fromLatin1(c.folder));
    ASSERT_EQ(rows(), c.folderRows);
    clickFolderCheck(QString::fromLatin1(c.folder));
    settle();
    for (int r = 0; r < rows(); ++r) EXPECT_TRUE(rowChecked(r)) << r;
    EXPECT_NE(page->selectionTotalsLine(), QStringLiteral("0 files - 0.00 Byte"));
    EXPECT_TRUE(marked(tree()->topLevelItem(0)->text(0)));
    clickFolderCheck(QString::fromLatin1(c.folder));
    settle();
    for (int r = 0; r < rows(); ++r) EXPECT_FALSE(rowChecked(r)) << r;
    EXPECT_EQ(page->selectionTotalsLine(), QStringLiteral("0 files - 0.00 Byte"));

    page->listView()->selectRow(0);
    page->chooseViewMode(ResultViewMode::Thumbnails);
    EXPECT_EQ(page->progressDialog()->title(), QStringLiteral("Viewing icon..."));
    EXPECT_EQ(page->listView()->currentRow(), 0);  // the selection stays
    EXPECT_EQ(page->listView()->listModel()->thumbnailCount(), size_t(c.folderRows));
    EXPECT_EQ(page->listView()->listModel()->thumbnail(0).size(), QSize(90, 90));
    EXPECT_TRUE(page->listView()->icons()->isVisible());
    page->chooseViewMode(ResultViewMode::Details);
    EXPECT_TRUE(details()->isVisible());
}

TEST_P(SharedView, KeyboardReachesAndPressesTheButtons) {
    // Tab from Back skips the disabled Next; Return presses Recovery.
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
    page->button(CResultPage::kBack)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(page->button(CResultPage::kBack), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), page->button(CResultPage::kRecovery));
    QTest::keyClick(page->button(CResultPage::kRecovery), Qt::Key_Return);
    QTRY_COMPARE(recorder.messages.size(), size_t(1));
    EXPECT_EQ(recorder.messages[0].text, QString::fromLatin1(GetParam().nothingChecked));
    // Space on the filter switch turns it on and enables Filter.
    page->filterSwitch()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(page->filterSwitch(), Qt::Key_Space);
    EXPECT_TRUE(page->button(CResultPage::kFilter)->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Engines, SharedView,
    ::testing::Values(
        SharedCase{"Fat", "fat-fat16-2k.img", "FAT",
                   [](CTolamApp& app) -> CResultPage* { return new CFatResultPage(app, kModeDeleted, 1, nullptr); },
                   "Level1", 1, "Please check files for recovering"},
        SharedCase{"Ntfs", "ntfs-deleted.img", "NTFS",
                   [](CTolamApp& app) -> CResultPage* { return new CNtfsResultPage(app, kModeDeleted, nullptr); },
                   "olddir", 2, "Please select file to recover!"},
        SharedCase{"Ext", "ext-deleted.img", "EXT2",
                   [](CTolamApp& app) -> CResultPage* { return new CExtResultPage(app, kModeDeleted, nullptr); },
                   "docs", 1, "Please check files for recovering"},
        SharedCase{"Exfat", "exfat-deleted.img", "exFAT",
                   [](CTolamApp& app) -> CResultPage* { return new CExfatResultPage(app, kModeDeleted, nullptr); },
                   "Dokumente", 3, "Please check files for recovering"}),
    [](const ::testing::TestParamInfo<SharedCase>& p) { return std::string(p.param.name); });
