// Saves a PNG of every page and state of the shell into the folder given on
// the command line, on the sample disk image, so the look can be checked by
// eye. Exit code 0 when every picture was written.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QEnterEvent>
#include <QPainter>
#include <QStyleFactory>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstring>

#include <QFile>
#include <QLineEdit>

#include "disk/disk_inventory.h"
#include "mail/ui/mail_pages.h"
#include "platform/block_device.h"
#include "platform/device_table.h"
#include "shell/page_ids.h"
#include "shell/ui/about_dialog.h"
#include "shell/ui/drive_browser.h"
#include "shell/ui/exfat/exfat_page.h"
#include "shell/ui/ext/ext_page.h"
#include "shell/ui/home_view.h"
#include "shell/ui/main_frame.h"
#include "shell/ui/ntfs/ntfs_page.h"
#include "shell/ui/raw/raw_page.h"
#include "shell/ui/partition/partition_page.h"
#include "shell/ui/results/result_list_view.h"
#include "shell/ui/results/result_tree_view.h"
#include "shell/ui/skin.h"
#include "shell/ui/skin_button.h"
#include "shell/ui/skin_category_list.h"
#include "shell/ui/tolam_app.h"
#include "support/slow_device.h"
#include "ui_test_support.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

QString gOut;
int gFailures = 0;

void Settle(int ms = 50) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

void Save(QWidget* w, const QString& name) {
    Settle();
    const QString path = gOut + "/" + name + ".png";
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++gFailures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

void WaitForScan(const CResultPage& page) {
    QElapsedTimer waited;
    waited.start();
    while (!page.scanDone() && waited.elapsed() < 30000) Settle(50);
}

QTreeWidgetItem* FindItem(QTreeWidget* tree, const QString& prefix) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->text(0).contains(prefix)) return *it;
    }
    return nullptr;
}

