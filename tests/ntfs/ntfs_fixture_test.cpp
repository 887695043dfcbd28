// The engine against volumes made by mkntfs and the ntfs-3g tools.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "ntfs/ntfs_scan.h"

#include <atomic>
#include "platform/block_device.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

std::vector<std::byte> Xorshift(uint32_t seed, size_t n) {
    std::vector<std::byte> out;
    uint32_t x = seed;
    while (out.size() < n) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        for (int i = 0; i < 4 && out.size() < n; ++i) out.push_back(std::byte((x >> (8 * i)) & 0xFF));
    }
    return out;
}

std::string NumberedLines(const std::string& tag, int lines) {
    std::string s;
    char line[160];
    for (int i = 1; i <= lines; ++i) {
        std::snprintf(line, sizeof(line), "%s line %04d: the quick brown fox jumps over the lazy dog\n", tag.c_str(), i);
        s += line;
    }
    return s;
}

std::vector<std::byte> Text(const std::string& s) {
    std::vector<std::byte> b(s.size());
    std::memcpy(b.data(), s.data(), s.size());
    return b;
}

std::shared_ptr<FileDevice> OpenFixture(const char* name) {
    std::shared_ptr<FileDevice> dev;
    const std::string path = std::string(VANTOR_FIXTURE_DIR) + "/" + name;
    if (FileDevice::open(path, false, dev) != kSuccess) return nullptr;
    return dev;
}

const NtfsFoundItem* Find(const CNtfsVolume& v, const std::string& name) {
    for (const auto& item : v.foundItems())
        if (item->nameText() == name) return item.get();
    return nullptr;
}

TEST(NtfsSampleDisk, LiveFilesOfTheSampleVolumeComeBackExactly) {
    auto dev = OpenFixture("sample-disk.img");
    ASSERT_NE(dev, nullptr) << "fixture sample-disk.img missing";
    CNtfsVolume v;
    v.AttachDevice(dev);
    v.SetPartitionStart(83968, 512);
    v.m_bRunning = true;
    ASSERT_EQ(v.ScanDeletedRecords(), 0);
    EXPECT_TRUE(v.foundItems().empty());  // no deleted file on it
    EXPECT_EQ(v.clusterSize(), 4096u);
    EXPECT_EQ(v.recordSize(), 1024u);
    EXPECT_EQ(v.mftLcn(), 4u);

    CNtfsVolume f;
    f.AttachDevice(dev);
    f.SetPartitionStart(83968, 512);
    f.SetScanRange(0, 32768);
    f.m_bRunning = true;
    ASSERT_EQ(f.ScanFormatted(), 0);
    const NtfsFoundItem* readme = Find(f, "readme.txt");
    const NtfsFoundItem* longName = Find(f, "NTFS long name file.txt");
    const NtfsFoundItem* blob = Find(f, "blob.bin");
    ASSERT_NE(readme, nullptr);
    ASSERT_NE(longName, nullptr);
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(readme->recordIndex, 64u);
    EXPECT_EQ(longName->recordIndex, 65u);
    EXPECT_EQ(blob->recordIndex, 66u);
    EXPECT_EQ(readme->size, 28u);
    EXPECT_EQ(longName->size, 3900u);
    EXPECT_EQ(blob->size, 20000u);
    EXPECT_EQ(readme->deleted, 0);
    EXPECT_TRUE(readme->pathNames.empty());

    std::vector<std::byte> data;
    ASSERT_EQ(f.ReadItemData(*readme, data), kSuccess);
    EXPECT_EQ(data, Text("Vantor sample NTFS volume.\r\n"));
    ASSERT_EQ(f.ReadItemData(*longName, data), kSuccess);
    EXPECT_EQ(data, Text(NumberedLines("ntfs-long", 60)));
    ASSERT_EQ(f.ReadItemData(*blob, data), kSuccess);
    EXPECT_EQ(data, Xorshift(4242, 20000));
}

// ntfs-deleted.img / ntfs-formatted.img: see tests/fixtures/README.md.
constexpr uint32_t kVolumeStart = 2048;

struct Expected {
    const char* name;
    const char* path;  // folders below the root, "/"-joined
    uint32_t record;
    uint64_t size;
    std::vector<std::byte> content;
};

