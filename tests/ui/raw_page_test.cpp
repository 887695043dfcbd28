// The RAW page and its options dialog on a small carving disk: a JPEG and two
// PNGs from the carving fixture (real encoders) placed in random data on a
// drive without a partition table, scanned whole. By mouse: the tree by
// type, a picture preview, recovery into one folder per extension; the
// dialog's range checks and the types it leaves ticked reach the scan.
#include <QCheckBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <cstring>

#include "disk/disk_inventory.h"
#include "platform/device_table.h"
#include "raw/raw_page_model.h"
#include "recovery/raw_session.h"
#include "shell/page_ids.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/preview_dialogs.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "shell/ui/dialogs/raw_options_dialog.h"
#include "shell/ui/raw/raw_page.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/tolam_app.h"
#include "result_page_driver.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

struct Placed {
    const char* name;
    size_t offset;
};
constexpr Placed kPlaced[] = {{"photo1.jpg", 65536}, {"image1.png", 1048576 + 4096}, {"image2.png", 2621440 + 512}};
constexpr size_t kDiskBytes = 4 << 20;

QByteArray FixtureFile(const char* name) {
    return uitest::ReadAll(uitest::FixturePath(QStringLiteral("raw-carving/files/") + QLatin1String(name)));
}

// Attaches the disk as drive 0 and selects it whole.
void AttachCarvingDisk(CTolamApp& app) {
    std::vector<std::byte> disk(kDiskBytes);
    uint64_t x = 7;
    for (size_t i = 512; i + 8 <= disk.size(); i += 8) {  // sector 0 stays zero: no partition table
        uint64_t z = (x += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        std::memcpy(&disk[i], &z, 8);
    }
    for (const Placed& p : kPlaced) {
        const QByteArray data = FixtureFile(p.name);
        ASSERT_FALSE(data.isEmpty()) << p.name;
        std::memcpy(&disk[p.offset], data.constData(), static_cast<size_t>(data.size()));
    }
    DeviceTable& table = DeviceTable::Global();
    table.clear();
    PhysicalDriveInfo drive;
    drive.driveIndex = static_cast<uint32_t>(table.addMemoryDrive(std::make_shared<MemoryDevice>(std::move(disk))));
    drive.sizeBytes = static_cast<int64_t>(kDiskBytes);
    app.state().selectPartition(RawWholeDriveRecord(drive));
}

class RawPage : public ::testing::Test, public uitest::PageDriver {
protected:
    CResultPage* view() const override { return page.get(); }
    void SetUp() override {
        setenv("VANTOR_RP_DAT", VANTOR_RP_DAT, 1);
        AttachCarvingDisk(app);
    }
    void scan() {
        page = std::make_unique<CRawResultPage>(app, kModeRaw, nullptr);
        page->show();
        QTRY_VERIFY_WITH_TIMEOUT(page->scanDone(), 30000);
    }
    uitest::ShellRecorder recorder;
    CTolamApp app;
    std::unique_ptr<CRawResultPage> page;
};

const QString kRoot = QStringLiteral("RAW - Logical Disk (*:)");

}  // namespace

