#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "fat/fat_scan.h"
#include "fat/fat_writer.h"
#include "fat_test_util.h"

namespace vantor {
namespace {

using fattest::Entry;
using fattest::MiniFat;
using fattest::NumberedLines;
using fattest::XorshiftBytes;

struct Found {
    std::string path;  // folder texts below the root, then the name
    const FatFoundFile* rec;
};

std::vector<Found> Collect(const FolderTree& tree) {
    std::vector<Found> out;
    std::function<void(const FolderNode*, const std::string&)> walk = [&](const FolderNode* n, const std::string& prefix) {
        if (const auto* files = n->dataAs<FatFolderFiles>())
            for (const auto& f : files->files) out.push_back({prefix + f->nameText(), f.get()});
        for (const auto& c : n->children()) walk(c.get(), prefix + c->text + "/");
    };
    if (tree.root()) walk(tree.root(), "");
    return out;
}

std::map<std::string, const FatFoundFile*> ByPath(const FolderTree& tree) {
    std::map<std::string, const FatFoundFile*> m;
    for (const auto& f : Collect(tree)) m[f.path] = f.rec;
    return m;
}

const FolderNode* Child(const FolderNode* n, const std::string& text) {
    for (const auto& c : n->children())
        if (c->text == text) return c.get();
    return nullptr;
}

std::unique_ptr<CFatVolume> OpenFixture(const std::string& name, int kind) {
    std::shared_ptr<FileDevice> dev;
    if (FileDevice::open(fattest::FixturePath(name), false, dev) != kSuccess) return nullptr;
    return OpenFatVolume(dev, 0, 'E', kind);
}

struct Expect {
    std::string path;
    uint32_t size;
    uint32_t cluster;
    std::vector<std::byte> content;
};

void CheckScan(const FolderTree& tree, const std::vector<Expect>& expected) {
    const auto found = ByPath(tree);
    EXPECT_EQ(found.size(), expected.size());
    for (const auto& e : expected) {
        auto it = found.find(e.path);
        ASSERT_NE(it, found.end()) << e.path;
        EXPECT_EQ(it->second->size, e.size) << e.path;
        EXPECT_EQ(it->second->firstCluster, e.cluster) << e.path;
        EXPECT_EQ(e.content.size(), e.size) << e.path;
    }
}

TEST(FatDeletedScanFixtures, Fat16With16KClustersListsEveryDeletedFile) {
    auto vol = OpenFixture("fat-fat16-16k.img", 1);
    ASSERT_TRUE(vol && vol->opened());
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto r = ScanDeleted(*vol, tree, nullptr, progress, running);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.recordsMade, 8u);
    EXPECT_EQ(r.folders, 6u);
    EXPECT_EQ(progress.text(), "Found Deleted Files : 8");
    EXPECT_EQ(progress.m_nProgressTotal.load(), 7u);
    EXPECT_EQ(tree.root()->text, "FAT16 - Logical Disk (E:)");
    CheckScan(tree, {
        {"#MPTY.txt", 0, 0, {}},
        {"Big Text File.log", 3214001, 11, NumberedLines("big16", 52000)},
        {"DOCS/Quarterly Report.docx", 6700, 9, NumberedLines("quarterly16", 100)},
        {"DOCS/#EPORT.doc", 1280, 10, NumberedLines("report16", 20)},
        {"Photos/holiday photo.jpg", 30000, 208, XorshiftBytes(16001, 30000)},
        {"#LDTREE/inner notes.txt", 1890, 210, NumberedLines("inner16", 30)},
        {"#LDTREE/#UB/#EEP.bin", 5000, 211, XorshiftBytes(16002, 5000)},
        // A live folder from 2015 is entered (the five-year window is gone).
        {"ARCHIVE/#LD.txt", 610, 213, NumberedLines("old16", 10)},
    });
    const FolderNode* old = Child(tree.root(), "#LDTREE");
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->image, kFatImageDeleted);
    EXPECT_EQ(Child(tree.root(), "DOCS")->image, kFatImageLive);
    EXPECT_TRUE(tree.root()->expanded);
}

