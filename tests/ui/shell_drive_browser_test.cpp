// The drive browser on disk images: what each mode lists, what a selection
// enables and stores, the property panel, the chart's rules, the
// administrator message and attaching another image.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <thread>

#include "disk/volume_mount.h"
#include "platform/device_table.h"
#include "shell/page_ids.h"
#include "shell/ui/drive_browser.h"
#include "shell/ui/drive_browser_model.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "support/disk_image_builder.h"
#include "support/slow_device.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

QStringList Children(const QTreeWidgetItem* item) {
    QStringList out;
    for (int i = 0; i < item->childCount(); ++i) out << item->child(i)->text(0);
    return out;
}

QTreeWidgetItem* Find(QTreeWidget* tree, const QString& part) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->text(0).contains(part)) return *it;
    }
    return nullptr;
}

class DriveBrowserTest : public ::testing::Test {
protected:
    void SetUp() override { uitest::AttachFixtures({QStringLiteral("sample-disk.img")}); }
    std::unique_ptr<CDriveBrowser> open(int mode) {
        auto page = std::make_unique<CDriveBrowser>(app, mode, nullptr);
        page->resize(768, 468);
        return page;
    }
    uitest::ShellRecorder recorder;
    CTolamApp app;
};

}  // namespace

TEST_F(DriveBrowserTest, DeletedModeListsFatNtfsAndExt) {
    auto page = open(kModeDeleted);
    QTreeWidget* tree = page->tree();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), QStringLiteral("My Computer"));
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("Vantor Disk Image sample-disk.img (96.00 MB)"));
    EXPECT_EQ(Children(root->child(0)), (QStringList{"(C:\\) FAT32 (40.00 MB)", "(D:\\) NTFS (16.00 MB)",
                                                     "(E:\\) FAT (16.00 MB)", "(*:\\) EXT3 (12.00 MB)"}));
    // The root is selected and everything expanded.
    EXPECT_EQ(tree->currentItem(), root);
    EXPECT_TRUE(root->isExpanded());
    EXPECT_TRUE(root->child(0)->isExpanded());
}

TEST_F(DriveBrowserTest, ExfatCardInBothScanModesWithItsFreeSpaceAndColour) {
    DeviceTable::Global().clear();
    uitest::AttachFixtures({QStringLiteral("exfat-deleted.img")});
    for (int mode : {kModeDeleted, kModeFormatted}) {
        auto page = open(mode);
        QTreeWidgetItem* drive = page->tree()->topLevelItem(0)->child(0);
        ASSERT_EQ(Children(drive), QStringList{QStringLiteral("(C:\\) exFAT (24.00 MB)")}) << mode;
        QTRY_VERIFY_WITH_TIMEOUT(page->freeSpaceCounted(), 5000);
        page->tree()->setCurrentItem(drive->child(0));
        const QStringList panel = page->panelTexts();
        ASSERT_EQ(panel.size(), 6);
        EXPECT_EQ(panel[0], QStringLiteral("Volume : CAMERA"));
        EXPECT_EQ(panel[4], QStringLiteral("Free Size : 21.79 MB"));  // 5578 free 4 KiB clusters
        const auto slices = PartitionChart(*page->selectedPartition());
        ASSERT_EQ(slices.size(), 2u);
        EXPECT_NE(slices[0].rgb, kChartRestColour);
        EXPECT_NE(slices[0].rgb, FileSystemColour("NTFS"));
    }
}

TEST_F(DriveBrowserTest, FormattedModeLeavesOutExt) {
    auto page = open(kModeFormatted);
    const QStringList parts = Children(page->tree()->topLevelItem(0)->child(0));
    EXPECT_EQ(parts.size(), 3);
    EXPECT_FALSE(parts.join(' ').contains(QStringLiteral("EXT3")));
}

