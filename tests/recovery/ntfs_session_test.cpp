// The NTFS engine behind the generic front ends: the session on a volume
// built in memory.
#include "recovery/ntfs_session.h"

#include "recovery/engine_registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "disk/disk_inventory.h"
#include "disk/volume_mount.h"
#include "ntfs/ntfs_image_writer.h"
#include "platform/device_table.h"
#include "platform/time_util.h"
#include "support/scratch_dir.h"

#include <unistd.h>

namespace vantor {
namespace {

namespace fs = std::filesystem;
using ntfstest::Bytes;
using ntfstest::RecordBuilder;
using ntfstest::Utf16;
using ntfstest::VolumeWriter;

class ScriptedPrompt : public UserPrompt {
public:
    std::vector<std::string> messages;
    OverwriteAnswer answer = OverwriteAnswer::Yes;
    int asked = 0;
    void message(const std::string& text, const std::string&, MessageIcon) override { messages.push_back(text); }
    OverwriteAnswer confirmOverwrite(const std::string&) override {
        ++asked;
        return answer;
    }
    bool confirm(const std::string&, const std::string&) override { return false; }
};

using test::ReadWholeFile;

std::string AsString(const Bytes& b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }

using TempDir = test::ScratchDir;

// A small volume at sector 2048 of a memory drive: a deleted folder Docs
// (record 40) holding a resident a.txt (41) and a 5000-byte b.bin (42), a
// deleted top.txt (43) at the root, a live live.txt (44), and a deleted
// c.txt (45) whose parent record 46 now holds a file, and a second deleted
// Docs (47) with d.txt (48).
class NtfsSessionTest : public ::testing::Test {
protected:
    static constexpr uint32_t kStart = 2048;
    static constexpr uint32_t kCluster = 4096;
    static constexpr uint64_t kSectors = 8192;

    void SetUp() override {
        auto dev = std::make_shared<MemoryDevice>(Bytes((kStart + kSectors) * 512), true);
        VolumeWriter w(*dev, uint64_t{kStart} * 512, kSectors, kCluster, 4, 64);
        w.writeBoot();
        w.writeSystemRecords();
        const uint64_t t = UnixToFileTime(1700000000);
        auto rec = [&](uint32_t n, bool inUse, bool folder) { return RecordBuilder(1024, n, inUse, folder); };
        w.writeRecord(40, rec(40, false, true)
                              .standardInfo(t, t, t, 0x10)
                              .fileName(5, u"Docs", 0x10000000)
                              .build());
        w.writeRecord(41, rec(41, false, false)
                              .standardInfo(t, t, t, 0x20)
                              .fileName(40, u"a.txt", 0x20)
                              .residentData(ntfstest::ToBytes(kAText))
                              .build());
        const uint64_t lcn = w.firstFreeLcn();
        bData_ = ntfstest::Pattern(5000, 4242);
        Bytes clusters(2 * kCluster);
        std::copy(bData_.begin(), bData_.end(), clusters.begin());
        w.writeCluster(lcn, clusters);
        w.writeRecord(42, rec(42, false, false)
                              .standardInfo(t, t, t, 0x20)
                              .fileName(40, u"b.bin", 0x20)
                              .nonResidentData({{static_cast<int64_t>(lcn), 2}}, 5000, kCluster)
                              .build());
        w.writeRecord(43, rec(43, false, false)
                              .standardInfo(t, t, t, 0x22)
                              .fileName(5, u"top.txt", 0x20)
                              .residentData(ntfstest::ToBytes("top\n"))
                              .build());
        w.writeRecord(44, rec(44, true, false)
                              .standardInfo(t, t, t, 0x20)
                              .fileName(5, u"live.txt", 0x20)
                              .residentData(ntfstest::ToBytes("live\n"))
                              .build());
        w.writeRecord(45, rec(45, false, false)
                              .standardInfo(t, t, t, 0x20)
                              .fileName(46, u"c.txt", 0x20)
                              .residentData(ntfstest::ToBytes("orphan\n"))
                              .build());
        w.writeRecord(46, rec(46, true, false)
                              .standardInfo(t, t, t, 0x20)
                              .fileName(5, u"reused.txt", 0x20)
                              .build());

        // A second deleted Docs folder, another record: a sibling node.
        w.writeRecord(47, rec(47, false, true)
                              .standardInfo(t, t, t, 0x10)
                              .fileName(5, u"Docs", 0x10000000)
                              .build());
        w.writeRecord(48, rec(48, false, false)
                              .standardInfo(t, t, t, 0x20)
                              .fileName(47, u"d.txt", 0x20)
                              .residentData(ntfstest::ToBytes("second docs\n"))
                              .build());

        DeviceTable::Global().clear();
        const int drive = DeviceTable::Global().addMemoryDrive(dev);
        record_.diskIndex = drive;
        record_.driveLetter = '*';
        record_.startSector = kStart;
        record_.totalBytes = kSectors * 512;
        record_.setFileSystem("NTFS");
        state_.selectPartition(record_);
    }
    void TearDown() override { DeviceTable::Global().clear(); }

