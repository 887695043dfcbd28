// The engine against volumes made by mkntfs and the ntfs-3g tools.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "ntfs/ntfs_scan.h"
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

}  // namespace
}  // namespace vantor
