// Pictures on a FAT volume: thumbnails and the image preview decode the
// recovered bytes of deleted PNG and BMP files, and a "picture" that does not
// decode falls back to the icon and the dump. The volume is a small FAT16
// superfloppy written by the test itself.
#include <QBuffer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <cstring>
#include <gtest/gtest.h>

#include "disk/disk_inventory.h"
#include "disk/volume_mount.h"
#include "platform/device_table.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/preview_dialogs.h"
#include "shell/ui/results/result_list_view.h"
#include "shell/ui/fat/fat_page.h"
#include "shell/ui/tolam_app.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

constexpr int kSector = 512;
constexpr int kSectorsPerCluster = 2;
constexpr int kTotalSectors = 16384;
constexpr int kFatSectors = 32;
constexpr int kRootSectors = 32;  // 512 entries
constexpr int kDataSector = 1 + 2 * kFatSectors + kRootSectors;
constexpr int kClusterBytes = kSector * kSectorsPerCluster;

void Put16(QByteArray& b, int at, uint16_t v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}
void Put32(QByteArray& b, int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

QByteArray Encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QImage Solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

struct File {
    const char* shortName;  // 11 bytes, first byte 0xE5 for a deleted entry
    QByteArray data;
};

// FAT16, 1 KiB clusters, no partition table; every file contiguous from
// cluster 2 on. Deleted files leave their clusters free in the FAT.
QByteArray BuildVolume(const std::vector<File>& files) {
    QByteArray img(kTotalSectors * kSector, '\0');
    const char boot[] = "\xEB\x3C\x90MSWIN4.1";
    std::memcpy(img.data(), boot, 11);
    Put16(img, 11, kSector);
    img[13] = char(kSectorsPerCluster);
    Put16(img, 14, 1);
    img[16] = 2;
    Put16(img, 17, 512);
    Put16(img, 19, kTotalSectors);
    img[21] = char(0xF8);
    Put16(img, 22, kFatSectors);
    Put16(img, 24, 32);
    Put16(img, 26, 64);
    img[36] = char(0x80);
    img[38] = 0x29;
    Put32(img, 39, 0x5A3E0099);
    std::memcpy(img.data() + 43, "PICTURES   FAT16   ", 19);
    img[510] = 0x55;
    img[511] = char(0xAA);
    for (int fat = 0; fat < 2; ++fat) {
        const int at = (1 + fat * kFatSectors) * kSector;
        Put16(img, at, 0xFFF8);
        Put16(img, at + 2, 0xFFFF);
    }
    const int root = (1 + 2 * kFatSectors) * kSector;
    std::memcpy(img.data() + root, "PICTURES   ", 11);
    img[root + 11] = 0x08;
    uint16_t cluster = 2;
    for (size_t i = 0; i < files.size(); ++i) {
        const int e = root + 32 * int(i + 1);
        std::memcpy(img.data() + e, files[i].shortName, 11);
        img[e + 11] = 0x20;
        for (int off : {14, 22}) Put16(img, e + off, 0xB1AA);           // 22:13:20
        for (int off : {16, 18, 24}) Put16(img, e + off, 0x576E);       // 2023-11-14
        Put16(img, e + 26, cluster);
        Put32(img, e + 28, uint32_t(files[i].data.size()));
        std::memcpy(img.data() + (kDataSector + (cluster - 2) * kSectorsPerCluster) * kSector,
                    files[i].data.constData(), size_t(files[i].data.size()));
        cluster = uint16_t(cluster + (files[i].data.size() + kClusterBytes - 1) / kClusterBytes);
    }
    return img;
}

class FatPictures : public ::testing::Test {
protected:
    QTemporaryDir dir;
    CTolamApp app;
    std::unique_ptr<CFatResultPage> page;
    uitest::ShellRecorder recorder;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QByteArray text;
        for (int i = 0; i < 40; ++i) text += "not a picture at all, only text\n";
        const QByteArray image = BuildVolume({
            {"\xE5HOTO   PNG", Encode(Solid(64, 48, Qt::red), "PNG")},
            {"\xE5LOWER  BMP", Encode(Solid(30, 20, Qt::blue), "BMP")},
            {"\xE5" "AKE    PNG", text},
        });
        const QString path = dir.filePath(QStringLiteral("pictures.img"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(image);
        f.close();
        DeviceTable::Global().attachImages({path.toStdString()});
        MountVolumes(DeviceTable::Global());
        CDiskInventory inventory;
        inventory.Refresh();
        ASSERT_GE(inventory.partitionCount(), 1);
        app.state().selectPartition(inventory.partition(0));
        ASSERT_EQ(inventory.partition(0).fileSystemName().rfind("FAT", 0), 0u);
        page = std::make_unique<CFatResultPage>(app, 10000, 1, nullptr);
        page->show();
        QTRY_VERIFY_WITH_TIMEOUT(page->scanDone(), 20000);
    }

    int rowNamed(const QString& name) {
        for (size_t r = 0; r < page->model().rowCount(); ++r)
            if (Q(page->model().cellText(r, 0)) == name) return int(r);
        return -1;
    }
};

}  // namespace

TEST_F(FatPictures, ThumbnailsShowTheRecoveredPictures) {
    ASSERT_EQ(page->model().rowCount(), 3u);
    const int png = rowNamed(QStringLiteral("#HOTO.png"));
    const int bmp = rowNamed(QStringLiteral("#LOWER.bmp"));
    const int fake = rowNamed(QStringLiteral("#AKE.png"));
    ASSERT_GE(png, 0);
    ASSERT_GE(bmp, 0);
    ASSERT_GE(fake, 0);

    page->chooseViewMode(ResultViewMode::Thumbnails);
    ResultListModel* m = page->listView()->listModel();
    ASSERT_EQ(m->thumbnailCount(), 3u);
    const QImage pngTile = m->thumbnail(page->model().rowImageIndex(size_t(png)));
    const QImage bmpTile = m->thumbnail(page->model().rowImageIndex(size_t(bmp)));
    const QImage fakeTile = m->thumbnail(page->model().rowImageIndex(size_t(fake)));
    // 64 x 48 drawn unscaled at (13, 21); 30 x 20 at (30, 35).
    EXPECT_EQ(QColor(pngTile.pixel(13, 21)), QColor(Qt::red));
    EXPECT_EQ(QColor(pngTile.pixel(76, 68)), QColor(Qt::red));
    EXPECT_EQ(QColor(pngTile.pixel(12, 21)), QColor(Qt::white));
    EXPECT_EQ(QColor(bmpTile.pixel(30, 35)), QColor(Qt::blue));
    EXPECT_EQ(QColor(bmpTile.pixel(29, 35)), QColor(Qt::white));
    // Text under a .png name: the icon, no red and no message.
    EXPECT_NE(QColor(fakeTile.pixel(45, 45)), QColor(Qt::red));
    EXPECT_EQ(QColor(fakeTile.pixel(0, 0)), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_TRUE(recorder.messages.empty());
    if (qEnvironmentVariableIsSet("VANTOR_SCREENSHOT_DIR")) {
        QTest::qWait(50);
        page->grab().save(qEnvironmentVariable("VANTOR_SCREENSHOT_DIR") + QStringLiteral("/fat-page-pictures.png"));
    }
}

TEST_F(FatPictures, DoubleClickShowsThePictureOrTheDump) {
    QString title;
    QSize canvas;
    QString dump;
    page->setDialogPresenter([&](QDialog& dlg) {
        title = dlg.windowTitle();
        if (auto* c = dlg.findChild<CImageCanvas*>(QStringLiteral("Image Preview Canvas"))) canvas = c->size();
        if (auto* e = dlg.findChild<QPlainTextEdit*>(ControlName(1022))) dump = e->toPlainText();
    });
    page->listView()->selectRow(rowNamed(QStringLiteral("#HOTO.png")));
    page->previewSelected();
    EXPECT_EQ(title, QStringLiteral("View Image File..."));
    EXPECT_EQ(canvas, QSize(64, 48));

    page->listView()->selectRow(rowNamed(QStringLiteral("#AKE.png")));
    page->previewSelected();
    EXPECT_EQ(title, QStringLiteral("View File Information..."));
    EXPECT_TRUE(dump.startsWith(QStringLiteral("00000000  6E 6F 74 20  61 20 70 69")));
    EXPECT_EQ(dump.split(QLatin1Char('\n')).size(), 64);  // the first 1,024 of 1,280 bytes
}