    std::unique_ptr<EngineSession> scanned(ScanKind kind = ScanKind::Deleted) {
        auto session = CreateEngineSession(record_);
        EXPECT_NE(session, nullptr);
        if (!session) return session;
        std::atomic<bool> running{true};
        EXPECT_EQ(session->scan(kind, state_, running), kSuccess);
        return session;
    }
    const FoundEntry* find(const std::vector<FoundEntry>& entries, const std::string& name) {
        for (const auto& e : entries)
            if (e.name == name) return &e;
        return nullptr;
    }

    static constexpr const char* kAText = "resident text in a deleted folder\n";
    Bytes bData_;
    PartitionRecord record_;
    AppState state_;
};

TEST_F(NtfsSessionTest, DeletedScanListsEveryDeletedFileWithItsFolder) {
    auto session = scanned();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->engineName(), "NTFS");
    EXPECT_EQ(session->tree().root()->text, "NTFS - Logical Disk (*:)");
    const auto entries = session->entries();
    ASSERT_EQ(entries.size(), 5u);
    const FoundEntry* a = find(entries, "a.txt");
    const FoundEntry* b = find(entries, "b.bin");
    const FoundEntry* top = find(entries, "top.txt");
    const FoundEntry* c = find(entries, "c.txt");
    ASSERT_TRUE(a && b && top && c);
    EXPECT_EQ(find(entries, "live.txt"), nullptr);
    EXPECT_EQ(a->folderPath, "Docs");
    EXPECT_EQ(a->id, "41");
    EXPECT_EQ(a->extra.at("record"), "41");
    EXPECT_EQ(a->extra.at("path"), "Docs/a.txt");
    EXPECT_EQ(a->extra.at("deleted"), "true");
    EXPECT_EQ(b->size, 5000u);
    EXPECT_EQ(b->sizeText, "4.9KB");
    EXPECT_EQ(top->folderPath, "");
    EXPECT_EQ(top->attributes, "H-A-Del-");
    EXPECT_TRUE(top->deleted);
    // The parent record holds a file now: a made-up folder under the bucket.
    EXPECT_EQ(c->folderPath.rfind("Lost Files0/Dir", 0), 0u) << c->folderPath;
    // The deleted folder counts among the found items, though it is not listed.
    EXPECT_EQ(state_.progress.text(), "Found Deleted Files : 7");
    // Same-named folders get paths of their own.
    ASSERT_NE(find(entries, "d.txt"), nullptr);
    EXPECT_EQ(find(entries, "d.txt")->folderPath, "Docs (2)");
}

TEST_F(NtfsSessionTest, TickedFolderComesBackWithItsPath) {
    auto session = scanned();
    ASSERT_TRUE(session);
    EXPECT_TRUE(session->setChecked("Docs", true));
    EXPECT_TRUE(session->setChecked("43", true));
    EXPECT_FALSE(session->setChecked("no/such/folder", true));
    TempDir dest;
    ScriptedPrompt prompt;
    std::atomic<bool> running{true};
    RecoveryOutcome out = session->recover(dest.path().string(), prompt, state_, running);
    EXPECT_EQ(out.written, 3u);
    EXPECT_EQ(out.failed, 0u);
    EXPECT_FALSE(out.cancelled);
    EXPECT_EQ(ReadWholeFile(dest.path() / "Docs" / "a.txt"), kAText);
    EXPECT_EQ(ReadWholeFile(dest.path() / "Docs" / "b.bin"), AsString(bData_));
    EXPECT_EQ(ReadWholeFile(dest.path() / "top.txt"), "top\n");
    EXPECT_FALSE(fs::exists(dest.path() / "Lost Files0"));
    EXPECT_FALSE(fs::exists(dest.path() / "Docs" / "d.txt")) << "the other Docs was not ticked";

    // A second run asks before replacing; No leaves each file alone.
    prompt.answer = OverwriteAnswer::No;
    out = session->recover(dest.path().string(), prompt, state_, running);
    EXPECT_EQ(prompt.asked, 3);
    EXPECT_EQ(out.written, 0u);
    EXPECT_EQ(out.skipped, 3u);
}

TEST_F(NtfsSessionTest, NothingTickedIsRefusedWithTheNotice) {
    auto session = scanned();
    ASSERT_TRUE(session);
    TempDir dest;
    ScriptedPrompt prompt;
    std::atomic<bool> running{true};
    RecoveryOutcome out = session->recover(dest.path().string(), prompt, state_, running);
    EXPECT_EQ(out.written, 0u);
    EXPECT_TRUE(out.refused);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], "Please select file to recover!");
    EXPECT_TRUE(fs::is_empty(dest.path()));
}

