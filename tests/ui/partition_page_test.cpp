// The partition page on a copy of the lost-partition disk (sfdisk, entries
// removed with `sfdisk --delete`): the search finds the removed partitions,
// a confirmed restore puts one back into the image's table, and "Undo last
// restore" gives the image back byte for byte.
#include "shell/ui/partition/partition_page.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <set>
#include <tuple>

#include "dialogs_modal_answerer.h"
#include "disk/partition_table.h"
#include "disk/volume_mount.h"
#include "partition/partition_restore.h"
#include "platform/device_table.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "support/slow_device.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

using Entry = std::tuple<uint64_t, uint64_t, int>;  // start, sectors, type byte

std::set<Entry> TableOf(const QString& path) {
    std::shared_ptr<FileDevice> dev;
    EXPECT_EQ(FileDevice::open(path.toStdString(), false, dev), kSuccess);
    PartitionList list;
    EXPECT_TRUE(ReadPartitionTable(*dev, dev->size(), 0, list));
    std::set<Entry> out;
    for (const auto& r : list.records())
        if (!r.isGap()) out.insert({r.startSector, r.totalBytes / 512, r.partitionType});
    return out;
}

int RowOf(const CPartitionPage& page, uint64_t start, const std::string& fs) {
    const auto& records = page.model().partitions();
    for (size_t i = 0; i < records.size(); ++i)
        if (records[i].startSector == start && records[i].fileSystemName() == fs)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

// A copy of the disk as drive 0, backups and undo files in a folder of its
// own; every question is answered OK, a save dialog takes what it proposes.
class PartitionPageOnACopy : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
        ASSERT_TRUE(QFile::copy(uitest::FixturePath(QStringLiteral("lost-b.img")), image));
        QFile::setPermissions(image, QFile::ReadOwner | QFile::WriteOwner);
        DeviceTable::Global().attachImages({image.toStdString()});
        MountVolumes(DeviceTable::Global());
        before = uitest::ReadAll(image);
        tableBefore = TableOf(image);
    }
    void TearDown() override { DeviceTable::Global().clear(); }
    void search(CPartitionPage& page) {
        QTreeWidgetItem* autoScan = page.sourceList()->topLevelItem(0);
        const QPoint at = page.sourceList()->visualItemRect(autoScan).center();
        QTest::mouseClick(page.sourceList()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(page.sourceList()->viewport(), Qt::LeftButton, {}, at);
    }

    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("lost-b.img"));
    QByteArray before;
    std::set<Entry> tableBefore;
    uitest::ShellRecorder recorder;
    QStringList asked;  // the questions answered OK, as "caption: text"
    QString savedIn;    // the folder a save dialog proposed
    uitest::ModalAnswerer answerer{[this](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            asked << box->windowTitle() + QStringLiteral(": ") + box->text();
            QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Ok)->click(); });
        } else if (auto* save = qobject_cast<QFileDialog*>(modal)) {
            savedIn = save->directory().absolutePath();
            QMetaObject::invokeMethod(save, "accept", Qt::QueuedConnection);
        }
    }};
};