TEST(FatDeletedScanFixtures, FiltersAndMasksNarrowTheList) {
    auto vol = OpenFixture("fat-fat16-16k.img", 1);
    ASSERT_TRUE(vol && vol->opened());
    ProgressFields progress;
    std::atomic<bool> running{true};
    {
        FilterCriteria c;
        c.sizeMode = kSizeLarger;
        c.minSizeKB = 5;  // > 5120 bytes
        FolderTree tree;
        const auto r = ScanDeleted(*vol, tree, &c, progress, running);
        EXPECT_EQ(r.recordsMade, 8u);  // the counter counts what the filter then drops
        EXPECT_EQ(r.recordsListed, 3u);
        EXPECT_EQ(Child(tree.root(), "ARCHIVE"), nullptr);  // pruned: nothing left in it
        EXPECT_EQ(ByPath(tree).count("Photos/holiday photo.jpg"), 1u);
    }
    {
        FatScanOptions o;
        o.maskText = "*.jpg;*.doc";
        FolderTree tree;
        ScanDeleted(*vol, tree, nullptr, progress, running, o);
        const auto m = ByPath(tree);
        EXPECT_EQ(m.size(), 2u);
        EXPECT_EQ(m.count("DOCS/#EPORT.doc"), 1u);
    }
    {
        FatScanOptions o;
        o.pathFilter = "E:\\docs";
        FolderTree tree;
        ScanDeleted(*vol, tree, nullptr, progress, running, o);
        const auto m = ByPath(tree);
        EXPECT_EQ(m.size(), 2u);
        EXPECT_EQ(m.count("DOCS/Quarterly Report.docx"), 1u);
    }
    {
        FatScanOptions o;
        o.pathFilter = "E:\\nowhere";
        FolderTree tree;
        EXPECT_TRUE(ScanDeleted(*vol, tree, nullptr, progress, running, o).ok);
        EXPECT_EQ(tree.root()->childCount(), 0u);
        EXPECT_TRUE(Collect(tree).empty());
    }
}

TEST(FatDeletedScanFixtures, Fat16WithMultiClusterRootAndFat12AndFat32) {
    ProgressFields progress;
    std::atomic<bool> running{true};
    {
        auto vol = OpenFixture("fat-fat16-2k.img", 1);
        ASSERT_TRUE(vol && vol->opened());
        FolderTree tree;
        EXPECT_TRUE(ScanDeleted(*vol, tree, nullptr, progress, running).ok);
        CheckScan(tree, {
            {"Level1/middle sized.txt", 982001, 10, NumberedLines("mid2k", 16000)},
            {"Level1/Level2/Level3/deep file.txt", 1550, 8, NumberedLines("deep2k", 25)},
            {"#ONE/#.bin", 4097, 490, XorshiftBytes(2001, 4097)},
            {"#ONE/#NNER/Inner Long Name.txt", 558, 493, NumberedLines("gone2k", 9)},
        });
    }
    {
        auto vol = OpenFixture("fat-fat12.img", 1);
        ASSERT_TRUE(vol && vol->opened());
        FolderTree tree;
        EXPECT_TRUE(ScanDeleted(*vol, tree, nullptr, progress, running).ok);
        CheckScan(tree, {{"SUB/gone twelve.txt", 12400, 4, NumberedLines("gone12", 200)}});
    }
    {
        auto vol = OpenFixture("fat-fat32.img", 2);
        ASSERT_TRUE(vol && vol->opened());
        FolderTree tree;
        const auto r = ScanDeleted(*vol, tree, nullptr, progress, running);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(tree.root()->text, "FAT32 - Logical Disk (E:)");
        // Both deleted folders have size 0; HIGHDIR lies above cluster 65535.
        CheckScan(tree, {
            {"#ERO.dat", 0, 0, {}},
            {"Big Log.txt", 2470001, 69935, NumberedLines("big32", 40000)},
            {"Documents/#EMO.txt", 496, 11, NumberedLines("memo32", 8)},
            {"Documents/scan 0001.jpg", 123457, 12, XorshiftBytes(3201, 123457)},
            {"#OWDIR/#OW.txt", 732, 254, NumberedLines("low32", 12)},
            {"#IGHDIR/high file.txt", 2480, 69890, NumberedLines("high32", 40)},
            {"#IGHDIR/Nested/#.bin", 20000, 69895, XorshiftBytes(3202, 20000)},
        });
    }
}