// Every face of the buttons on one sheet, hover and pressed included.
void SaveFaceSheet() {
    const int faces[][4] = {{156, 140, 294, 156}, {139, 138, 293, 139}, {220, 219, 292, 220},
                            {164, 163, 211, 166}, {160, 159, 210, 159}, {162, 161, 209, 167},
                            {417, 418, 419, 420}, {425, 426, 427, 425}, {158, 157, 157, 158},
                            {131, 130, 130, 131}};
    const int tasks[][3] = {{250, 251, 252}, {253, 254, 255}, {243, 241, 242}, {244, 245, 246},
                            {311, 309, 310}, {240, 260, 261}, {259, 257, 258}};
    QImage sheet(4 * 580 + 20, 10 * 100 + 7 * 80 + 40, QImage::Format_ARGB32);
    sheet.fill(QColor(0x0F, 0x2A, 0x4F));
    QPainter p(&sheet);
    int y = 10;
    for (const auto& f : faces) {
        for (int i = 0; i < 4; ++i) p.drawPixmap(10 + i * 150, y, SkinPixmap(f[i]));
        y += 100;
    }
    for (const auto& t : tasks) {
        for (int i = 0; i < 3; ++i) p.drawPixmap(10 + i * 580, y, SkinPixmap(t[i]));
        y += 80;
    }
    p.end();
    const QString path = gOut + "/skin-faces.png";
    if (!sheet.save(path)) ++gFailures;
    std::printf("%s\n", qPrintable(path));
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// Qt, fontconfig and the platform plugin keep process-wide caches until exit;
// leak reports about them would drown any real finding.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
#endif

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    gOut = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(gOut);
    uitest::ShellRecorder recorder;

    CTolamApp app;
    StartOptions options;
    options.images << uitest::FixturePath(QStringLiteral("sample-disk.img"));
    app.StartUp(options);
    CMainFrame* frame = app.mainFrame();
    CHomeView* view = frame->view();
    Save(frame, QStringLiteral("01-start"));
    view->categoryList()->setCurrentRow(0);
    if (CSkinButton* b = view->taskButton(601)) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(b, &enter);  // shows the hover face
    }
    Save(frame, QStringLiteral("02-start-data-recovery"));
    view->categoryList()->setCurrentRow(1);
    Save(frame, QStringLiteral("03-start-email-repair"));
    view->categoryList()->setCurrentRow(0);

    view->OnTaskButton(600);
    auto* browser = qobject_cast<CDriveBrowser*>(view->currentPage());
    if (!browser) {
        std::fprintf(stderr, "no drive browser\n");
        return 1;
    }
    Save(frame, QStringLiteral("04-browser-deleted"));
    if (auto* drive = FindItem(browser->tree(), QStringLiteral("Disk Image"))) {
        browser->tree()->setCurrentItem(drive);
        Save(frame, QStringLiteral("05-browser-drive"));
    }
    const char* parts[][2] = {{"FAT32", "06-browser-fat32"}, {"NTFS", "07-browser-ntfs"},
                              {"(E:\\) FAT", "08-browser-fat16"}, {"EXT3", "09-browser-ext3"}};
    for (const auto& part : parts) {
        if (auto* item = FindItem(browser->tree(), QString::fromLatin1(part[0]))) {
            browser->tree()->setCurrentItem(item);
            Save(frame, QString::fromLatin1(part[1]));
        }
    }
    // On to the FAT page of the first partition, once its scan has run.
    if (auto* fat32 = FindItem(browser->tree(), QStringLiteral("FAT32"))) {
        browser->tree()->setCurrentItem(fat32);
        browser->nextButton()->click();
        if (view->currentPageKind() == PageKind::FatResult) {
            Settle(3000);
            Save(frame, QStringLiteral("13-fat-deleted"));
        }
    }
    view->SwitchPage(kPageResult, kModePartition);
    if (auto* page = qobject_cast<CPartitionPage*>(view->currentPage())) {
        page->SearchSelectedDrive();
        if (page->partitionList()->count() > 0) page->partitionList()->setCurrentRow(0);
        Save(frame, QStringLiteral("17-partition-search"));
    }
    {
        PartitionRecord ext;  // EXT has no formatted-files page
        ext.setFileSystem("EXT3");
        app.state().selectPartition(ext);
        view->SwitchPage(kPageResult, kModeFormatted);
        Save(frame, QStringLiteral("14-page-not-available"));
    }
    view->SwitchPage(kPageDriveBrowser, kModeFormatted);
    Save(frame, QStringLiteral("10-browser-formatted"));
    view->SwitchPage(kPageDriveBrowser, kModeRaw);
    Save(frame, QStringLiteral("11-browser-raw"));

    // A disk that hangs in the FAT of E: the page is up, that free size is still being counted.
    {
        auto slow = test::SlowDevice::FromFile(uitest::FixturePath(QStringLiteral("sample-disk.img")).toStdString());
        slow->holdReadsIn((126976 + 1) * 512, (126976 + 33) * 512);
        DeviceTable::Global().clear();
        DeviceTable::Global().addMemoryDrive(slow, "Slow Disk");
        view->SwitchPage(kPageDriveBrowser, kModeDeleted);
        if (auto* b = qobject_cast<CDriveBrowser*>(view->currentPage())) {
            if (auto* e = FindItem(b->tree(), QStringLiteral("(E:\\) FAT"))) b->tree()->setCurrentItem(e);
        }
        Save(frame, QStringLiteral("16-browser-counting"));
        slow->release();
    }

    // The NTFS page on the sample volume (nothing deleted), then on the NTFS
    // fixtures: details with ticks, and thumbnails.
    view->SwitchPage(kPageDriveBrowser, kModeDeleted);
    browser = qobject_cast<CDriveBrowser*>(view->currentPage());
    if (QTreeWidgetItem* ntfs = browser ? FindItem(browser->tree(), QStringLiteral("NTFS")) : nullptr) {
        browser->tree()->setCurrentItem(ntfs);
        browser->nextButton()->click();
        Settle(1500);
        Save(frame, QStringLiteral("20-ntfs-sample-nothing-deleted"));
    }
    // The EXT page on the sample's EXT3 partition, reached through the browser.
    view->SwitchPage(kPageDriveBrowser, kModeDeleted);
    browser = qobject_cast<CDriveBrowser*>(view->currentPage());
    if (QTreeWidgetItem* ext = browser ? FindItem(browser->tree(), QStringLiteral("EXT3")) : nullptr) {
        browser->tree()->setCurrentItem(ext);
        browser->nextButton()->click();
        if (auto* page = qobject_cast<CExtResultPage*>(view->currentPage())) {
            WaitForScan(*page);
            page->treeView()->setCurrentItem(page->treeView()->topLevelItem(0));
            page->listView()->toggleRowCheck(0, true);
            page->listView()->selectRow(0);
            Save(frame, QStringLiteral("25-ext3-sample"));
        }
    }
    // Raw Recovery on a drive holding the carving fixture's files: the options, the page by type, a preview.
    {
        QFile manifest(uitest::FixturePath(QStringLiteral("raw-carving/manifest.tsv")));
        std::vector<std::byte> disk;
        if (manifest.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : manifest.readAll().split('\n')) {
                const QList<QByteArray> f = line.split(line.startsWith('#') ? ' ' : '\t');
                if (line.startsWith('#') && f.size() >= 5) disk.resize(f[4].toULongLong());
                if (line.startsWith('#') || f.size() < 2) continue;
                const QByteArray data = uitest::ReadAll(uitest::FixturePath(QStringLiteral("raw-carving/files/") + f[0]));
                const size_t at = f[1].toULongLong();
                if (at + static_cast<size_t>(data.size()) <= disk.size())
                    std::memcpy(&disk[at], data.constData(), static_cast<size_t>(data.size()));
            }
        }
        DeviceTable::Global().clear();
        DeviceTable::Global().addMemoryDrive(std::make_shared<MemoryDevice>(std::move(disk)), "Carving Disk");
    }
    view->SwitchPage(kPageDriveBrowser, kModeRaw);
    browser = qobject_cast<CDriveBrowser*>(view->currentPage());
    if (QTreeWidgetItem* drive = browser ? FindItem(browser->tree(), QStringLiteral("Carving Disk")) : nullptr) {
        browser->tree()->setCurrentItem(drive);
        Save(frame, QStringLiteral("40-raw-browser-drive"));
        QTimer::singleShot(100, [] {
            if (auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                Save(dlg, QStringLiteral("41-raw-options"));
                dlg->accept();
            }
        });
        browser->optionButton()->click();
        browser->nextButton()->click();
        if (auto* page = qobject_cast<CRawResultPage*>(view->currentPage())) {
            WaitForScan(*page);
            Save(frame, QStringLiteral("42-raw-all"));
            if (QTreeWidgetItem* jpeg = FindItem(page->treeView(), QStringLiteral("JPEG Image")))
                page->treeView()->setCurrentItem(jpeg);
            page->listView()->toggleRowCheck(0, true);
            page->listView()->selectRow(0);
            Save(frame, QStringLiteral("43-raw-jpeg"));
            page->setDialogPresenter([](QDialog& dlg) {
                dlg.show();
                Save(&dlg, QStringLiteral("44-raw-preview"));
            });
            page->previewSelected();
            page->chooseViewMode(ResultViewMode::Thumbnails);
            Save(frame, QStringLiteral("45-raw-thumbnails"));
        }
    }
    uitest::AttachFixtures({QStringLiteral("sample-disk.img")});
    struct NtfsShot {
        const char* image;
        int mode;
        const char* folder;
        const char* name;
    } shots[] = {{"ntfs-deleted.img", kModeDeleted, "NTFS - Logical Disk (C:)", "21-ntfs-deleted"},
                 {"ntfs-formatted.img", kModeFormatted, "olddir", "22-ntfs-formatted"},
                 {"ntfs-overwritten.img", kModeDeleted, "NTFS - Logical Disk (C:)", "24-ntfs-overwritten"}};
    for (const NtfsShot& shot : shots) {
        uitest::AttachFixtures({QString::fromLatin1(shot.image)});
        CDiskInventory inventory;
        inventory.Refresh();
        if (inventory.partitionCount() < 1) continue;
        app.state().selectPartition(inventory.partition(0));
        view->SwitchPage(kPageResult, shot.mode);
        auto* page = qobject_cast<CNtfsResultPage*>(view->currentPage());
        if (!page) continue;
        WaitForScan(*page);
        if (QTreeWidgetItem* folder = FindItem(page->treeView(), QString::fromLatin1(shot.folder))) {
            page->treeView()->setCurrentItem(folder);
            page->treeView()->expandAll();
        }
        for (int row : {0, 2}) page->listView()->toggleRowCheck(row, true);
        Settle(100);
        page->listView()->selectRow(1);
        Save(frame, QString::fromLatin1(shot.name) + QStringLiteral("-details"));
        page->chooseViewMode(ResultViewMode::Thumbnails);
        Save(frame, QString::fromLatin1(shot.name) + QStringLiteral("-thumbnails"));
        if (QString::fromLatin1(shot.image) == QStringLiteral("ntfs-deleted.img")) {
            // Where Tab has put the focus: the Recovery button's ring.
            frame->activateWindow();
            page->button(CResultPage::kRecovery)->setFocus(Qt::TabFocusReason);
            Save(frame, QStringLiteral("23-ntfs-keyboard-focus"));
        }
    }

    // The EXT fixtures: folders rebuilt from directory blocks, and "Lost files".
    uitest::AttachFixtures({QStringLiteral("ext-deleted.img")});
    {
        CDiskInventory inventory;
        inventory.Refresh();
        for (const char* fs : {"EXT2", "EXT4"}) {
            for (const PartitionRecord& r : inventory.partitions())
                if (r.fileSystemName() == fs) app.state().selectPartition(r);
            view->SwitchPage(kPageResult, kModeDeleted);
            auto* page = qobject_cast<CExtResultPage*>(view->currentPage());
            if (!page) continue;
            WaitForScan(*page);
            page->treeView()->expandAll();
            page->listView()->toggleRowCheck(1, true);
            Save(frame, QStringLiteral("26-") + QString::fromLatin1(fs).toLower() + QStringLiteral("-deleted"));
        }
    }

    // Email Repair: the PST page with three stores, then its log.
    {
        const QString dir = gOut + QStringLiteral("/mail-repair");
        QDir(dir).removeRecursively();
        QDir().mkpath(dir + QStringLiteral("/out"));
        QStringList stores;
        for (const char* name : {"Personal.pst", "Archive.pst", "Old mail.pst"}) {
            stores << dir + QLatin1Char('/') + QString::fromLatin1(name);
            QFile::copy(uitest::FixturePath(QStringLiteral("dist-list.pst")), stores.back());
        }
        view->SwitchPage(kPageOutlookExpressRepair, 0);
        Save(frame, QStringLiteral("30-outlook-express-repair"));
        view->SwitchPage(kPageOutlookRepair, 0);
        if (auto* page = qobject_cast<CMailRepairPage*>(view->currentPage())) {
            page->addFiles(stores);
            page->destinationEdit()->setText(dir + QStringLiteral("/out"));
            Save(frame, QStringLiteral("31-outlook-repair-three-files"));
            page->nextButton()->click();
            if (auto* log = qobject_cast<CRepairLogPage*>(view->currentPage())) {
                QElapsedTimer t;
                t.start();
                while (!log->done() && t.elapsed() < 10000) Settle(20);
                Save(frame, QStringLiteral("32-repair-log"));
            }
        }
    }

    // The exFAT card: the browser's entry, the deleted scan with a folder
    // ticked, and the re-formatted card's folders under LostDIR.
    uitest::AttachFixtures({QStringLiteral("exfat-deleted.img")});
    view->SwitchPage(kPageDriveBrowser, kModeDeleted);
    browser = qobject_cast<CDriveBrowser*>(view->currentPage());
    if (QTreeWidgetItem* card = browser ? FindItem(browser->tree(), QStringLiteral("exFAT")) : nullptr) {
        Settle(500);  // the free size is counted on a worker
        browser->tree()->setCurrentItem(card);
        Save(frame, QStringLiteral("27-browser-exfat"));
        browser->nextButton()->click();
        if (auto* page = qobject_cast<CExfatResultPage*>(view->currentPage())) {
            WaitForScan(*page);
            page->treeView()->expandAll();
            if (QTreeWidgetItem* folder = FindItem(page->treeView(), QStringLiteral("Dokumente")))
                page->treeView()->setCurrentItem(folder);
            page->listView()->toggleRowCheck(0, true);
            page->listView()->selectRow(1);
            Save(frame, QStringLiteral("28-exfat-deleted"));
        }
    }
    uitest::AttachFixtures({QStringLiteral("exfat-formatted.img")});
    {
        CDiskInventory inventory;
        inventory.Refresh();
        if (inventory.partitionCount() > 0) {
            app.state().selectPartition(inventory.partition(0));
            view->SwitchPage(kPageResult, kModeFormatted);
            if (auto* page = qobject_cast<CExfatResultPage*>(view->currentPage())) {
                WaitForScan(*page);
                page->treeView()->expandAll();
                if (QTreeWidgetItem* folder = FindItem(page->treeView(), QStringLiteral("2024")))
                    page->treeView()->setCurrentItem(folder);
                Save(frame, QStringLiteral("29-exfat-formatted"));
            }
        }
    }

    // No readable drive at all: the tree points to "Open disk image...".
    DeviceTable::Global().clear();
    view->SwitchPage(kPageDriveBrowser, kModeDeleted);
    Save(frame, QStringLiteral("15-browser-no-drive"));

    {
        CAboutDialog about(frame);
        about.show();
        Save(&about, QStringLiteral("12-about"));
    }
    SaveFaceSheet();
    app.ShutDown();
    return gFailures == 0 ? 0 : 1;
}