TEST_F(PartitionPageOnACopy, SearchRestoreAndUndo) {
    CTolamApp app;
    CPartitionPage page(app, nullptr);
    page.resize(772, 469);
    page.show();
    ASSERT_EQ(page.driveList()->count(), 1);
    ASSERT_GE(page.sourceList()->topLevelItemCount(), 2);
    EXPECT_EQ(page.sourceList()->topLevelItem(0)->text(0), QStringLiteral("  Auto Scan ...    "));

    // "Auto Scan" by double click: both removed partitions, with their true sizes.
    search(page);
    const int fat32 = RowOf(page, 2048, "FAT32");
    ASSERT_GE(fat32, 0);
    ASSERT_GE(RowOf(page, 106496, "FAT16"), 0);
    EXPECT_EQ(page.model().partitions()[static_cast<size_t>(fat32)].totalBytes / 512, 69632u);
    EXPECT_EQ(page.partitionList()->count(), static_cast<int>(page.model().partitions().size()));
    EXPECT_TRUE(recorder.messages.empty());

    // The restore, confirmed: the image's table lists the partition, the rest unchanged.
    page.partitionList()->setCurrentRow(fat32);
    EXPECT_EQ(page.model().selectedPartition()->startSector, 2048u);
    EXPECT_FALSE(page.undoButton()->isEnabled());
    QTest::mouseClick(page.recoveryButton(), Qt::LeftButton);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("Recovery Success!"));
    EXPECT_TRUE(recorder.messages[0].text.startsWith(QString::fromLatin1(kRecoverSuccessText)));
    std::set<Entry> expected = tableBefore;
    expected.insert({2048, 69632, 0x0C});  // as sfdisk made it
    EXPECT_EQ(TableOf(image), expected);
    ASSERT_TRUE(page.undoButton()->isEnabled());

    QTest::mouseClick(page.undoButton(), Qt::LeftButton);
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[1].caption, QStringLiteral("Success"))
        << qPrintable(recorder.messages[1].text);
    EXPECT_TRUE(uitest::ReadAll(image) == before);
    EXPECT_FALSE(page.undoButton()->isEnabled());
    EXPECT_EQ(asked,
              (QStringList{QStringLiteral("Warning: ") + QString::fromLatin1(kRecoverConfirmText),
                           QStringLiteral("Confirm: Undo the last restore on this drive?")}));
}

// A backup saved after a restore is listed for the drive, and after the undo
// it gives the partition back by itself.
TEST_F(PartitionPageOnACopy, ABackupSavedAfterARestoreRestoresItAgain) {
    CTolamApp app;
    CPartitionPage page(app, nullptr);
    page.resize(772, 469);
    page.show();
    search(page);
    page.partitionList()->setCurrentRow(RowOf(page, 2048, "FAT32"));
    page.Recover();
    std::set<Entry> restored = tableBefore;
    restored.insert({2048, 69632, 0x0C});
    ASSERT_EQ(TableOf(image), restored);

    page.Backup();
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[1].text, QStringLiteral("Backup has finished!"));
    EXPECT_EQ(savedIn, dir.filePath(QStringLiteral("data/vantor/backup")));
    ASSERT_EQ(page.sourceList()->topLevelItemCount(), 3);
    EXPECT_TRUE(page.sourceList()->topLevelItem(1)->text(1).startsWith(savedIn))
        << qPrintable(page.sourceList()->topLevelItem(1)->text(1));
    page.UndoLastRestore();
    ASSERT_TRUE(uitest::ReadAll(image) == before);

    page.OpenSource(1);
    const int fat32 = RowOf(page, 2048, "FAT32");
    ASSERT_GE(fat32, 0);
    EXPECT_FALSE(page.model().isFound(fat32));
    page.partitionList()->setCurrentRow(fat32);
    page.Recover();
    EXPECT_EQ(recorder.messages.back().caption, QStringLiteral("Recovery Success!"));
    EXPECT_EQ(TableOf(image), restored);
}

// Every read of this disk takes 300 ms, so a whole search takes a minute;
// Cancel in the progress dialog ends it after the read under way.
TEST(PartitionPage, CancelStopsASearchOfASlowDisk) {
    auto slow =
        test::SlowDevice::FromFile(uitest::FixturePath(QStringLiteral("lost-b.img")).toStdString());
    DeviceTable::Global().clear();
    DeviceTable::Global().addMemoryDrive(slow, "Slow Disk");
    uitest::ShellRecorder recorder;
    uitest::ModalAnswerer answerer([](QWidget* modal) {
        if (auto* dlg = qobject_cast<CProgressDlg*>(modal))
            QTimer::singleShot(200, dlg,
                               [dlg] { dlg->findChild<QPushButton*>(ControlName(1037))->click(); });
    });
    CTolamApp app;
    CPartitionPage page(app, nullptr);
    page.show();
    slow->stalled = true;
    const int readsBefore = slow->reads;
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(page.SearchSelectedDrive());  // a cancel is not a failure
    slow->stalled = false;
    EXPECT_LT(clock.elapsed(), 10000);  // the whole search takes over a minute here
    EXPECT_LT(slow->reads - readsBefore, 10);
    EXPECT_EQ(page.partitionList()->count(), 0);
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_FALSE(page.progressDialog()->isVisible());
    DeviceTable::Global().clear();
}