TEST(FatLostScanFixtures, FormattedFat32RebuildsFoldersByTheirEntries) {
    auto vol = OpenFixture("fat-formatted32.img", 2);
    ASSERT_TRUE(vol && vol->opened());
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto r = ScanLostFolders(*vol, tree, nullptr, progress, running);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.folders, 4u);
    CheckScan(tree, {
        {"DIR0/LOGO.bmp", 9000, 18, XorshiftBytes(3203, 9000)},
        {"DIR0/Alpha/PLAN.txt", 1200, 7, NumberedLines("plan", 20)},
        {"DIR0/Beta/Budget Sheet.csv", 3968, 10, NumberedLines("budget", 64)},
        {"DIR1/song list.txt", 915, 36, NumberedLines("songs", 15)},
    });
    for (const auto& f : Collect(tree)) EXPECT_EQ(f.rec->origin, FatRecordOrigin::LostFolderScan);
    EXPECT_EQ(Child(tree.root(), kFatLostDirText), nullptr);  // nothing under it: pruned

    FatScanOptions pictures;
    pictures.fileTypeGroup = kFatTypePictures;
    FolderTree pic;
    ScanLostFolders(*vol, pic, nullptr, progress, running, pictures);
    const auto m = ByPath(pic);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m.begin()->first, "DIR0/LOGO.bmp");
}

TEST(FatLostScanFixtures, FormattedFat16WithMultiClusterRoot) {
    auto vol = OpenFixture("fat-formatted16.img", 1);
    ASSERT_TRUE(vol && vol->opened());
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto r = ScanLostFolders(*vol, tree, nullptr, progress, running);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.folders, 3u);
    CheckScan(tree, {
        {"DIR0/#LD.doc", 455, 17, NumberedLines("oldreport", 7)},
        {"DIR0/2022/Annual Summary.txt", 3100, 5, NumberedLines("annual", 50)},
        {"DIR1/PHOTO1.jpg", 20000, 7, XorshiftBytes(1604, 20000)},
    });
    EXPECT_TRUE(ByPath(tree).at("DIR0/#LD.doc")->deleted);
}

TEST(FatLostScanFixtures, FolderWhoseParentClusterWasReusedGoesToLostDir) {
    auto vol = OpenFixture("fat-lostdir.img", 2);
    ASSERT_TRUE(vol && vol->opened());
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto r = ScanLostFolders(*vol, tree, nullptr, progress, running);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.folders, 3u);
    CheckScan(tree, {
        {"DIR0/SMALL.txt", 122, 3, NumberedLines("small", 2)},
        {"LostDIR/DIR1/beta file.txt", 1800, 46, NumberedLines("beta", 30)},
        {"LostDIR/DIR1/Gamma/GAMMA.bin", 3000, 50, XorshiftBytes(3302, 3000)},
    });
}

