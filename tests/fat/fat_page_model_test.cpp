#include "fat/fat_page_model.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fat/fat_scan.h"
#include "fat/fat_writer.h"
#include "platform/time_util.h"

namespace vantor {
namespace {

FatFoundFile* AddFile(FolderNode* node, const std::string& name, uint32_t size, uint16_t cdate = 0,
                      const std::string& attrs = "RW") {
    auto* files = node->dataAs<FatFolderFiles>();
    if (!files) {
        node->data = std::make_unique<FatFolderFiles>();
        files = node->dataAs<FatFolderFiles>();
    }
    auto rec = std::make_unique<FatFoundFile>();
    std::strncpy(rec->name, name.c_str(), sizeof(rec->name) - 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) {
        std::string ext = name.substr(dot + 1, 4);
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::strncpy(rec->ext, ext.c_str(), sizeof(rec->ext) - 1);
    }
    std::strncpy(rec->attributes, attrs.c_str(), sizeof(rec->attributes) - 1);
    rec->size = size;
    rec->creationDate = cdate;
    return files->append(std::move(rec));
}

FolderNode* AddFolder(FolderNode* parent, const std::string& name) {
    FolderNode* n = parent->appendChild(name, 1, 2);
    n->data = std::make_unique<FatFolderFiles>();
    return n;
}

// root
//   a.txt (100)
//   DOCS
//     r1.doc (1536)  r2.doc (2000)
//     DEEP
//       LEVEL
//         deep.txt (10)
//   PICS
//     p.jpg (2097152)
struct Sample {
    FatPageModel model{kFatPageModeDeleted, FatKind::Fat32};
    FolderNode* root;
    FolderNode* docs;
    FolderNode* deep;
    FolderNode* level;
    FolderNode* pics;
    FatFoundFile* a;
    FatFoundFile* r1;
    FatFoundFile* r2;
    FatFoundFile* deepFile;
    FatFoundFile* pic;