TEST_F(DriveBrowserTest, RawModeListsEveryRecordWithTheGaps) {
    auto page = open(kModeRaw);
    const QStringList parts = Children(page->tree()->topLevelItem(0)->child(0));
    EXPECT_GT(parts.size(), 4);
    EXPECT_TRUE(parts.join(' ').contains(QStringLiteral("Deleted")));
    EXPECT_TRUE(parts.join(' ').contains(QStringLiteral("EXT3")));
    // A drive is scanned whole in this mode.
    page->tree()->setCurrentItem(page->tree()->topLevelItem(0)->child(0));
    EXPECT_TRUE(page->nextButton()->isEnabled());
    EXPECT_TRUE(page->optionButton()->isEnabled());
    EXPECT_EQ(app.state().currentPartition.fileSystemName(), "Whole Disk");
    EXPECT_EQ(app.state().rawRangeEnd, 96u * 2048u);
}

TEST_F(DriveBrowserTest, SelectingAPartitionEnablesNextAndOptionAndStoresIt) {
    auto page = open(kModeDeleted);
    EXPECT_FALSE(page->nextButton()->isEnabled());
    EXPECT_FALSE(page->optionButton()->isEnabled());

    QTreeWidgetItem* fat32 = Find(page->tree(), QStringLiteral("FAT32"));
    ASSERT_NE(fat32, nullptr);
    page->tree()->setCurrentItem(fat32);
    EXPECT_TRUE(page->nextButton()->isEnabled());
    EXPECT_TRUE(page->optionButton()->isEnabled());
    ASSERT_NE(page->selectedPartition(), nullptr);
    EXPECT_EQ(page->selectedDrive(), nullptr);
    const AppState& s = app.state();
    EXPECT_EQ(s.currentPartition.fileSystemName(), "FAT32");
    EXPECT_EQ(s.currentPartition.startSector, 2048u);
    EXPECT_EQ(s.currentRoot, "C:\\");
    EXPECT_TRUE(s.currentFolder.empty());
    EXPECT_EQ(s.rangeStart, 2048u);
    EXPECT_EQ(s.rangeEnd, 2048u + 40u * 2048u);
    EXPECT_EQ(s.rawRangeEnd, s.rangeEnd);
    const QStringList panel = page->panelTexts();
    ASSERT_EQ(panel.size(), 6);
    EXPECT_EQ(panel[1], QStringLiteral("Start Sector : 2048"));
    EXPECT_EQ(panel[3], QStringLiteral("Byte/Sector : 512"));
    EXPECT_EQ(panel[5], QStringLiteral("Total Size : 40.00 MB"));

    // A drive after a partition disables Next again; the stored partition stays.
    QTreeWidgetItem* drive = page->tree()->topLevelItem(0)->child(0);
    page->tree()->setCurrentItem(drive);
    EXPECT_FALSE(page->nextButton()->isEnabled());
    EXPECT_FALSE(page->optionButton()->isEnabled());
    EXPECT_EQ(page->selectedPartition(), nullptr);
    ASSERT_NE(page->selectedDrive(), nullptr);
    EXPECT_EQ(s.currentPartition.fileSystemName(), "FAT32");
    EXPECT_EQ(page->panelTexts(), (QStringList{"Model : Vantor Disk Image sample-disk.img", "Drive Size : 96.00 MB",
                                               "Count of partitions : 4"}));
    page->tree()->setCurrentItem(page->tree()->topLevelItem(0));
    EXPECT_EQ(page->selectedDrive(), nullptr);
    EXPECT_TRUE(page->panelTexts().isEmpty());
}

TEST_F(DriveBrowserTest, DriveWhosePartitionsAllFailTheModeIsNotAccessible) {
    // One EXT2 partition: listed in the deleted mode, none in the formatted one.
    vantor::test::DiskImageBuilder disk(8192);
    disk.entry(0, 0, 0x83, 2048, 4096).signature(0).extSuperblock(2048, 0, "extonly");
    DeviceTable& table = DeviceTable::Global();
    table.clear();
    table.addMemoryDrive(disk.device(), "Test Disk");
    MountVolumes(table);

    auto deleted = open(kModeDeleted);
    EXPECT_EQ(deleted->tree()->topLevelItem(0)->child(0)->childCount(), 1);
    auto formatted = open(kModeFormatted);
    QTreeWidgetItem* drive = formatted->tree()->topLevelItem(0)->child(0);
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(drive->childCount(), 0);
    formatted->tree()->setCurrentItem(drive);
    EXPECT_EQ(formatted->panelTexts(), QStringList{QStringLiteral("This device is not accessible")});
}