TEST(FatScanRecovery, EveryFixtureFileComesBackByteForByte) {
    struct Case {
        const char* image;
        int kind;
        bool lost;
        std::vector<std::pair<std::string, std::vector<std::byte>>> files;
    };
    const std::vector<Case> cases = {
        {"fat-fat16-16k.img", 1, false,
         {{"Big Text File.log", NumberedLines("big16", 52000)},
          {"DOCS/Quarterly Report.docx", NumberedLines("quarterly16", 100)},
          {"Photos/holiday photo.jpg", XorshiftBytes(16001, 30000)},
          {"#LDTREE/#UB/#EEP.bin", XorshiftBytes(16002, 5000)},
          {"ARCHIVE/#LD.txt", NumberedLines("old16", 10)},
          {"#MPTY.txt", {}}}},
        {"fat-fat16-2k.img", 1, false,
         {{"Level1/middle sized.txt", NumberedLines("mid2k", 16000)},
          {"#ONE/#.bin", XorshiftBytes(2001, 4097)},
          {"#ONE/#NNER/Inner Long Name.txt", NumberedLines("gone2k", 9)}}},
        {"fat-fat12.img", 1, false, {{"SUB/gone twelve.txt", NumberedLines("gone12", 200)}}},
        {"fat-fat32.img", 2, false,
         {{"Big Log.txt", NumberedLines("big32", 40000)},
          {"Documents/scan 0001.jpg", XorshiftBytes(3201, 123457)},
          {"#IGHDIR/Nested/#.bin", XorshiftBytes(3202, 20000)},
          {"#OWDIR/#OW.txt", NumberedLines("low32", 12)}}},
        {"fat-formatted16.img", 1, true,
         {{"DIR0/#LD.doc", NumberedLines("oldreport", 7)},
          {"DIR0/2022/Annual Summary.txt", NumberedLines("annual", 50)},
          {"DIR1/PHOTO1.jpg", XorshiftBytes(1604, 20000)}}},
        {"fat-formatted32.img", 2, true,
         {{"DIR0/Beta/Budget Sheet.csv", NumberedLines("budget", 64)},
          {"DIR0/LOGO.bmp", XorshiftBytes(3203, 9000)},
          {"DIR1/song list.txt", NumberedLines("songs", 15)}}},
        {"fat-lostdir.img", 2, true,
         {{"LostDIR/DIR1/beta file.txt", NumberedLines("beta", 30)},
          {"LostDIR/DIR1/Gamma/GAMMA.bin", XorshiftBytes(3302, 3000)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.image);
        auto vol = OpenFixture(c.image, c.kind);
        ASSERT_TRUE(vol && vol->opened());
        FolderTree tree;
        ProgressFields progress;
        std::atomic<bool> running{true};
        if (c.lost) ScanLostFolders(*vol, tree, nullptr, progress, running);
        else ScanDeleted(*vol, tree, nullptr, progress, running);
        tree.walk([](FolderNode& n) {
            n.checked = true;
            if (auto* f = n.dataAs<FatFolderFiles>())
                for (auto& r : f->files) r->selected = 1;
            return true;
        });
        const auto dest = std::filesystem::temp_directory_path() /
                          ("vantor-fat-scan-" + std::to_string(::getpid()) + "-" + c.image);
        std::filesystem::remove_all(dest);
        std::filesystem::create_directories(dest);
        fattest::ScriptedPrompt prompt;
        const auto res = RecoverFatFiles(*vol, tree, dest.string(), prompt, progress, running);
        EXPECT_EQ(res.failed, 0u) << res.failureSummary();
        EXPECT_EQ(res.written, res.total);
        EXPECT_EQ(res.total, Collect(tree).size());
        for (const auto& [path, content] : c.files) {
            const auto got = fattest::ReadWholeFile((dest / path).string());
            EXPECT_EQ(got.size(), content.size()) << path;
            EXPECT_TRUE(got == content) << path;
        }
        std::filesystem::remove_all(dest);
    }
}

// ---- precise cases on in-memory volumes ----

MiniFat Fat16Volume() { return MiniFat::Fat16(1, 512, 4400, 20); }

TEST(FatDeletedScanEdges, TwoDeletedFolderEntriesOnOneClusterGiveOneNode) {
    auto m = Fat16Volume();
    Entry a{"FIRST      ", 0x10, 10};
    a.deleted = true;
    Entry b{"SECOND     ", 0x10, 10};
    b.deleted = true;
    m.put(1, 0, a.bytes());
    m.put(1, 1, b.bytes());
    m.dots(10, 0);
    Entry f{"DATA    TXT", 0x20, 20, 5};
    f.deleted = true;
    m.put(10, 2, f.bytes());
    auto vol = m.open();
    ASSERT_TRUE(vol->opened());
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    ScanDeleted(*vol, tree, nullptr, progress, running);
    ASSERT_EQ(tree.root()->childCount(), 1u);
    EXPECT_EQ(tree.root()->child(0)->text, "#ECOND");
    EXPECT_EQ(ByPath(tree).count("#ECOND/#ATA.txt"), 1u);
}

TEST(FatDeletedScanEdges, DirectoryLoopsEndAndEveryFolderIsReadOnce) {
    auto m = Fat16Volume();
    m.put(1, 0, Entry{"LOOP       ", 0x10, 10}.bytes());
    m.chain({10});
    m.dots(10, 0);
    // LOOP names itself (as a subfolder) and the root's first cluster again.
    m.put(10, 2, Entry{"SELF       ", 0x10, 10}.bytes());
    Entry del{"GONE       ", 0x10, 11};
    del.deleted = true;
    m.put(10, 3, del.bytes());
    m.dots(11, 10);
    Entry back{"BACK       ", 0x10, 11};
    back.deleted = true;
    m.put(11, 2, back.bytes());  // a deleted folder naming itself
    Entry f{"X       TXT", 0x20, 30, 3};
    f.deleted = true;
    m.put(11, 3, f.bytes());
    auto vol = m.open();
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto r = ScanDeleted(*vol, tree, nullptr, progress, running);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.folders, 3u);
    EXPECT_EQ(ByPath(tree).count("LOOP/#ONE/#.txt"), 1u);
}

TEST(FatDeletedScanEdges, StopKeepsWhatWasFound) {
    auto m = Fat16Volume();
    Entry f{"X       TXT", 0x20, 30, 3};
    f.deleted = true;
    m.put(1, 0, f.bytes());
    auto vol = m.open();
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{false};
    const auto r = ScanDeleted(*vol, tree, nullptr, progress, running);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.recordsMade, 0u);
    ASSERT_NE(tree.root(), nullptr);
}

