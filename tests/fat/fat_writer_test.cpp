#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "dialogs/preview.h"
#include "fat/fat_scan.h"
#include "fat/fat_writer.h"
#include "fat_test_util.h"
#include "platform/device_table.h"

namespace vantor {
namespace {

using fattest::Entry;
using fattest::MiniFat;
using fattest::ScriptedPrompt;
using fattest::XorshiftBytes;

class TempDir {
public:
    explicit TempDir(const std::string& tag)
        : path_(std::filesystem::temp_directory_path() /
                ("vantor-fatw-" + std::to_string(::getpid()) + "-" + tag)) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string str() const { return path_.string(); }
    std::string at(const std::string& rel) const { return (path_ / rel).string(); }

private:
    std::filesystem::path path_;
};

// A tree with one checked root holding the given records, all selected.
std::unique_ptr<FolderTree> TreeOf(std::vector<FatFoundFile> recs) {
    auto tree = std::make_unique<FolderTree>();
    FolderNode* root = tree->setRoot("FAT16 - Logical Disk (F:)");
    root->checked = true;
    auto files = std::make_unique<FatFolderFiles>();
    for (auto& r : recs) {
        r.selected = 1;
        files->append(std::make_unique<FatFoundFile>(r));
    }
    root->data = std::move(files);
    return tree;
}

FatFoundFile Rec(const std::string& name, uint32_t cluster, uint32_t size,
                 FatRecordOrigin origin = FatRecordOrigin::DeletedScan) {
    FatFoundFile r;
    copyToField(r.name, sizeof(r.name), name);
    r.firstCluster = cluster;
    r.size = size;
    r.origin = origin;
    return r;
}

MiniFat Volume() { return MiniFat::Fat16(1, 512, 4400, 20); }

TEST(FatWriterFragment, DeletedFileInterruptedByALiveFileComesBackExactly) {
    std::shared_ptr<FileDevice> dev;
    ASSERT_EQ(FileDevice::open(fattest::FixturePath("fat-fragment.img"), false, dev), kSuccess);
    auto vol = OpenFatVolume(dev, 0, 'E', 1);
    ASSERT_TRUE(vol->opened());
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    ASSERT_TRUE(ScanDeleted(*vol, tree, nullptr, progress, running).ok);
    const FolderNode* live = tree.root()->child(0);
    ASSERT_NE(live, nullptr);
    ASSERT_EQ(live->text, "LIVE");
    const auto* frag = live->dataAs<FatFolderFiles>()->at(0);
    ASSERT_NE(frag, nullptr);
    ASSERT_EQ(frag->nameText(), "#RAG.bin");

    // Free clusters after the first: 10, 11, then 13, 14 around L at 12.
    const auto layout = LocateFatFileData(*vol, *frag);
    ASSERT_EQ(layout.extents.size(), 2u);
    EXPECT_EQ(layout.extents[0].offset, vol->clusterOffset(10));
    EXPECT_EQ(layout.extents[0].length, 2048u);
    EXPECT_EQ(layout.extents[1].offset, vol->clusterOffset(13));
    EXPECT_EQ(layout.extents[1].length, 3500u - 2048u);
    EXPECT_FALSE(layout.overwritten);

    std::vector<std::byte> head;
    ASSERT_EQ(ReadFatFileHead(*vol, *frag, 1 << 20, head), kSuccess);
    EXPECT_TRUE(head == XorshiftBytes(509, 3500));  // what the preview shows is what recovery writes

    // Taken as one run, the record would carry L's cluster instead.
    FatFoundFile contiguous = *frag;
    contiguous.origin = FatRecordOrigin::LostFolderScan;
    std::vector<std::byte> wrong;
    ASSERT_EQ(ReadFatFileHead(*vol, contiguous, 1 << 20, wrong), kSuccess);
    const auto l = XorshiftBytes(507, 1000);
    EXPECT_TRUE(std::equal(l.begin(), l.end(), wrong.begin() + 2048));

    // The scan judged each record by the writer's rule: A and B lost their first cluster.
    EXPECT_EQ(frag->condition, DataCondition::Intact);
    EXPECT_EQ(live->dataAs<FatFolderFiles>()->at(1)->condition, DataCondition::Intact);
    for (const auto& f : tree.root()->dataAs<FatFolderFiles>()->files) EXPECT_EQ(f->condition, DataCondition::Overwritten);

    tree.walk([](FolderNode& n) {
        n.checked = true;
        for (auto& f : n.dataAs<FatFolderFiles>()->files) f->selected = 1;
        return true;
    });
    TempDir dest("fragment");
    ScriptedPrompt prompt;
    const auto res = RecoverFatFiles(*vol, tree, dest.str(), prompt, progress, running);
    EXPECT_EQ(res.total, 4u);
    EXPECT_TRUE(fattest::ReadWholeFile(dest.at("LIVE/#RAG.bin")) == XorshiftBytes(509, 3500));
    // A's and B's first clusters belong to the live D now: written, but reported.
    EXPECT_EQ(res.failed, 2u);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_NE(prompt.messages[0].find("'#.bin': overwritten."), std::string::npos);
    EXPECT_EQ(res.failures.size(), 2u);
    EXPECT_EQ(res.written, 2u);
}

TEST(FatWriterData, SectorTailsEmptyFilesAndOverwrittenLongerTargets) {
    auto m = Volume();
    const auto data = XorshiftBytes(7, 4096);
    for (uint32_t c = 0; c < 8; ++c)
        m.fill(100 + c, std::vector<std::byte>(data.begin() + c * 512, data.begin() + (c + 1) * 512));
    auto vol = m.open();
    ASSERT_TRUE(vol->opened());
    TempDir dest("tails");
    // A longer file already there, answered Yes: it ends as long as the data.
    {
        std::ofstream longer(dest.at("b1024.bin"), std::ios::binary);
        longer << std::string(5000, 'x');
    }
    auto tree = TreeOf({Rec("a1000.bin", 100, 1000), Rec("b1024.bin", 100, 1024), Rec("empty.txt", 0, 0)});
    ScriptedPrompt prompt;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto res = RecoverFatFiles(*vol, *tree, dest.str(), prompt, progress, running);
    EXPECT_EQ(res.written, 3u);
    EXPECT_EQ(res.failed, 0u);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(prompt.asked, std::vector<std::string>{"b1024.bin"});
    const auto a = fattest::ReadWholeFile(dest.at("a1000.bin"));
    EXPECT_TRUE(a == std::vector<std::byte>(data.begin(), data.begin() + 1000));
    EXPECT_EQ(fattest::ReadWholeFile(dest.at("b1024.bin")).size(), 1024u);
    EXPECT_TRUE(std::filesystem::exists(dest.at("empty.txt")));
    EXPECT_EQ(std::filesystem::file_size(dest.at("empty.txt")), 0u);
    EXPECT_EQ(progress.m_nProgressPos.load(), 3u);
    EXPECT_EQ(progress.m_nProgressTotal.load(), 3u);
}

TEST(FatWriterData, FragmentedFileFromTheLostFolderScanIsTakenContiguously) {
    auto m = Volume();
    m.fill(100, std::vector<std::byte>(512, std::byte{'a'}));
    m.fill(101, std::vector<std::byte>(512, std::byte{'L'}));  // a live file's cluster
    m.fill(102, std::vector<std::byte>(512, std::byte{'b'}));
    m.chain({101});
    auto vol = m.open();
    const auto lost = LocateFatFileData(*vol, Rec("x", 100, 1536, FatRecordOrigin::LostFolderScan));
    ASSERT_EQ(lost.extents.size(), 1u);
    EXPECT_EQ(lost.extents[0].length, 1536u);
    const auto del = LocateFatFileData(*vol, Rec("x", 100, 1536));
    ASSERT_EQ(del.extents.size(), 2u);
    EXPECT_EQ(del.extents[1].offset, vol->clusterOffset(102));
}

TEST(FatWriterData, RunsPastTheVolumeEndAreCutAndReported) {
    auto m = Volume();
    auto vol = m.open();
    const uint32_t last = vol->lastCluster();
    m.chain({last - 1});
    vol = m.open();
    auto tree = TreeOf({Rec("tail.bin", last - 2, 4096), Rec("outside.bin", last + 5, 10),
                        Rec("lost.bin", last, 4096, FatRecordOrigin::LostFolderScan)});
    const auto* files = tree->root()->dataAs<FatFolderFiles>();
    const auto cut = LocateFatFileData(*vol, *files->at(0));
    EXPECT_TRUE(cut.cutAtVolumeEnd);
    EXPECT_EQ(cut.bytes, 1024u);  // clusters last-2 and last; last-1 is live
    EXPECT_TRUE(LocateFatFileData(*vol, *files->at(1)).badFirstCluster);
    EXPECT_EQ(LocateFatFileData(*vol, *files->at(2)).bytes, 512u);

    TempDir dest("cut");
    ScriptedPrompt prompt;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto res = RecoverFatFiles(*vol, *tree, dest.str(), prompt, progress, running);
    EXPECT_EQ(res.failed, 3u);
    EXPECT_EQ(res.written, 0u);
    // A cut file never lies under its own name.
    EXPECT_FALSE(std::filesystem::exists(dest.at("tail.bin")));
    EXPECT_EQ(std::filesystem::file_size(dest.at("tail.bin.partial")), 1024u);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_NE(prompt.messages[0].find("'tail.bin': cut at the end of the volume. Kept as 'tail.bin.partial'."),
              std::string::npos);
    EXPECT_NE(prompt.messages[0].find("'outside.bin': first cluster outside the volume."), std::string::npos);
}

// The rule the free-cluster index stands in for: after the first cluster,
// every later cluster whose FAT entry reads 0, one by one to the volume end.
FatDataLayout ClusterByCluster(const CFatVolume& v, const FatFoundFile& rec) {
    FatDataLayout layout;
    const uint64_t cb = v.clusterBytes();
    uint64_t remaining = rec.size;
    const auto take = [&](uint32_t c) {
        const uint64_t n = std::min(remaining, cb);
        const uint64_t off = v.clusterOffset(c);
        if (!layout.extents.empty() && layout.extents.back().offset + layout.extents.back().length == off)
            layout.extents.back().length += n;
        else
            layout.extents.push_back({off, n});
        layout.bytes += n;
        remaining -= n;
    };
    layout.overwritten = v.fatEntry(rec.firstCluster) != 0;
    take(rec.firstCluster);
    for (uint64_t c = uint64_t{rec.firstCluster} + 1; remaining > 0 && c <= v.lastCluster(); ++c)
        if (v.fatEntry(static_cast<uint32_t>(c)) == 0) take(static_cast<uint32_t>(c));
    layout.cutAtVolumeEnd = remaining > 0;
    return layout;
}

TEST(FatWriterData, ALostFolderRecordsRunIsJudgedClusterByCluster) {
    // Clusters 10..13 one live chain; 20 and 22 single live clusters.
    auto m = Volume();
    m.chain({10, 11, 12, 13});
    m.chain({20});
    m.chain({22});
    auto vol = m.open();
    ASSERT_TRUE(vol->opened());
    const struct {
        uint32_t first;
        uint32_t size;
        DataCondition want;
    } kCases[] = {
        {30, 2000, DataCondition::Intact},
        {10, 2048, DataCondition::Intact},             // the live chain laid out as the run: its own
        {10, 1000, DataCondition::Overwritten},         // the chain goes on past the run: another file's
        {11, 1024, DataCondition::Overwritten},         // first cluster taken
        {19, 2048, DataCondition::PartlyOverwritten},  // 20 and 22 taken
        {21, 512, DataCondition::Intact},
        {21, 1536, DataCondition::PartlyOverwritten},  // 22 taken
        {21, 0, DataCondition::Intact},
        {1, 100, DataCondition::Unknown},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(FatDataCondition(*vol, Rec("x", c.first, c.size, FatRecordOrigin::LostFolderScan)), c.want)
            << c.first << " " << c.size;
    }
    // A deleted-scan record only by its first cluster.
    EXPECT_EQ(FatDataCondition(*vol, Rec("x", 19, 2048)), DataCondition::Intact);
    EXPECT_EQ(FatDataCondition(*vol, Rec("x", 20, 512)), DataCondition::Overwritten);
}

TEST(FatWriterData, FreeClusterIndexGivesTheClusterByClusterLayout) {
    // A nearly full volume whose FAT copy ends before its last cluster, so
    // runs cross from indexed clusters into the ones past the copy.
    auto m = MiniFat::Fat16(1, 512, 4400, 4);
    uint32_t x = 2463534242u;
    const auto next = [&] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (uint32_t c = 2; c < 1024; ++c)
        if (next() % 10 != 0) m.setFat(c, 0xFFFF);
    auto vol = m.open();
    ASSERT_TRUE(vol->opened());
    std::vector<uint32_t> firsts{2, 500, 1000, 1023, 1024, 2000, vol->lastCluster() - 3, vol->lastCluster()};
    for (int i = 0; i < 200; ++i) firsts.push_back(2 + next() % (vol->lastCluster() - 1));
    for (uint32_t first : firsts)
        for (uint32_t size : {1u, 512u, 513u, 20000u, 600000u}) {
            const FatFoundFile rec = Rec("x", first, size);
            const FatDataLayout got = LocateFatFileData(*vol, rec);
            const FatDataLayout want = ClusterByCluster(*vol, rec);
            ASSERT_EQ(got.extents.size(), want.extents.size()) << first << " " << size;
            for (size_t k = 0; k < got.extents.size(); ++k) {
                EXPECT_EQ(got.extents[k].offset, want.extents[k].offset) << first << " " << size;
                EXPECT_EQ(got.extents[k].length, want.extents[k].length) << first << " " << size;
            }
            EXPECT_EQ(got.bytes, want.bytes);
            EXPECT_EQ(got.overwritten, want.overwritten);
            EXPECT_EQ(got.cutAtVolumeEnd, want.cutAtVolumeEnd) << first << " " << size;
        }
}

TEST(FatWriterRun, UncheckedFoldersNoSkipsCancelAndCreationFailures) {
    auto m = Volume();
    auto vol = m.open();
    FolderTree tree;
    FolderNode* root = tree.setRoot("FAT16 - Logical Disk (F:)");
    root->checked = true;
    root->data = std::make_unique<FatFolderFiles>();
    FolderNode* on = root->appendChild("On");
    on->checked = true;
    auto onFiles = std::make_unique<FatFolderFiles>();
    for (const char* n : {"one.txt", "two.txt", "three.txt"}) {
        auto r = std::make_unique<FatFoundFile>(Rec(n, 100, 10));
        r->selected = 1;
        onFiles->append(std::move(r));
    }
    onFiles->at(2)->selected = 0;
    on->data = std::move(onFiles);
    FolderNode* off = root->appendChild("Off");
    auto offFiles = std::make_unique<FatFolderFiles>();
    auto r = std::make_unique<FatFoundFile>(Rec("hidden.txt", 100, 10));
    r->selected = 1;
    offFiles->append(std::move(r));
    off->data = std::move(offFiles);
    EXPECT_EQ(CountSelectedFatFiles(tree), 2u);

    ProgressFields progress;
    {
        TempDir dest("run");
        std::filesystem::create_directories(dest.at("On"));
        { std::ofstream(dest.at("On/one.txt")) << "keep"; }
        ScriptedPrompt prompt;
        prompt.answers = {OverwriteAnswer::No};
        std::atomic<bool> running{true};
        const auto res = RecoverFatFiles(*vol, tree, dest.str(), prompt, progress, running);
        EXPECT_EQ(res.skipped, 1u);
        EXPECT_EQ(res.written, 1u);
        EXPECT_FALSE(res.cancelled);
        EXPECT_EQ(fattest::ReadWholeFile(dest.at("On/one.txt")).size(), 4u);
        EXPECT_FALSE(std::filesystem::exists(dest.at("On/three.txt")));
        EXPECT_FALSE(std::filesystem::exists(dest.at("Off")));
    }
    {
        TempDir dest("cancel");
        std::filesystem::create_directories(dest.at("On"));
        { std::ofstream(dest.at("On/one.txt")) << "keep"; }
        ScriptedPrompt prompt;
        prompt.answers = {OverwriteAnswer::Cancel};
        std::atomic<bool> running{true};
        const auto res = RecoverFatFiles(*vol, tree, dest.str(), prompt, progress, running);
        EXPECT_TRUE(res.cancelled);
        EXPECT_FALSE(running.load());
        EXPECT_FALSE(std::filesystem::exists(dest.at("On/two.txt")));
    }
    {
        // The folder to make is a file already: every file in it fails, once reported.
        TempDir dest("nofolder");
        { std::ofstream(dest.at("On")) << "a file"; }
        ScriptedPrompt prompt;
        std::atomic<bool> running{true};
        const auto res = RecoverFatFiles(*vol, tree, dest.str(), prompt, progress, running);
        EXPECT_EQ(res.failed, 2u);
        EXPECT_EQ(res.written, 0u);
        ASSERT_EQ(prompt.messages.size(), 1u);
        EXPECT_NE(prompt.messages[0].find("Can not create file 'On/one.txt'."), std::string::npos);
    }
}

TEST(FatWriterRun, FoldersBelowOneThatCannotBeMadeFailTheirFiles) {
    auto m = Volume();
    auto vol = m.open();
    FolderTree tree;
    FolderNode* root = tree.setRoot("FAT16 - Logical Disk (F:)");
    const auto folder = [](FolderNode* parent, const std::string& text, const char* file) {
        FolderNode* n = parent->appendChild(text);
        n->checked = true;
        auto files = std::make_unique<FatFolderFiles>();
        if (file) {
            auto r = std::make_unique<FatFoundFile>(Rec(file, 100, 10));
            r->selected = 1;
            files->append(std::move(r));
        }
        n->data = std::move(files);
        return n;
    };
    root->checked = true;
    FolderNode* blocked = folder(root, "Blocked", "a.txt");
    folder(folder(blocked, "Sub", nullptr), "Deeper", "b.txt");
    FolderNode* bare = blocked->appendChild("Bare");  // no list of its own: not made
    bare->checked = true;
    folder(bare, "Under", "c.txt");
    // 2100 levels of "d": the file at level 1000 fits in a path, the last does not.
    FolderNode* n = root;
    for (int level = 1; level <= 2100; ++level)
        n = folder(n, "d", level == 1000 ? "mid.txt" : level == 2100 ? "deep.txt" : nullptr);

    TempDir dest("blocked");
    { std::ofstream(dest.at("Blocked")) << "a file"; }
    ScriptedPrompt prompt;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto res = RecoverFatFiles(*vol, tree, dest.str(), prompt, progress, running);
    EXPECT_EQ(res.written, 1u);
    EXPECT_EQ(res.failed, 4u);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_NE(prompt.messages[0].find("Can not create file 'Blocked/a.txt'."), std::string::npos);
    EXPECT_NE(prompt.messages[0].find("Can not create file 'Blocked/Sub/Deeper/b.txt'."), std::string::npos);
    EXPECT_NE(prompt.messages[0].find("Can not create file 'Blocked/Bare/Under/c.txt'."), std::string::npos);
    EXPECT_NE(prompt.messages[0].find("/d/deep.txt'."), std::string::npos);
    std::string mid = dest.str();
    for (int level = 1; level <= 1000; ++level) mid += "/d";
    EXPECT_EQ(fattest::ReadWholeFile(mid + "/mid.txt").size(), 10u);
}

TEST(FatWriterRun, ThroughThePartitionRecordWithoutALetter) {
    auto m = Volume();
    const auto data = XorshiftBytes(42, 700);
    m.fill(200, data);
    // The volume sits at LBA 64 of a drive; the partition has no letter.
    std::vector<std::byte> disk(64 * 512, std::byte{0});
    disk.insert(disk.end(), m.bytes().begin(), m.bytes().end());
    auto& table = DeviceTable::Global();
    const int drive = table.addMemoryDrive(std::make_shared<MemoryDevice>(disk));
    PartitionRecord rec;
    rec.diskIndex = drive;
    rec.driveLetter = '*';
    rec.startSector = 64;
    rec.setFileSystem("FAT16");

    auto vol = OpenFatVolume(rec, 1);
    ASSERT_TRUE(vol->opened());
    std::vector<std::byte> head;
    ASSERT_EQ(ReadFatFileHead(*vol, Rec("p.bin", 200, 700), 100, head), kSuccess);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), data.begin()));
    EXPECT_EQ(head.size(), 100u);

    auto tree = TreeOf({Rec("p.bin", 200, 700)});
    TempDir dest("record");
    ScriptedPrompt prompt;
    ProgressFields progress;
    std::atomic<bool> running{true};
    const auto res = RecoverFatFiles(rec, 1, *tree, dest.str(), prompt, progress, running);
    EXPECT_EQ(res.written, 1u);
    EXPECT_TRUE(fattest::ReadWholeFile(dest.at("p.bin")) == data);

    PartitionRecord missing = rec;
    missing.diskIndex = 25;
    const auto bad = RecoverFatFiles(missing, 1, *tree, dest.str(), prompt, progress, running);
    EXPECT_NE(bad.deviceError, kSuccess);
    ASSERT_FALSE(prompt.messages.empty());
    EXPECT_EQ(prompt.messages.back(), kFatCannotOpenDevice);
    table.clear();
}

TEST(FatWriterPreview, PictureReadsAreCapped) {
    auto m = Volume();
    auto vol = m.open();
    // A hostile size: 4 GiB - 1 from a cluster near the start.
    std::vector<std::byte> out;
    FatDataLayout layout;
    ASSERT_EQ(ReadFatFileHead(*vol, Rec("big.jpg", 2, 0xFFFFFFFFu), UINT64_MAX, out, &layout), kSuccess);
    EXPECT_TRUE(layout.cutAtVolumeEnd);
    EXPECT_LE(out.size(), kMaxPicturePreviewBytes);
    EXPECT_EQ(out.size(), layout.bytes);
}

}  // namespace
}  // namespace vantor
