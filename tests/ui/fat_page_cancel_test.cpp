// A scan of a slow drive keeps the progress dialog alive and stops soon
// after Cancel: the interface thread never waits on the device, and the page
// keeps what was found until then.
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "disk/disk_inventory.h"
#include "disk/volume_mount.h"
#include "shell/page_ids.h"
#include "platform/device_table.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "shell/ui/fat/fat_page.h"
#include "shell/ui/ntfs/ntfs_page.h"
#include "shell/ui/results/result_list_view.h"
#include "shell/ui/results/result_tree_view.h"
#include "shell/ui/tolam_app.h"
#include "dialogs_modal_answerer.h"
#include "support/slow_device.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

using test::SlowDevice;

std::shared_ptr<SlowDevice> SlowFixture(const QString& image = QStringLiteral("fat-fat16-16k.img")) {
    return SlowDevice::FromFile(uitest::FixturePath(image).toStdString());
}

// The fixture's volume as the only drive; its partition record.
PartitionRecord MountAlone(const std::shared_ptr<SlowDevice>& device) {
    DeviceTable& table = DeviceTable::Global();
    table.clear();
    table.addMemoryDrive(device, "Slow Disk");
    MountVolumes(table);
    CDiskInventory inventory;
    inventory.Refresh();
    EXPECT_GE(inventory.partitionCount(), 1);
    return inventory.partitionCount() > 0 ? inventory.partition(0) : PartitionRecord{};
}

}  // namespace

TEST(FatPageCancel, CancelStopsAScanOfASlowDrive) {
    auto slow = SlowFixture();
    const PartitionRecord partition = MountAlone(slow);
    DeviceTable& table = DeviceTable::Global();

    uitest::ShellRecorder recorder;
    CTolamApp app;
    app.state().selectPartition(partition);
    slow->slow = true;  // a whole pass now takes about four seconds

    QElapsedTimer clock;
    int ticksSeen = 0;
    uitest::ModalAnswerer answerer([&](QWidget* modal) {
        auto* dlg = qobject_cast<CProgressDlg*>(modal);
        if (!dlg) return;
        // The text timer keeps running while the worker reads: the clock
        // moves within 2.5 s even on a loaded machine, then Cancel is pressed.
        auto* poll = new QTimer(dlg);
        auto* waited = new QElapsedTimer;
        waited->start();
        QObject::connect(poll, &QTimer::timeout, dlg, [dlg, poll, waited, &ticksSeen] {
            const bool moved =
                dlg->findChild<QLabel*>(ControlName(1006))->text() != QStringLiteral("Elapsed Time : 00:00:00");
            if (!moved && waited->elapsed() < 2500) return;
            ticksSeen = moved;
            poll->stop();
            delete waited;
            dlg->findChild<QPushButton*>(ControlName(1037))->click();
        });
        poll->start(100);
    });
    clock.start();
    CFatResultPage page(app, 10002, 1, nullptr);
    page.show();
    QTRY_VERIFY_WITH_TIMEOUT(page.scanDone(), 20000);
    const qint64 took = clock.elapsed();
    slow->slow = false;
    EXPECT_TRUE(page.lastScan().stopped);
    EXPECT_EQ(ticksSeen, 1);
    EXPECT_LT(took, 3500);  // a whole pass takes over 4 s
    EXPECT_FALSE(page.progressDialog()->isVisible());
    table.clear();
}