TEST(FatDeletedScanEdges, Fat32DeletedFolderFollowedByKeptHighWordOrBySearch) {
    // 70,000 clusters of one sector, so cluster numbers above 65535 exist.
    auto m = MiniFat::Fat32(1, 70100, 560);
    Entry high{"HIGH       ", 0x10, 0x10005};  // kept high word 1
    high.deleted = true;
    m.put(2, 0, high.bytes());
    m.dots(0x10005, 0);
    Entry hf{"H       TXT", 0x20, 0x10100, 7};
    hf.deleted = true;
    m.put(0x10005, 2, hf.bytes());
    Entry cleared{"CLEARED    ", 0x10, 0x0007};  // real cluster 0x10007, high word gone
    cleared.deleted = true;
    m.put(2, 1, cleared.bytes());
    m.dots(0x10007, 0);
    Entry cf{"C       TXT", 0x20, 0x10200, 9};
    cf.deleted = true;
    m.put(0x10007, 2, cf.bytes());
    auto vol = m.open();
    ASSERT_TRUE(vol->opened());
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    ScanDeleted(*vol, tree, nullptr, progress, running);
    const auto found = ByPath(tree);
    EXPECT_EQ(found.count("#IGH/#.txt"), 1u);
    ASSERT_EQ(found.count("#LEARED/#.txt"), 1u);
    EXPECT_EQ(found.at("#LEARED/#.txt")->firstCluster, 0x10200u);
}

TEST(FatLostScanEdges, ThreeDirectoryClustersMakeTwoFoldersAndParentsPlaceChildren) {
    auto m = Fat16Volume();
    // Folder P at 10-11-12 (three clusters in a row); child C at 20 names P as parent.
    m.dots(10, 0);
    m.put(10, 2, Entry{"CHILD      ", 0x10, 20}.bytes());
    // A directory sector needs two entries before any end mark.
    m.put(11, 0, Entry{"SECOND  TXT", 0x20, 40, 1}.bytes());
    m.put(11, 1, Entry{"SECOND2 TXT", 0x20, 44, 1}.bytes());
    m.put(12, 0, Entry{"THIRD   TXT", 0x20, 41, 1}.bytes());
    m.put(12, 1, Entry{"THIRD2  TXT", 0x20, 45, 1}.bytes());
    m.dots(20, 10);
    m.put(20, 2, Entry{"INCHILD TXT", 0x20, 42, 1}.bytes());
    // O at 30 has a parent at 900, outside the range scanned.
    m.dots(30, 900);
    m.put(30, 2, Entry{"ORPHAN  TXT", 0x20, 43, 1}.bytes());
    auto vol = m.open();
    ASSERT_TRUE(vol->opened());
    FatScanOptions o;
    o.rangeStart = static_cast<uint32_t>(vol->clusterSector(2));
    o.rangeEnd = static_cast<uint32_t>(vol->clusterSector(100));
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto r = ScanLostFolders(*vol, tree, nullptr, progress, running, o);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.folders, 4u);  // 10-11, 12, 20, 30
    const auto found = ByPath(tree);
    // P (".." = 0, name never seen) stays under the root; its child is named.
    EXPECT_EQ(found.count("DIR0/SECOND.txt"), 1u);
    EXPECT_EQ(found.count("DIR0/CHILD/INCHILD.txt"), 1u);
    // The third cluster has no dot entries: a folder of its own under LostDIR.
    EXPECT_EQ(found.count("LostDIR/DIR1/THIRD.txt"), 1u);
    EXPECT_EQ(found.count("LostDIR/DIR2/ORPHAN.txt"), 1u);
}