TEST_F(RawPage, TreeByTypePreviewAndRecoveryIntoTypeFolders) {
    scan();
    EXPECT_EQ(page->progressDialog()->title(), QStringLiteral("Scanning Raw Files ..."));
    EXPECT_EQ(tree()->objectName(), QStringLiteral("TTreeView_RAW"));
    EXPECT_EQ(page->listView()->objectName(), QStringLiteral("TListView_RAW"));
    EXPECT_TRUE(page->scanNote().isEmpty()) << qPrintable(page->scanNote());
    QTreeWidgetItem* root = item(kRoot);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("JPEG Image"));
    EXPECT_EQ(root->child(1)->text(0), QStringLiteral("PNG Image"));
    EXPECT_EQ(rows(), 3);  // the root lists every carved file

    clickFolder(QStringLiteral("PNG Image"));
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(cell(0, 0), QStringLiteral("File1.png"));
    EXPECT_EQ(cell(1, 0), QStringLiteral("File2.png"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("16.2KB"));

    // A double click shows the carved picture.
    bool picture = false;
    page->setDialogPresenter([&](QDialog& dlg) { picture = qobject_cast<CImageViewDlg*>(&dlg) != nullptr; });
    const QPoint at = details()->visualRect(details()->model()->index(0, 1)).center();
    QTest::mouseClick(details()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(details()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(picture);

    page->button(CResultPage::kRecovery)->click();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, QStringLiteral("Please select file to recover!"));
    clickFolderCheck(QStringLiteral("PNG Image"));
    settle();
    EXPECT_TRUE(marked(kRoot));
    EXPECT_FALSE(marked(QStringLiteral("JPEG Image")));
    clickFolder(QStringLiteral("JPEG Image"));
    ASSERT_EQ(rows(), 1);
    clickRowCheck(0);
    settle();
    EXPECT_TRUE(checked(QStringLiteral("JPEG Image")));

    QTemporaryDir dest;
    ASSERT_TRUE(dest.isValid());
    const QString d = dest.path();
    page->setFolderChooser([&](QWidget*) { return d; });
    page->button(CResultPage::kRecovery)->click();
    ASSERT_TRUE(page->recoveryRan());
    EXPECT_EQ(page->lastRecovery().written, 3u);
    // Format ends make each file byte-exact.
    EXPECT_EQ(uitest::ReadAll(d + "/jpg/File0.jpg"), FixtureFile("photo1.jpg"));
    EXPECT_EQ(uitest::ReadAll(d + "/png/File1.png"), FixtureFile("image1.png"));
    EXPECT_EQ(uitest::ReadAll(d + "/png/File2.png"), FixtureFile("image2.png"));
    const auto report = nlohmann::json::parse(uitest::ReadAll(page->reportPath()).toStdString());
    EXPECT_EQ(report["scan"], "raw");
    EXPECT_EQ(report["files"].size(), 3u);
}

TEST_F(RawPage, OptionsDialogChecksTheRangeAndItsTypesReachTheScan) {
    const uint32_t last = app.state().rangeEnd;
    CRawOptionsDlg dlg(app.rawTable(), app.state());
    auto* start = dlg.findChild<QLineEdit*>(ControlName(CRawOptionsDlg::kStart));
    auto* end = dlg.findChild<QLineEdit*>(ControlName(CRawOptionsDlg::kEnd));
    auto* list = dlg.findChild<QTreeWidget*>(ControlName(CRawOptionsDlg::kTypeList));
    ASSERT_TRUE(start && end && list);
    EXPECT_EQ(end->text(), QString::number(last));
    ASSERT_GT(list->topLevelItemCount(), 40);
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("JPEG Image"));  // three rows, listed once

    struct Case {
        QString start, end, message, startAfter, endAfter;
    };
    const QString l = QString::number(last);
    const Case cases[] = {
        {"-1", "100", "Start sector is not valid. This must be bigger than 0", "0", "100"},
        {"10", QString::number(last + 1), "End sector is not valid. This must be less than " + l, "10", l},
        {"300", "200", "Start sector must be less than end sector", "0", "200"},
    };
    for (const Case& c : cases) {
        start->setText(c.start);
        end->setText(c.end);
        dlg.accept();
        EXPECT_EQ(recorder.messages.back().text, c.message);
        EXPECT_EQ(start->text(), c.startAfter);
        EXPECT_EQ(end->text(), c.endAfter);
        EXPECT_FALSE(dlg.result() == QDialog::Accepted);
    }

    // PNG alone, up to sector 4096: the JPEG and the second PNG are left out.
    QTest::mouseClick(dlg.findChild<QWidget*>(ControlName(CRawOptionsDlg::kDeselectAll)), Qt::LeftButton);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == QStringLiteral("png")) list->topLevelItem(i)->setCheckState(0, Qt::Checked);
    start->setText(QStringLiteral("2"));
    end->setText(QStringLiteral("4096"));
    dlg.findChild<QLineEdit*>(ControlName(CRawOptionsDlg::kMaxSize))->setText(QStringLiteral("64"));
    dlg.accept();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(app.state().rawRangeStart, 2u);
    EXPECT_EQ(app.state().rawRangeEnd, 4096u);
    EXPECT_EQ(app.rawTable().maxSizeKB, 64u);

    scan();
    QTreeWidgetItem* root = item(kRoot);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 1);
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("PNG Image"));
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(cell(0, 0), QStringLiteral("File0.png"));
    EXPECT_EQ(page->rawModel().rowItem(0)->startSector, (1048576u + 4096u) / 512u);
}