TEST(FatPageCancel, CancelWhileTheVolumeOpensIsNotLost) {
    auto slow = SlowFixture();
    const PartitionRecord partition = MountAlone(slow);
    DeviceTable& table = DeviceTable::Global();

    uitest::ShellRecorder recorder;
    CTolamApp app;
    app.state().selectPartition(partition);
    slow->stalled = true;  // the boot sector and FAT reads alone take a while
    int readsAtCancel = -1;
    uitest::ModalAnswerer answerer([&](QWidget* modal) {
        auto* dlg = qobject_cast<CProgressDlg*>(modal);
        if (!dlg) return;
        QTimer::singleShot(50, dlg, [dlg, &readsAtCancel, slow] {
            readsAtCancel = slow->reads;
            dlg->findChild<QPushButton*>(ControlName(1037))->click();
        });
    });
    CFatResultPage page(app, 10002, 1, nullptr);
    page.show();
    QTRY_VERIFY_WITH_TIMEOUT(page.scanDone(), 60000);
    slow->stalled = false;
    EXPECT_TRUE(page.lastScan().stopped);
    ASSERT_GE(readsAtCancel, 0);
    // Opening finishes its reads; the scan itself must not start its pass.
    EXPECT_LE(slow->reads - readsAtCancel, 4) << "reads after Cancel";
    table.clear();
}

TEST(NtfsPageCancel, CancelKeepsWhatWasFoundAndThePageUsable) {
    auto slow = SlowFixture(QStringLiteral("ntfs-deleted.img"));
    const PartitionRecord partition = MountAlone(slow);
    uitest::ShellRecorder recorder;
    CTolamApp app;
    app.state().selectPartition(partition);
    slow->slow = true;  // the search for old records takes seconds; the MFT listing does not
    CNtfsResultPage* shown = nullptr;
    int foldersAtCancel = -1;
    uitest::ModalAnswerer answerer([&](QWidget* modal) {
        auto* dlg = qobject_cast<CProgressDlg*>(modal);
        if (!dlg) return;
        QTimer::singleShot(800, dlg, [&, dlg] {
            // The tree grew while the scan ran, behind the dialog.
            foldersAtCancel = static_cast<int>(
                shown->treeView()->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive).size());
            dlg->findChild<QPushButton*>(ControlName(1037))->click();
        });
    });
    CNtfsResultPage page(app, kModeFormatted, nullptr);
    shown = &page;
    page.show();
    QTRY_VERIFY_WITH_TIMEOUT(page.scanDone(), 20000);
    slow->slow = false;
    EXPECT_TRUE(page.scanCancelled());
    EXPECT_GE(foldersAtCancel, 4);  // the root, docs, nested, deeper, ...
    EXPECT_EQ(page.scanNote(), QStringLiteral("The scan was cancelled: the list holds what was found until Cancel."));
    // The listing of the current MFT came in before Cancel; the tree shows it.
    const auto docs = page.treeView()->findItems(QStringLiteral("docs"), Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(docs.size(), 1);
    page.treeView()->setCurrentItem(docs.first());
    EXPECT_GT(page.model().rowCount(), 0u);
    page.listView()->toggleRowCheck(0, true);
    QTest::qWait(30);
    EXPECT_TRUE(page.model().canRecover());
    DeviceTable::Global().clear();
}

TEST(NtfsPageCancel, CancelWhileTheMftLoadsEndsTheScan) {
    auto slow = SlowFixture(QStringLiteral("ntfs-deleted.img"));
    const PartitionRecord partition = MountAlone(slow);
    uitest::ShellRecorder recorder;
    CTolamApp app;
    app.state().selectPartition(partition);
    slow->stalled = true;
    int readsAtCancel = -1;
    uitest::ModalAnswerer answerer([&](QWidget* modal) {
        auto* dlg = qobject_cast<CProgressDlg*>(modal);
        if (!dlg) return;
        QTimer::singleShot(50, dlg, [dlg, &readsAtCancel, slow] {
            readsAtCancel = slow->reads;
            dlg->findChild<QPushButton*>(ControlName(1037))->click();
        });
    });
    CNtfsResultPage page(app, kModeDeleted, nullptr);
    page.show();
    QTRY_VERIFY_WITH_TIMEOUT(page.scanDone(), 30000);
    slow->stalled = false;
    EXPECT_TRUE(page.scanCancelled());
    EXPECT_EQ(page.model().foundFiles(), 0u);
    ASSERT_GE(readsAtCancel, 0);
    // The boot sector and record 0 finish their reads; the MFT is not read.
    EXPECT_LE(slow->reads - readsAtCancel, 2) << "reads after Cancel";
    DeviceTable::Global().clear();
}