std::vector<Expected> DeletedFiles() {
    return {
        {"gone-deep.txt", "docs/nested/deeper", 71, 6500, Text(NumberedLines("deep-gone", 100))},
        {"small-gone.txt", "", 72, 396, Text(NumberedLines("small-gone", 6))},
        {"big-gone.txt", "", 73, 4540001, Text(NumberedLines("big-gone", 70000))},
        {"compressed-gone.txt", "packed", 74, 268000, Text(NumberedLines("packed-gone", 4000))},
        {"a.txt", "olddir", 75, 256, Text(NumberedLines("olddir-a", 4))},
        {"b.bin", "olddir", 76, 20000, Xorshift(2024, 20000)},
        {"frag-gone.txt", "", 79, 390000, Text(NumberedLines("frag-gone", 6000))},
    };
}

std::string PathOf(const NtfsFoundItem& item) {
    std::string path;
    for (auto it = item.pathNames.rbegin(); it != item.pathNames.rend(); ++it) path += (path.empty() ? "" : "/") + *it;
    return path;
}

std::vector<std::byte> Slurp(const fs::path& p) {
    std::FILE* f = std::fopen(p.c_str(), "rb");
    std::vector<std::byte> out;
    if (f == nullptr) return out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
        out.insert(out.end(), reinterpret_cast<std::byte*>(buf), reinterpret_cast<std::byte*>(buf) + n);
    std::fclose(f);
    return out;
}

class AnswerYes : public UserPrompt {
public:
    void message(const std::string& text, const std::string&, MessageIcon) override { messages.push_back(text); }
    OverwriteAnswer confirmOverwrite(const std::string&) override { return OverwriteAnswer::Yes; }
    bool confirm(const std::string&, const std::string&) override { return true; }
    std::vector<std::string> messages;
};

TEST(NtfsRealToolFixture, DeletedScanFindsEveryDeletedFileWithItsFolderPath) {
    auto dev = OpenFixture("ntfs-deleted.img");
    ASSERT_NE(dev, nullptr) << "fixture ntfs-deleted.img missing";
    CNtfsVolume v;
    v.AttachDevice(dev);
    v.SetPartitionStart(kVolumeStart, 512);
    v.m_bRunning = true;
    ASSERT_EQ(v.ScanDeletedRecords(), 0);
    EXPECT_EQ(v.recordCount(0), 91u);
    // The seven files, the deleted folder olddir, five deleted pads and the filler.
    EXPECT_EQ(v.foundItems().size(), 14u);
    const NtfsFoundItem* olddir = Find(v, "olddir");
    ASSERT_NE(olddir, nullptr);
    EXPECT_TRUE(olddir->isFolder());
    EXPECT_EQ(Find(v, "readme.txt"), nullptr);  // live files are not listed

    const fs::path dest = fs::temp_directory_path() / ("ntfs-fixture-" + std::to_string(::getpid()));
    fs::remove_all(dest);
    fs::create_directories(dest);
    for (const Expected& e : DeletedFiles()) {
        SCOPED_TRACE(e.name);
        const NtfsFoundItem* item = Find(v, e.name);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->recordIndex, e.record);
        EXPECT_EQ(item->size, e.size);
        EXPECT_EQ(item->deleted, 1);
        EXPECT_EQ(PathOf(*item), e.path);
        EXPECT_EQ(item->condition, DataCondition::Intact);
        v.AddToSelection(const_cast<NtfsFoundItem*>(item));
        std::vector<std::byte> data;
        ASSERT_EQ(v.ReadItemData(*item, data), kSuccess);
        EXPECT_TRUE(data == e.content);
    }
    EXPECT_EQ(Find(v, "compressed-gone.txt")->attributes & 0x800u, 0x800u);

    AnswerYes prompt;
    std::atomic<bool> go{true};
    const NtfsRecoveryReport report = v.RecoverSelection(dest.string(), prompt, go);
    EXPECT_EQ(report.written, 7u);
    EXPECT_TRUE(report.summary.empty()) << report.summary;
    for (const Expected& e : DeletedFiles()) {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(Slurp(dest / e.path / e.name) == e.content);
    }
    fs::remove_all(dest);
}