TEST_F(DriveBrowserTest, NoPartitionEntriesLeaveOnlyMyComputer) {
    DeviceTable::Global().clear();
    auto page = open(kModeRaw);
    ASSERT_EQ(page->inventory().partitionCount(), 0);
    ASSERT_EQ(page->tree()->topLevelItemCount(), 1);
    EXPECT_EQ(page->tree()->topLevelItem(0)->childCount(), 0);
    EXPECT_FALSE(page->nextButton()->isEnabled());
    EXPECT_TRUE(page->panelTexts().isEmpty());
    EXPECT_FALSE(page->emptyHint()->isHidden());  // points to "Open disk image..."
}

TEST_F(DriveBrowserTest, OpenDiskImageAddsADriveAndRefreshes) {
    auto page = open(kModeDeleted);
    ASSERT_TRUE(page->OpenDiskImage(uitest::FixturePath(QStringLiteral("whole-fat16.img"))));
    QTreeWidgetItem* root = page->tree()->topLevelItem(0);
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(page->tree()->currentItem(), root->child(1)) << "the image just opened is selected";
    EXPECT_TRUE(page->emptyHint()->isHidden());
    EXPECT_TRUE(root->child(0)->text(0).contains(QStringLiteral("sample-disk.img")));
    EXPECT_TRUE(root->child(1)->text(0).contains(QStringLiteral("whole-fat16.img")));
    EXPECT_GE(root->child(1)->childCount(), 1);
    EXPECT_EQ(app.attachedImages().size(), 2);
    // The same image again is not attached twice.
    ASSERT_TRUE(page->OpenDiskImage(uitest::FixturePath(QStringLiteral("whole-fat16.img"))));
    EXPECT_EQ(page->tree()->topLevelItem(0)->childCount(), 2);

    EXPECT_FALSE(page->OpenDiskImage(QStringLiteral("/nonexistent/disk.img")));
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(page->tree()->topLevelItem(0)->childCount(), 2);

    // Past the tree's height the list scrolls to the image just opened.
    for (const char* name : {"fat-fat12.img", "fat-fat32.img", "fat-fat16-2k.img", "gpt-disk.img", "ntfs-deleted.img"})
        ASSERT_TRUE(page->OpenDiskImage(uitest::FixturePath(QString::fromLatin1(name))));
    page->show();
    QTreeWidgetItem* last = page->tree()->currentItem();
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(last->text(0).contains(QStringLiteral("ntfs-deleted.img")));
    EXPECT_GT(page->tree()->verticalScrollBar()->value(), 0);
    const QRect row = page->tree()->visualItemRect(last);
    EXPECT_TRUE(row.top() >= 0 && row.bottom() < page->tree()->viewport()->height()) << row.top();
}

TEST(DriveBrowserAdministrator, RefusedRightsShowTheMessage) {
    uitest::ShellRecorder recorder;
    CDriveBrowser::AdministratorCheck(nullptr, kErrAccessDenied);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, QStringLiteral("Please run this product as Administrator!"));
    EXPECT_EQ(recorder.messages[0].caption, QStringLiteral("Information"));
    // Other failures are silent.
    CDriveBrowser::AdministratorCheck(nullptr, kErrFileNotFound);
    CDriveBrowser::AdministratorCheck(nullptr, kSuccess);
    EXPECT_EQ(recorder.messages.size(), 1u);
}

TEST_F(DriveBrowserTest, EveryCreationWithoutRightsShowsTheAdministratorMessage) {
    CDriveBrowser::SetDriveZeroProbe([] { return kErrAccessDenied; });
    for (int i = 0; i < 2; ++i) {
        auto page = open(kModeDeleted);
        QCoreApplication::processEvents();  // the check runs once the page is up
    }
    CDriveBrowser::SetDriveZeroProbe({});
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[1].text, QStringLiteral("Please run this product as Administrator!"));
    // The page still opened and lists the drive.
    auto page = open(kModeDeleted);
    QCoreApplication::processEvents();
    EXPECT_EQ(page->tree()->topLevelItem(0)->childCount(), 1);
    EXPECT_EQ(recorder.messages.size(), 2u);  // the real probe on an image file is not refused
}