    Sample() {
        root = model.tree().setRoot("FAT32 - Logical Disk (C:)");
        root->data = std::make_unique<FatFolderFiles>();
        a = AddFile(root, "a.txt", 100);
        docs = AddFolder(root, "DOCS");
        r1 = AddFile(docs, "r1.doc", 1536, EncodeDosDate(2009, 5, 1));
        r2 = AddFile(docs, "R2.DOC", 2000, EncodeDosDate(2010, 1, 1));
        deep = AddFolder(docs, "DEEP");
        level = AddFolder(deep, "LEVEL");
        deepFile = AddFile(level, "deep.txt", 10);
        pics = AddFolder(root, "PICS");
        pic = AddFile(pics, "p.jpg", 2097152);
        model.tree().select(root);
        model.scanFinished();
    }
};

TEST(FatPageTextTest, SizeColumn) {
    EXPECT_EQ(FatSizeText(0), "0 Byte");
    EXPECT_EQ(FatSizeText(1023), "1023 Byte");
    EXPECT_EQ(FatSizeText(1536), "1.50 KB");
    EXPECT_EQ(FatSizeText(1048576), "1024.00 KB");  // MB only once the KB figure exceeds 1024
    EXPECT_EQ(FatSizeText(2097152), "2.00 MB");
    EXPECT_EQ(FatSizeText(0xFFFFFFFFu), "4096.00 MB");
}

TEST(FatPageTextTest, SummaryLines) {
    EXPECT_EQ(FatTotalsText(0, 0), "0 files - 0.00 Byte");
    EXPECT_EQ(FatTotalsText(2, 1023), "2 files - 1023.00 Byte");
    EXPECT_EQ(FatTotalsText(1, 1536), "1 files - 1.50 KB");
    EXPECT_EQ(FatTotalsText(3, 3221225472ull), "3 files - 3.00 GB");
    // At most three divisions: terabytes still read in GB, and do not wrap at 4 GiB.
    EXPECT_EQ(FatTotalsText(9, 2ull << 40), "9 files - 2048.00 GB");
}

TEST(FatPageTextTest, DateColumns) {
    const uint16_t date = EncodeDosDate(2023, 11, 14);
    const uint16_t time = EncodeDosTime(22, 13, 20);
    EXPECT_EQ(FatDateTimeText(date, time), "2023-11-14   22:13:20");
    EXPECT_EQ(FatAccessDateText(date), "2023-11-14   12:00:00");
    EXPECT_EQ(FatDateTimeText(0, 0), "1980-00-00   00:00:00");
}

TEST(FatPageTextTest, RowsShowTheSevenColumns) {
    Sample s;
    s.model.selectFolder(s.docs);
    ASSERT_EQ(s.model.rowCount(), 2u);
    s.r1->writeDate = EncodeDosDate(2023, 11, 14);
    s.r1->writeTime = EncodeDosTime(8, 5, 4);
    EXPECT_EQ(s.model.cellText(0, kFatColName), "r1.doc");
    EXPECT_EQ(s.model.cellText(0, kFatColSize), "1.50 KB");
    EXPECT_EQ(s.model.cellText(0, kFatColType), "DOC File");
    EXPECT_EQ(s.model.cellText(0, kFatColAttributes), "RW");
    EXPECT_EQ(s.model.cellText(0, kFatColModified), "2023-11-14   08:05:04");
    EXPECT_EQ(s.model.cellText(0, kFatColCreated), "2009-05-01   00:00:00");
    EXPECT_EQ(s.model.cellText(0, kFatColAccessed), "1980-00-00   12:00:00");
    EXPECT_EQ(s.model.cellText(5, kFatColName), "");
    s.model.setTypeNameProvider([](const std::string& n) { return "type of " + n; });
    EXPECT_EQ(s.model.cellText(1, kFatColType), "type of R2.DOC");
    EXPECT_EQ(DefaultFileTypeName("noext"), "File");
    EXPECT_EQ(DefaultFileTypeName("x.tar.gz"), "GZ File");
}

TEST(FatPageCheckTest, DeepFileChecksEveryAncestor) {
    Sample s;
    s.model.setFileChecked(s.level, s.deepFile, true);
    EXPECT_TRUE(s.level->checked);
    EXPECT_TRUE(s.deep->checked);
    EXPECT_TRUE(s.docs->checked);
    EXPECT_TRUE(s.root->checked);
    EXPECT_FALSE(s.pics->checked);
    EXPECT_TRUE(s.model.canRecover());
    EXPECT_EQ(s.model.selectionTotals().files, 1u);
    EXPECT_EQ(s.model.selectionTotals().bytes, 10u);
    EXPECT_EQ(s.model.selectionTotalsText(), "1 files - 10.00 Byte");
}

TEST(FatPageCheckTest, UncheckingLastFileUnchecksUpToAKeptAncestor) {
    Sample s;
    s.model.selectFolder(s.docs);
    s.model.setRowChecked(0, true);                     // r1 in DOCS
    s.model.setFileChecked(s.level, s.deepFile, true);  // DOCS/DEEP/LEVEL
    s.model.setFileChecked(s.level, s.deepFile, false);
    EXPECT_FALSE(s.level->checked);
    EXPECT_FALSE(s.deep->checked);
    EXPECT_TRUE(s.docs->checked);  // still holds the selected r1: the walk ends here
    EXPECT_TRUE(s.root->checked);
    s.model.setRowChecked(0, false);
    EXPECT_FALSE(s.docs->checked);
    EXPECT_FALSE(s.root->checked);
    EXPECT_FALSE(s.model.canRecover());
    EXPECT_EQ(s.model.selectionTotals().files, 0u);
}

TEST(FatPageCheckTest, RootSelectsEverythingAndClearsEverything) {
    Sample s;
    s.model.setFolderChecked(s.root, true);
    for (FatFoundFile* f : {s.a, s.r1, s.r2, s.deepFile, s.pic}) EXPECT_EQ(f->selected, 1);
    EXPECT_TRUE(s.level->checked);
    EXPECT_EQ(s.model.selectionTotals().files, 5u);
    EXPECT_EQ(s.model.selectionTotals().bytes, 100u + 1536 + 2000 + 10 + 2097152);
    EXPECT_TRUE(s.model.rowChecked(0));  // the root's list row follows
    s.model.checkAll(false);
    for (FatFoundFile* f : {s.a, s.r1, s.r2, s.deepFile, s.pic}) EXPECT_EQ(f->selected, 0);
    EXPECT_FALSE(s.pics->checked);
    EXPECT_EQ(s.model.selectionTotals().files, 0u);
}

TEST(FatPageCheckTest, FolderUncheckKeepsAncestorWithOtherTicks) {
    Sample s;
    s.model.setFolderChecked(s.root, true);
    s.model.setFolderChecked(s.docs, false);
    EXPECT_EQ(s.r1->selected, 0);
    EXPECT_EQ(s.deepFile->selected, 0);
    EXPECT_FALSE(s.deep->checked);
    EXPECT_TRUE(s.root->checked);  // a.txt and PICS are still ticked
    EXPECT_EQ(s.model.selectionTotals().files, 2u);
    s.model.setFolderChecked(s.pics, false);
    EXPECT_TRUE(s.root->checked);  // a.txt
    s.model.selectFolder(s.root);
    s.model.setRowChecked(0, false);
    EXPECT_FALSE(s.root->checked);
}

// The writer enters checked folders only: unticking a folder's last own file
// must not uncheck it while a subfolder below still holds ticked files, nor
// while the page filter hides a ticked record of it.
TEST(FatPageCheckTest, FolderStaysCheckedForTicksItDoesNotShow) {
    Sample s;
    s.model.setFileChecked(s.level, s.deepFile, true);
    s.model.selectFolder(s.docs);
    s.model.setRowChecked(0, true);
    s.model.setRowChecked(0, false);
    EXPECT_TRUE(s.docs->checked);
    EXPECT_TRUE(s.deep->checked);
    EXPECT_TRUE(s.root->checked);

    Sample t;
    t.model.selectFolder(t.docs);
    t.model.setRowChecked(0, true);  // r1
    t.model.setRowChecked(1, true);  // R2
    t.model.pageFilter().namePart = "r2";
    t.model.setFilterEnabled(true);
    ASSERT_EQ(t.model.rowCount(), 1u);
    t.model.setRowChecked(0, false);  // R2 off; r1, hidden, stays ticked
    EXPECT_TRUE(t.docs->checked);
    EXPECT_TRUE(t.root->checked);
    EXPECT_EQ(t.model.selectionTotals().files, 1u);
}

// A hostile image can nest folders a million deep: pruning, the totals, check
// propagation both ways and the teardown must walk it without recursing.
TEST(FatPageCheckTest, AMillionLevelsDeep) {
    auto model = std::make_unique<FatPageModel>(kFatPageModeDeleted, FatKind::Fat32);
    FolderNode* root = model->tree().setRoot("r");
    root->data = std::make_unique<FatFolderFiles>();
    FolderNode* n = root;
    FolderNode* mid = nullptr;
    constexpr size_t kDepth = size_t{1} << 20;
    for (size_t i = 0; i < kDepth; ++i) {
        n = n->appendChild("d");
        if (i == kDepth / 2) mid = n;
    }
    FolderNode* bottom = n;
    FatFoundFile* f = AddFile(bottom, "deep.txt", 10);
    root->appendChild("empty")->appendChild("empty");
    FinishFatTree(model->tree());
    EXPECT_EQ(root->childCount(), 1u);
    model->scanFinished();
    EXPECT_EQ(model->folderTotals().files, 1u);

    model->setFileChecked(bottom, f, true);
    EXPECT_TRUE(mid->checked);
    EXPECT_TRUE(model->canRecover());
    EXPECT_EQ(model->selectionTotals().files, 1u);
    EXPECT_EQ(CountSelectedFatFiles(model->tree()), 1u);
    model->setFileChecked(bottom, f, false);
    EXPECT_FALSE(mid->checked);
    EXPECT_FALSE(model->canRecover());

    model->setFolderChecked(mid, true);
    EXPECT_EQ(f->selected, 1);
    EXPECT_TRUE(root->checked);
    model->checkAll(false);
    EXPECT_FALSE(bottom->checked);
    EXPECT_EQ(model->selectionTotals().files, 0u);
    model.reset();
}

TEST(FatPageFilterTest, FilterNarrowsRowsNotFolderTotals) {
    Sample s;
    s.model.selectFolder(s.docs);
    EXPECT_EQ(s.model.folderTotals().files, 3u);
    EXPECT_EQ(s.model.folderTotals().bytes, 1536u + 2000 + 10);
    EXPECT_EQ(s.model.folderTotalsText(), "3 files - 3.46 KB");
    s.model.pageFilter().sizeMode = kSizeSmaller;
    s.model.pageFilter().minSizeKB = 1.6;
    EXPECT_TRUE(s.model.setFilterEnabled(true));
    EXPECT_TRUE(s.model.filterButtonEnabled());
    ASSERT_EQ(s.model.rowCount(), 1u);
    EXPECT_EQ(s.model.rowRecord(0), s.r1);
    EXPECT_EQ(s.model.folderTotals().files, 3u);
    s.model.selectFolder(s.pics);
    EXPECT_EQ(s.model.rowCount(), 0u);
    EXPECT_EQ(s.model.folderTotals().files, 1u);
    // Off: every record passes again.
    s.model.setFilterEnabled(false);
    EXPECT_EQ(s.model.rowCount(), 1u);
}

TEST(FatPageFilterTest, SwitchWithoutCriteriaLeavesTheList) {
    Sample s;
    s.model.selectFolder(s.docs);
    s.model.sortByHeader(kFatColName);
    EXPECT_FALSE(s.model.setFilterEnabled(true));
    EXPECT_EQ(s.model.sortColumn(), kFatColName);  // not rebuilt
    // The page filter's date starts as today, but compares only once a date mode is set.
    EXPECT_NE(s.model.pageFilter().date, 0);
    s.model.pageFilter().dateMode = kDateOn;
    s.model.pageFilter().date = EncodeDosDate(2009, 5, 1);
    s.model.filterEdited();  // the search dialog's OK: the creation date decides
    ASSERT_EQ(s.model.rowCount(), 1u);
    EXPECT_EQ(s.model.rowRecord(0), s.r1);
    s.model.pageFilter().dateMode = kDateIgnore;
    s.model.pageFilter().extGroup = 1;
    s.model.pageFilter().extList = ExtensionGroupList(1);
    s.model.filterEdited();
    EXPECT_EQ(s.model.rowCount(), 2u);  // R2.DOC passes: the ext is lowered
}

TEST(FatPageSortTest, EachColumnKeepsItsDirection) {
    Sample s;
    s.model.selectFolder(s.docs);
    s.model.sortByHeader(kFatColName);  // first click: descending
    EXPECT_TRUE(s.model.sortDescending());
    EXPECT_EQ(s.model.rowRecord(0), s.r2);  // "r2.doc" > "r1.doc" lowered
    EXPECT_EQ(s.model.rowImageIndex(0), 1u);  // rows keep their thumbnails
    s.model.sortByHeader(kFatColSize);  // another column starts descending too
    EXPECT_EQ(s.model.rowRecord(0), s.r2);
    s.model.sortByHeader(kFatColName);  // second click on Name: ascending
    EXPECT_FALSE(s.model.sortDescending());
    EXPECT_EQ(s.model.rowRecord(0), s.r1);
    s.model.sortByHeader(kFatColSize);
    EXPECT_EQ(s.model.rowRecord(0), s.r1);
    EXPECT_EQ(s.model.rowOf(s.r2), 1u);
}

TEST(FatPageSortTest, DateKeysJoinDateAndTime) {
    FatFoundFile a, b;
    a.writeDate = b.writeDate = EncodeDosDate(2020, 1, 1);
    a.writeTime = EncodeDosTime(10, 0, 0);
    b.writeTime = EncodeDosTime(9, 0, 0);
    EXPECT_GT(CompareFatRecords(a, b, kFatColModified), 0);
    b.writeDate = EncodeDosDate(2020, 1, 2);
    EXPECT_LT(CompareFatRecords(a, b, kFatColModified), 0);
    a.accessDate = 5;
    EXPECT_GT(CompareFatRecords(a, b, kFatColAccessed), 0);
    EXPECT_EQ(CompareFatRecords(a, b, kFatColType, "TXT File", "TXT File"), 0);
    EXPECT_LT(CompareFatRecords(a, b, kFatColType, "DOC File", "TXT File"), 0);
}

TEST(FatPageViewTest, ThumbnailsOnlyWhenTheListChanged) {
    Sample s;
    s.model.selectFolder(s.docs);
    EXPECT_EQ(s.model.viewMode(), FatViewMode::Details);
    EXPECT_TRUE(s.model.setViewMode(FatViewMode::Thumbnails));
    s.model.thumbnailsMade();
    s.model.setViewMode(FatViewMode::Details);
    EXPECT_FALSE(s.model.setViewMode(FatViewMode::Thumbnails));
    s.model.sortByHeader(kFatColSize);  // sorting moves rows with their images
    EXPECT_FALSE(s.model.setViewMode(FatViewMode::Thumbnails));
    s.model.selectFolder(s.pics);  // a new folder: Details, and fresh thumbnails later
    EXPECT_EQ(s.model.viewMode(), FatViewMode::Details);
    EXPECT_TRUE(s.model.setViewMode(FatViewMode::Thumbnails));
}

TEST(FatPageRecoveryTest, DestinationRules) {
    Sample s;
    PartitionRecord scanned;
    scanned.driveLetter = 'D';
    scanned.diskIndex = -1;
    EXPECT_EQ(s.model.checkDestination("E:\\out", scanned), DestinationCheck::NothingChecked);
    EXPECT_STREQ(DestinationMessage(DestinationCheck::NothingChecked), "Please check files for recovering");
    s.model.checkAll(true);
    EXPECT_EQ(s.model.checkDestination("D:\\", scanned), DestinationCheck::SameVolume);
    EXPECT_EQ(s.model.checkDestination("d:\\saved", scanned), DestinationCheck::SameVolume);
    EXPECT_STREQ(DestinationMessage(DestinationCheck::SameVolume), "Select anoter drive folder.");
    EXPECT_EQ(s.model.checkDestination("E:\\out", scanned), DestinationCheck::Ok);
    // A relative folder that merely starts with the letter is not the drive.
    EXPECT_EQ(s.model.checkDestination("Desktop", scanned), DestinationCheck::Ok);
    scanned.driveLetter = '*';
    EXPECT_EQ(s.model.checkDestination("*:", scanned), DestinationCheck::Ok);
    EXPECT_EQ(StoredDestination("D:\\"), "D:");
    EXPECT_EQ(StoredDestination("D:\\out"), "D:\\out");
    EXPECT_EQ(StoredDestination("/tmp/out"), "/tmp/out");
}

TEST(FatPageScanTest, TitlesMasksAndRange) {
    FatPageModel fat16(kFatPageModeDeleted, FatKind::Fat16);
    FatPageModel fat32(kFatPageModeFormatted, FatKind::Fat32);
    EXPECT_STREQ(fat16.scanTitle(), "Scanning Deleted Files ...");
    EXPECT_STREQ(fat32.scanTitle(), "Scanning Formated Drive ...");
    EXPECT_EQ(fat16.scanOptions("C:\\", "own", 6, 0, 0, 0).maskText, kFat16MailMaskText);
    EXPECT_EQ(fat32.scanOptions("C:\\", "own", 6, 0, 0, 0).maskText, ".dbx .pst .box");
    EXPECT_EQ(fat32.scanOptions("C:\\", "own", 3, 0, 0, 0).maskText, kFatPictureMaskText);
    EXPECT_EQ(fat32.scanOptions("C:\\", "own", 0, 0, 0, 0).maskText, "own");
    FatScanOptions o = fat32.scanOptions("C:\\", "", 0, 2048, 83968, 2048);
    EXPECT_EQ(o.rangeStart, 0u);
    EXPECT_EQ(o.rangeEnd, 81920u);
    EXPECT_EQ(o.pathFilter, "C:\\");
}

TEST(FatPageScanTest, EmptyTreeIsHarmless) {
    FatPageModel m;
    m.scanFinished();
    EXPECT_EQ(m.rowCount(), 0u);
    EXPECT_FALSE(m.canRecover());
    m.checkAll(true);
    m.setRowChecked(0, true);
    m.sortByHeader(kFatColName);
    m.sortByHeader(99);
    EXPECT_EQ(m.selectionTotals().files, 0u);
}

}  // namespace
}  // namespace vantor