TEST_F(NtfsSessionTest, PageFilterNarrowsTheEntries) {
    auto session = scanned();
    ASSERT_TRUE(session);
    session->pageFilter().namePart = "TXT";
    session->setFilterEnabled(true);
    EXPECT_EQ(session->entries().size(), 4u);
    session->setFilterEnabled(false);
    EXPECT_EQ(session->entries().size(), 5u);
}

TEST_F(NtfsSessionTest, PreviewDumpsTheHeadOfAFile) {
    auto session = scanned();
    ASSERT_TRUE(session);
    auto* ntfs = dynamic_cast<NtfsSession*>(session.get());
    ASSERT_NE(ntfs, nullptr);
    const NtfsFoundItem* b = nullptr;
    for (const auto& it : ntfs->volume().foundItems())
        if (it->nameText() == "b.bin") b = it.get();
    ASSERT_NE(b, nullptr);
    NtfsPreview preview;
    ASSERT_EQ(LoadNtfsPreview(ntfs->volume(), *b, preview), kSuccess);
    EXPECT_EQ(preview.kind, PreviewKind::Dump);
    ASSERT_EQ(preview.data.size(), 512u);
    EXPECT_TRUE(std::equal(preview.data.begin(), preview.data.end(), bData_.begin()));
    EXPECT_EQ(preview.dump, DumpText(preview.data));
}

TEST_F(NtfsSessionTest, FormattedScanListsLiveAndDeletedRecords) {
    auto session = scanned(ScanKind::Formatted);
    ASSERT_TRUE(session);
    const auto entries = session->entries();
    ASSERT_NE(find(entries, "live.txt"), nullptr);
    ASSERT_NE(find(entries, "a.txt"), nullptr);
    EXPECT_FALSE(find(entries, "live.txt")->deleted);
    EXPECT_EQ(find(entries, "a.txt")->folderPath, "Docs");
}

TEST_F(NtfsSessionTest, AStoppedScanEndsWithAnEmptyTree) {
    auto session = CreateEngineSession(record_);
    ASSERT_TRUE(session);
    std::atomic<bool> running{false};
    session->scan(ScanKind::Deleted, state_, running);
    EXPECT_TRUE(session->entries().empty());
    EXPECT_NE(session->tree().root(), nullptr);
}

TEST(NtfsSessionDestination, TheScannedBytesAreThePartitionsWithOrWithoutALetter) {
    // An image file whose NTFS volume starts 2 MiB in and is mounted as X:.
    TempDir dir;
    const std::string image = (dir.path() / "disk.img").string();
    constexpr uint64_t kMiB = uint64_t{1} << 20;
    ntfstest::AttachImageWithVolumeX(image);
    for (char letter : {'X', '*'}) {
        PartitionRecord record;
        record.diskIndex = 0;
        record.driveLetter = letter;
        record.startSector = 4096;
        record.totalBytes = 2 * kMiB;
        record.setFileSystem("NTFS");
        AppState state;
        state.selectPartition(record);
        NtfsSession session(record);
        std::atomic<bool> running{true};
        ASSERT_EQ(session.scan(ScanKind::Deleted, state, running), kSuccess) << letter;
        const NtfsVolumeExtent e = session.volume().scannedExtent();
        EXPECT_EQ(e.path, image) << letter;
        EXPECT_EQ(e.startByte, 2 * kMiB) << letter;
        EXPECT_EQ(e.lengthBytes, 2 * kMiB) << letter;
    }
    DeviceTable::Global().clear();
}

TEST_F(NtfsSessionTest, ANonNtfsPartitionIsReported) {
    record_.startSector = 0;  // the empty space before the volume
    auto session = CreateEngineSession(record_);
    ASSERT_TRUE(session);
    std::atomic<bool> running{true};
    EXPECT_NE(session->scan(ScanKind::Deleted, state_, running), kSuccess);
    EXPECT_TRUE(session->entries().empty());
}

}  // namespace
}  // namespace vantor