TEST(DriveBrowserModel, LabelsAndModeFilter) {
    PartitionRecord r;
    r.setFileSystem("NTFS");
    r.totalBytes = 3221225472ull;
    EXPECT_EQ(PartitionItemText(r), "(*:\\) NTFS (3.00 GB)");
    r.driveLetter = 'D';
    r.totalBytes = 1536;
    EXPECT_EQ(PartitionItemText(r), "(D:\\) NTFS (1.50 KB)");
    PhysicalDriveInfo d;
    std::snprintf(d.modelText, sizeof d.modelText, "%s", "Tiny");
    d.sizeBytes = 1000;
    EXPECT_EQ(DriveItemText(d), "Tiny (1000 Byte)");
    d.sizeBytes = 2048;
    EXPECT_EQ(DriveItemText(d), "Tiny (2.00 KB)");

    for (const char* fs : {"NTFS", "FAT32", "FAT", "FAT16", "exFAT"}) {
        EXPECT_TRUE(PassesModeFilter(kModeDeleted, fs)) << fs;
        EXPECT_TRUE(PassesModeFilter(kModeFormatted, fs)) << fs;
    }
    for (const char* fs : {"EXT2", "EXT3", "EXT4"}) {
        EXPECT_TRUE(PassesModeFilter(kModeDeleted, fs)) << fs;
        EXPECT_FALSE(PassesModeFilter(kModeFormatted, fs)) << fs;
    }
    EXPECT_FALSE(PassesModeFilter(kModeDeleted, "#NTFS#"));
    EXPECT_TRUE(PassesModeFilter(kModeRaw, "#NTFS#"));
    EXPECT_TRUE(PassesModeFilter(kModeRaw, "Deleted"));
    EXPECT_FALSE(PassesModeFilter(kModePartition, "NTFS"));
    EXPECT_FALSE(PassesModeFilter(kModeDeleted, "FAT12"));
}

TEST(DriveBrowserModel, ChartRules) {
    PhysicalDriveInfo d;
    d.sizeBytes = 1000000;
    PartitionRecord small;
    small.setFileSystem("NTFS");
    small.totalBytes = 5000;  // 0.5 %: alone on its drive it fills the disc
    auto slices = DriveChart(d, {&small});
    ASSERT_EQ(slices.size(), 1u);
    EXPECT_EQ(slices[0].rgb, 0x9E3FFFu);
    EXPECT_DOUBLE_EQ(slices[0].share, 1.0);

    PartitionRecord half;
    half.setFileSystem("FAT32");
    half.totalBytes = 500000;
    slices = DriveChart(d, {&half, &small});  // the tiny one is left out, the rest is grey
    ASSERT_EQ(slices.size(), 2u);
    EXPECT_EQ(slices[0].rgb, 0x0000FFu);
    EXPECT_EQ(slices[1].rgb, kChartRestColour);
    EXPECT_NEAR(slices[1].share, 0.495, 1e-9);

    PartitionRecord p;
    p.setFileSystem("FAT16");
    p.totalBytes = 1000;
    p.freeBytes = 997;  // 0.3 % used
    slices = PartitionChart(p);
    ASSERT_EQ(slices.size(), 1u);
    EXPECT_EQ(slices[0].rgb, kChartFreeColour);
    p.freeBytes = 3;  // 99.7 % used
    slices = PartitionChart(p);
    ASSERT_EQ(slices.size(), 1u);
    EXPECT_EQ(slices[0].rgb, 0x00FF00u);
    p.freeBytes = 250;
    slices = PartitionChart(p);
    ASSERT_EQ(slices.size(), 2u);
    EXPECT_NEAR(slices[0].share, 0.75, 1e-9);
    p.totalBytes = 0;  // an empty record must not divide by zero
    EXPECT_EQ(PartitionChart(p).size(), 1u);
}

