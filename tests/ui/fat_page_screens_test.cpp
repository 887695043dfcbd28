// Pictures of the FAT page and the shared dialogs in their usual states,
// saved as PNGs (into $VANTOR_SCREENSHOT_DIR, else ./page-shots) for people
// to look at. The test checks only that every picture was written.
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include "disk/disk_inventory.h"
#include "shell/ui/dialogs/criteria_dialog.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/overwrite_dialog.h"
#include "shell/ui/dialogs/preview_dialogs.h"
#include "shell/ui/dialogs/progress_dialog.h"
#include "shell/ui/dialogs/file_icons.h"
#include "shell/ui/results/result_list_view.h"
#include "shell/ui/fat/fat_page.h"
#include "shell/ui/results/result_tree_view.h"
#include "shell/ui/tolam_app.h"
#include "dialogs/preview.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

QString OutDir() {
    const QString dir = qEnvironmentVariableIsSet("VANTOR_SCREENSHOT_DIR")
                            ? qEnvironmentVariable("VANTOR_SCREENSHOT_DIR")
                            : QDir::currentPath() + QStringLiteral("/page-shots");
    QDir().mkpath(dir);
    return dir;
}

void Settle(int ms = 60) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(QWidget* w, const QString& name) {
    Settle();
    return w->grab().save(OutDir() + "/" + name + ".png");
}

QImage Photo(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(0x3A, 0x7B, 0xD5));
    sky.setColorAt(1, QColor(0xF5, 0xC1, 0x6C));
    p.fillRect(img.rect(), sky);
    p.setBrush(QColor(0xFF, 0xE0, 0x70));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(w * 0.7, h * 0.35), h * 0.12, h * 0.12);
    p.setBrush(QColor(0x2E, 0x5E, 0x3A));
    p.drawRect(0, h * 3 / 4, w, h / 4);
    return img;
}

PartitionRecord Attach(const QString& image, const std::string& fs) {
    uitest::AttachFixtures({image});
    CDiskInventory inventory;
    inventory.Refresh();
    for (const PartitionRecord& r : inventory.partitions())
        if (r.fileSystemName() == fs) return r;
    return {};
}

}  // namespace

TEST(PageScreens, FatPageAndDialogs) {
    uitest::ShellRecorder recorder;
    int saved = 0, wanted = 0;
    auto save = [&](QWidget* w, const char* name) {
        ++wanted;
        if (Save(w, QString::fromLatin1(name))) ++saved;
    };

    CTolamApp app;
    app.state().selectPartition(Attach(QStringLiteral("fat-fat16-16k.img"), "FAT"));
    {
        CFatResultPage page(app, 10000, 1, nullptr);
        page.show();
        QTRY_VERIFY_WITH_TIMEOUT(page.scanDone(), 20000);
        auto items = page.treeView()->findItems(QStringLiteral("DOCS"), Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_FALSE(items.isEmpty());
        page.treeView()->setCurrentItem(items.first());
        page.listView()->toggleRowCheck(1, true);
        Settle();
        page.listView()->selectRow(0);
        save(&page, "fat-page-details");
        items = page.treeView()->findItems(QStringLiteral("Photos"), Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_FALSE(items.isEmpty());
        page.treeView()->setCurrentItem(items.first());
        page.chooseViewMode(ResultViewMode::Thumbnails);
        save(&page, "fat-page-thumbnails");
    }

    {
        ProgressFields fields;
        CProgressDlg dlg(fields);
        uint64_t now = 5000;
        dlg.setClock([&] { return now; });
        dlg.setTitle(QStringLiteral("Scanning Deleted Files ..."));
        dlg.show();
        fields.m_nProgressTotal = 8168;
        fields.m_nProgressPos = 3100;
        fields.setText("Found Deleted Files : 42");
        now += 37;
        dlg.barTick();
        dlg.textTick();
        save(&dlg, "dialog-progress");
        dlg.closeFromWorker();
    }
    {
        FilterCriteria c;
        ChooseExtensionGroup(c, 3);
        c.dateMode = kDateAfter;
        c.date = 0x576E;
        c.sizeMode = kSizeBetween;
        c.minSizeKB = 10;
        c.maxSizeKB = 500;
        c.namePart = "holiday";
        CSearchFilesDlg dlg(c);
        dlg.show();
        save(&dlg, "dialog-search-files");
    }
    {
        FilterCriteria c;
        CQuickSearchDlg dlg(c);
        dlg.show();
        save(&dlg, "dialog-quick-search");
    }
    {
        COverwriteDlg dlg(QStringLiteral("Quarterly Report.docx"));
        dlg.show();
        save(&dlg, "dialog-overwrite");
    }
    {
        const QImage photo = Photo(480, 320);
        CImageViewDlg dlg(&photo);
        dlg.resize(560, 380);
        dlg.show();
        save(&dlg, "dialog-view-image");
    }
    {
        std::string text;
        for (int i = 1; i <= 40; ++i)
            text += "report16 line " + std::to_string(1000 + i).substr(0) + ": the quick brown fox\n";
        CFileInfoDlg dlg(Q(DumpText(std::span<const std::byte>(reinterpret_cast<const std::byte*>(text.data()),
                                                                   1024))));
        dlg.show();
        save(&dlg, "dialog-view-file-information");
    }
    {
        // A strip of thumbnail cells: pictures of several shapes and an icon.
        QWidget strip;
        strip.resize(5 * 100 + 10, 110);
        QImage sheet(strip.size(), QImage::Format_RGB32);
        sheet.fill(QColor(0xEA, 0xF1, 0xF7));
        QPainter p(&sheet);
        const QImage cells[] = {ComposeThumbnail(Photo(200, 100), {}), ComposeThumbnail(Photo(50, 60), {}),
                                ComposeThumbnail(Photo(90, 300), {}),
                                ComposeThumbnail({}, LargeFileIconImage(QStringLiteral("notes.txt"))),
                                ComposeThumbnail({}, LargeFileIconImage(QStringLiteral("broken.png")))};
        for (int i = 0; i < 5; ++i) p.drawImage(10 + i * 100, 10, cells[i]);
        p.end();
        ++wanted;
        if (sheet.save(OutDir() + "/thumbnail-cells.png")) ++saved;
    }
    EXPECT_EQ(saved, wanted);
}