TEST(NtfsRealToolFixture, FormattedScanListsTheOldMftsFiles) {
    auto dev = OpenFixture("ntfs-formatted.img");
    ASSERT_NE(dev, nullptr) << "fixture ntfs-formatted.img missing";
    CNtfsVolume v;
    v.AttachDevice(dev);
    v.SetPartitionStart(kVolumeStart, 512);
    v.SetScanRange(0, 65536);
    v.m_bRunning = true;
    ASSERT_EQ(v.ScanFormatted(), 0);
    EXPECT_EQ(v.recordCount(0), 27u);  // the new MFT
    EXPECT_EQ(v.recordCount(1), 27u);  // old records 64..90
    EXPECT_EQ(v.formattedFoundCount(), 54u);
    for (const Expected& e : DeletedFiles()) {
        SCOPED_TRACE(e.name);
        const NtfsFoundItem* item = Find(v, e.name);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->imageIndex, 1);
        EXPECT_EQ(item->recordNumber, e.record);
        EXPECT_EQ(PathOf(*item), *e.path == 0 ? std::string("Lost Files1") : "Lost Files1/" + std::string(e.path));
        EXPECT_EQ(item->condition, DataCondition::Intact);  // nothing new was written after the format
        std::vector<std::byte> data;
        ASSERT_EQ(v.ReadItemData(*item, data), kSuccess);
        EXPECT_TRUE(data == e.content);
    }
    const NtfsFoundItem* live = Find(v, "big-live.txt");
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(PathOf(*live), "Lost Files1/docs");
    std::vector<std::byte> data;
    ASSERT_EQ(v.ReadItemData(*live, data), kSuccess);
    EXPECT_TRUE(data == Text(NumberedLines("big-live", 50000)));
}

// ntfs-overwritten.img: live files took all of whole-gone.bin's clusters and
// half of part-gone.bin's; the rest of the deleted files are untouched.
TEST(NtfsRealToolFixture, DeletedFilesWhoseClustersLiveFilesTookAreToldSo) {
    auto dev = OpenFixture("ntfs-overwritten.img");
    ASSERT_NE(dev, nullptr) << "fixture ntfs-overwritten.img missing";
    const struct {
        const char* name;
        DataCondition condition;
    } kExpected[] = {{"keep-gone.txt", DataCondition::Intact},
                     {"small-gone.txt", DataCondition::Intact},  // resident
                     {"whole-gone.bin", DataCondition::Overwritten},
                     {"part-gone.bin", DataCondition::PartlyOverwritten},
                     {"taker-whole.bin", DataCondition::Intact}};  // live: the formatted scan lists it
    for (const bool formatted : {false, true}) {
        SCOPED_TRACE(formatted);
        CNtfsVolume v;
        v.AttachDevice(dev);
        v.SetPartitionStart(kVolumeStart, 512);
        v.SetScanRange(0, 16384);
        v.m_bRunning = true;
        ASSERT_EQ(formatted ? v.ScanFormatted() : v.ScanDeletedRecords(), 0);
        for (const auto& e : kExpected) {
            SCOPED_TRACE(e.name);
            const NtfsFoundItem* item = Find(v, e.name);
            if (!formatted && e.condition == DataCondition::Intact && std::string(e.name).rfind("taker", 0) == 0) {
                EXPECT_EQ(item, nullptr);
                continue;
            }
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->condition, e.condition);
            if (!formatted) v.AddToSelection(const_cast<NtfsFoundItem*>(item));
        }
        if (formatted) continue;
        // Recovery writes all four and says which did not come back.
        const fs::path dest = fs::temp_directory_path() / ("ntfs-overwritten-" + std::to_string(::getpid()));
        fs::remove_all(dest);
        fs::create_directories(dest);
        AnswerYes prompt;
        std::atomic<bool> go{true};
        const NtfsRecoveryReport report = v.RecoverSelection(dest.string(), prompt, go);
        EXPECT_EQ(report.written, 2u);
        EXPECT_EQ(report.failed, 2u);
        EXPECT_EQ(report.summary,
                  "Can not recovery file 'whole-gone.bin': overwritten.\n"
                  "Can not recovery file 'part-gone.bin': partly overwritten.\n");
        EXPECT_EQ(fs::file_size(dest / "whole-gone.bin"), 65536u);
        EXPECT_TRUE(Slurp(dest / "keep-gone.txt") == Text(NumberedLines("keep-gone", 500)));
        fs::remove_all(dest);
    }
}

}  // namespace
}  // namespace vantor