TEST_F(DriveBrowserTest, OptionOpensTheQuickSearchInTheScanModes) {
    auto page = open(kModeDeleted);
    page->show();
    page->tree()->setCurrentItem(Find(page->tree(), QStringLiteral("FAT32")));
    QString title;
    QTimer::singleShot(0, [&title] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            title = modal->windowTitle();
            modal->close();
        }
    });
    QTest::mouseClick(page->optionButton(), Qt::LeftButton);
    EXPECT_EQ(title, QStringLiteral("Set Quick Search..."));
}

namespace {

// The sample image on a worn disk (2 MB/s) that hangs in the FAT of E:.
constexpr uint64_t kFat16FatByte = (126976 + 1) * 512;

std::shared_ptr<test::SlowDevice> WornSample() {
    auto disk = test::SlowDevice::FromFile(uitest::FixturePath(QStringLiteral("sample-disk.img")).toStdString());
    disk->microsPerKiB = 500;
    disk->slow = true;
    disk->holdReadsIn(kFat16FatByte, kFat16FatByte + 16384);
    DeviceTable::Global().clear();
    DeviceTable::Global().addMemoryDrive(disk, "Worn Disk");
    return disk;
}

QString FreeLine(CDriveBrowser& page, const QString& item) {
    page.tree()->setCurrentItem(Find(page.tree(), item));
    const QStringList panel = page.panelTexts();
    return panel.size() == 6 ? panel[4] : QString();
}

}  // namespace

TEST_F(DriveBrowserTest, OpensAtOnceOnASlowDriveAndFillsTheFreeSizesInWhenCounted) {
    open(kModeDeleted);  // the skin's pictures are drawn once per process: not the disk's doing
    auto disk = WornSample();
    QElapsedTimer clock;
    clock.start();
    CDriveBrowser page(app, kModeDeleted, nullptr);
    const qint64 interfaceMs = clock.elapsed();
    std::printf("drive browser opened in %lld ms on the worn disk (%d reads)\n", static_cast<long long>(interfaceMs), disk->reads.load());
    EXPECT_LT(interfaceMs, 140) << "counting the FAT32 table alone takes 160 ms here";
    EXPECT_EQ(FreeLine(page, QStringLiteral("FAT32")), QStringLiteral("Free Size : ..."));

    QTRY_COMPARE_WITH_TIMEOUT(FreeLine(page, QStringLiteral("FAT32")), QStringLiteral("Free Size : 39.16 MB"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(FreeLine(page, QStringLiteral("NTFS")), QStringLiteral("Free Size : 13.48 MB"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(disk->waiting.load(), 1, 5000);
    EXPECT_EQ(FreeLine(page, QStringLiteral("(E:")), QStringLiteral("Free Size : ..."));
    EXPECT_FALSE(page.freeSpaceCounted());

    disk->release();
    QTRY_VERIFY_WITH_TIMEOUT(page.freeSpaceCounted(), 5000);
    auto plain = test::SlowDevice::FromFile(uitest::FixturePath(QStringLiteral("sample-disk.img")).toStdString());
    EXPECT_EQ(FreeLine(page, QStringLiteral("(E:")),
              QStringLiteral("Free Size : ") + QString::fromStdString(FormatSize(*CountFreeBytes(*plain, 126976 * 512))));
    DeviceTable::Global().clear();
}

TEST_F(DriveBrowserTest, APageClosedWhileCountingStopsItsWorker) {
    auto disk = WornSample();
    auto page = open(kModeDeleted);
    QTRY_COMPARE_WITH_TIMEOUT(disk->waiting.load(), 1, 5000);  // the worker hangs in a read
    std::thread unstick([&disk] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        disk->release();
    });
    QElapsedTimer clock;
    clock.start();
    page.reset();  // waits for the read under way, then the worker is gone
    const qint64 closeMs = clock.elapsed();
    unstick.join();
    EXPECT_GE(closeMs, 150);
    EXPECT_LT(closeMs, 2000);
    const int reads = disk->reads;
    QTest::qWait(100);  // results posted to the page that is gone are dropped with it
    EXPECT_EQ(disk->reads, reads) << "no read after the page closed";
    DeviceTable::Global().clear();
}