TEST(FatLostScanEdges, FoldersWaitingOnEachOtherAreStillBuilt) {
    auto m = Fat16Volume();
    // Two folders whose ".." entries name each other: neither can go first.
    m.dots(10, 20);
    m.put(10, 2, Entry{"A       TXT", 0x20, 40, 1}.bytes());
    m.dots(20, 10);
    m.put(20, 2, Entry{"B       TXT", 0x20, 41, 1}.bytes());
    auto vol = m.open();
    FatScanOptions o;
    o.rangeStart = static_cast<uint32_t>(vol->clusterSector(2));
    o.rangeEnd = static_cast<uint32_t>(vol->clusterSector(50));
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto r = ScanLostFolders(*vol, tree, nullptr, progress, running, o);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.recordsListed, 2u);
    EXPECT_EQ(Collect(tree).size(), 2u);
}

TEST(FatLostScanEdges, RangeBeforeTheDataAreaReadsOnlyTheRoot) {
    auto m = Fat16Volume();
    m.put(1, 0, Entry{"ROOTFILETXT", 0x20, 50, 1}.bytes());
    m.put(1, 1, Entry{"ROOTTWO TXT", 0x20, 51, 1}.bytes());
    auto vol = m.open();
    FatScanOptions o;
    o.rangeStart = 0;
    o.rangeEnd = 5;  // inside the reserved area and FATs
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto r = ScanLostFolders(*vol, tree, nullptr, progress, running, o);
    EXPECT_EQ(progress.m_nProgressTotal.load(), 1u);  // pass two: one candidate
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(ByPath(tree).count("DIR0/ROOTFILE.txt"), 1u);
}

// Nested folders with a deleted IN.TXT in the folder at depth inDepth and
// PAST.TXT one level below it.
MiniFat NestedVolume(size_t levels, size_t inDepth) {
    auto m = Fat16Volume();
    fattest::NestFolders(m, levels);
    for (size_t depth : {inDepth, inDepth + 1}) {
        Entry f{depth == inDepth ? "IN      TXT" : "PAST    TXT", 0x20, static_cast<uint32_t>(3000 + depth - inDepth), 5};
        f.deleted = true;
        m.put(static_cast<uint32_t>(10 + depth - 1), 3, f.bytes());
    }
    return m;
}

size_t DeepestLevel(const FolderTree& tree) {
    size_t deepest = 0;
    tree.walk([&](FolderNode& n) {
        deepest = std::max(deepest, static_cast<size_t>(n.depth()));
        return true;
    });
    return deepest;
}

TEST(FatDeletedScanEdges, FoldersBelowTheDepthLimitAreNotEntered) {
    auto m = NestedVolume(kFatMaxFolderDepth + 3, kFatMaxFolderDepth);
    auto vol = m.open();
    ASSERT_TRUE(vol->opened());
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto r = ScanDeleted(*vol, tree, nullptr, progress, running);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.recordsListed, 1u);
    EXPECT_EQ(DeepestLevel(tree), kFatMaxFolderDepth);
    std::vector<std::string> names;
    tree.walk([&](FolderNode& n) {
        if (auto* files = n.dataAs<FatFolderFiles>())
            for (const auto& f : files->files) names.push_back(f->nameText());
        return true;
    });
    EXPECT_EQ(names, std::vector<std::string>{"#N.txt"});
}

TEST(FatLostScanEdges, AFolderBelowTheDepthLimitGoesToLostDir) {
    auto m = NestedVolume(kFatMaxFolderDepth + 3, kFatMaxFolderDepth);
    auto vol = m.open();
    FatScanOptions o;
    o.rangeStart = static_cast<uint32_t>(vol->clusterSector(2));
    o.rangeEnd = static_cast<uint32_t>(vol->clusterSector(kFatMaxFolderDepth + 20));
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto r = ScanLostFolders(*vol, tree, nullptr, progress, running, o);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(DeepestLevel(tree), kFatMaxFolderDepth);
    char past[32];
    std::snprintf(past, sizeof past, "LostDIR/D%07u/#AST.txt", kFatMaxFolderDepth);
    const auto found = ByPath(tree);
    EXPECT_EQ(found.count(past), 1u);
    EXPECT_EQ(found.size(), 2u);
}

TEST(FatLostScanEdges, NothingFoundIsNotOk) {
    auto m = Fat16Volume();
    auto vol = m.open();
    FatScanOptions o;
    o.rangeStart = static_cast<uint32_t>(vol->clusterSector(2));
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto r = ScanLostFolders(*vol, tree, nullptr, progress, running, o);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, kSuccess);
    ASSERT_NE(tree.root(), nullptr);
    EXPECT_NE(Child(tree.root(), kFatLostDirText), nullptr);
}

}  // namespace
}  // namespace vantor
