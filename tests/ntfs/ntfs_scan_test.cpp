#include "ntfs/ntfs_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "ntfs/ntfs_image_writer.h"
#include "platform/device_table.h"
#include "platform/output_file.h"

namespace vantor {
namespace {

using namespace ntfstest;
namespace fs = std::filesystem;

constexpr uint32_t kCs = 4096;
constexpr uint32_t kRs = 1024;
constexpr uint32_t kFolder = 0x10000000;

class RecordingSink : public NtfsItemSink {
public:
    void onFoundItem(NtfsFoundItem* item, uint32_t index) override {
        seen.push_back(item->nameText());
        indices.push_back(index);
        placedBeforeNext = placedBeforeNext && item->nameText()[0] != 0;
    }
    std::vector<std::string> seen;
    std::vector<uint32_t> indices;
    bool placedBeforeNext = true;
};

class ScriptedPrompt : public UserPrompt {
public:
    void message(const std::string& text, const std::string& caption, MessageIcon) override {
        messages.push_back(caption + ": " + text);
    }
    OverwriteAnswer confirmOverwrite(const std::string& name) override {
        asked.push_back(name);
        if (answers.empty()) return OverwriteAnswer::No;
        OverwriteAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    bool confirm(const std::string&, const std::string&) override { return true; }
    std::vector<std::string> messages;
    std::vector<std::string> asked;
    std::deque<OverwriteAnswer> answers;
};

// A 1 MiB volume at partition byte 0: MFT of 64 records at LCN 4, data from
// LCN 40, and the folder layout the scan tests expect.
struct TestVolume {
    std::shared_ptr<MemoryDevice> dev = std::make_shared<MemoryDevice>(Bytes(256 * kCs), true);
    VolumeWriter w{*dev, 0, 256 * 8, kCs, 4, 64, kRs};
    Bytes deep = Pattern(5000, 11);
    Bytes resident = Bytes(300, std::byte{'r'});

    void file(uint32_t n, uint64_t parent, const std::string& name, bool inUse, uint32_t flags = 0x20) {
        RecordBuilder b(kRs, n, inUse);
        b.standardInfo(0x01D0000000000000ull, 0x01D0000000000000ull, 0, flags).fileName(parent, Utf16(name), flags);
        b.residentData(Bytes(10, std::byte{'x'}));
        w.writeRecord(n, b.build());
    }
    void folder(uint32_t n, uint64_t parent, const std::string& name, bool inUse) {
        RecordBuilder b(kRs, n, inUse, true);
        b.standardInfo(0, 0, 0, 0x10).fileName(parent, Utf16(name), kFolder | 0x10);
        w.writeRecord(n, b.build());
    }

    TestVolume() {
        w.writeBoot();
        w.writeSystemRecords();
        folder(30, 5, "A", true);
        folder(31, 30, "B", false);
        RecordBuilder d(kRs, 32, false);
        d.standardInfo(0, 0, 0, 0x20).fileName(31, u"deep.txt", 0x20).nonResidentData({{40, 2}}, 5000, kCs);
        w.writeRecord(32, d.build());
        w.writeCluster(40, deep);
        RecordBuilder r(kRs, 33, false);
        r.standardInfo(0, 0, 0, 0x20).fileName(5, u"root.txt", 0x20).residentData(resident);
        w.writeRecord(33, r.build());
        file(34, 5, "live.txt", true);
        file(35, 36, "orphan.txt", false);  // its parent record now holds a file
        file(36, 5, "reused.txt", true);
        file(37, 1000, "far.txt", false);   // parent beyond the MFT
        folder(38, 5, "Gone", false);
        file(39, 38, "one.jpg", false);
        file(40, 38, "two.doc", false);
        file(41, 31, "loop?.txt", false);
        // Two live folders that name each other as parent: a hostile loop.
        folder(42, 43, "L1", true);
        folder(43, 42, "L2", true);
        file(44, 42, "cycle.txt", false);
    }
};

std::vector<std::string> Path(const NtfsFoundItem& item) { return item.pathNames; }

const NtfsFoundItem* Find(const CNtfsVolume& v, const std::string& name) {
    for (const auto& item : v.foundItems())
        if (item->nameText() == name) return item.get();
    return nullptr;
}

class NtfsScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        volume.AttachDevice(image.dev);
        volume.SetPartitionStart(0, 512);
        volume.SetSink(&sink);
        volume.SetProgress(&progress);
        volume.m_bRunning = true;
        dest = fs::temp_directory_path() / ("ntfs-scan-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dest);
        fs::create_directories(dest);
    }
    void TearDown() override { fs::remove_all(dest); }

    TestVolume image;
    CNtfsVolume volume;
    RecordingSink sink;
    ProgressFields progress;
    ScriptedPrompt prompt;
    fs::path dest;
};

TEST_F(NtfsScanTest, DeletedScanListsDeletedRecordsWithTheirFolderPaths) {
    ASSERT_EQ(volume.ScanDeletedRecords(), 0);
    EXPECT_EQ(volume.recordCount(0), 64u);
    const std::vector<std::string> expected = {"B", "deep.txt", "root.txt", "orphan.txt", "far.txt",
                                               "Gone", "one.jpg", "two.doc", "loop_.txt", "cycle.txt"};
    EXPECT_EQ(sink.seen, expected);
    for (uint32_t i = 0; i < sink.indices.size(); ++i) EXPECT_EQ(sink.indices[i], i);
    EXPECT_EQ(Find(volume, "live.txt"), nullptr);  // in use: never listed

    const NtfsFoundItem* deep = Find(volume, "deep.txt");
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(Path(*deep), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(deep->pathRecords, (std::vector<uint32_t>{31, 30}));
    EXPECT_EQ(deep->size, 5000u);
    EXPECT_EQ(deep->recordIndex, 32u);
    EXPECT_EQ(deep->deleted, 1);
    EXPECT_EQ(deep->selected, 0);

    EXPECT_TRUE(Find(volume, "root.txt")->pathNames.empty());
    const NtfsFoundItem* orphan = Find(volume, "orphan.txt");
    EXPECT_EQ(Path(*orphan), (std::vector<std::string>{"Dir0", "Lost Files0"}));
    EXPECT_EQ(orphan->pathRecords, (std::vector<uint32_t>{36, 1}));
    EXPECT_EQ(Path(*Find(volume, "far.txt")), (std::vector<std::string>{"Dir1", "Lost Files0"}));
    EXPECT_EQ(Find(volume, "far.txt")->pathRecords, (std::vector<uint32_t>{1000, 1}));
    const NtfsFoundItem* gone = Find(volume, "Gone");
    EXPECT_TRUE(gone->isFolder());
    EXPECT_TRUE(gone->pathNames.empty());  // folders get no path
    EXPECT_EQ(Path(*Find(volume, "one.jpg")), std::vector<std::string>{"Gone"});
    EXPECT_EQ(progress.m_nProgressTotal.load(), 64u);
    // The loop is walked once around and no further.
    EXPECT_EQ(Path(*Find(volume, "cycle.txt")), (std::vector<std::string>{"L1", "L2"}));
    EXPECT_EQ(progress.text(), "Found Deleted Files : 10");
}

TEST_F(NtfsScanTest, NameAndFolderFilters) {
    volume.SetFilters("  jpg; doc ", "");
    ASSERT_EQ(volume.ScanDeletedRecords(), 0);
    EXPECT_EQ(sink.seen, (std::vector<std::string>{"one.jpg", "two.doc"}));

    NtfsFoundItem item;
    item.setName("zebra.txt");
    volume.SetFilters("a*z", "");
    EXPECT_TRUE(volume.MatchNameAndFolder(item));
    volume.SetFilters("*.*", "");
    EXPECT_TRUE(volume.MatchNameAndFolder(item));
    volume.SetFilters(",;  q*x", "");
    EXPECT_FALSE(volume.MatchNameAndFolder(item));
    item.setName("a.JPG");
    volume.SetFilters("jpg; doc", "");
    EXPECT_TRUE(volume.MatchNameAndFolder(item));

    item.pathNames = {"B", "A"};
    volume.SetFilters("", "C:\\A\\B\\");
    EXPECT_TRUE(volume.MatchNameAndFolder(item));
    volume.SetFilters("", "C:\\A\\C");
    EXPECT_FALSE(volume.MatchNameAndFolder(item));
    volume.SetFilters("", "C:\\");
    item.pathNames.clear();
    EXPECT_TRUE(volume.MatchNameAndFolder(item));
    volume.SetFilters("", "C:\\A");
    EXPECT_FALSE(volume.MatchNameAndFolder(item));
}

TEST_F(NtfsScanTest, ModeAndCriteriaFilters) {
    volume.SetScanCriteria(3, FilterCriteria{});
    ASSERT_EQ(volume.ScanDeletedRecords(), 0);
    EXPECT_EQ(sink.seen, std::vector<std::string>{"one.jpg"});

    CNtfsVolume other;
    other.AttachDevice(image.dev);
    other.m_bRunning = true;
    FilterCriteria c;
    c.sizeMode = kSizeLarger;
    c.minSizeKB = 1;  // only deep.txt (5000 bytes) is larger than 1 KB
    other.SetScanCriteria(0, c);
    ASSERT_EQ(other.ScanDeletedRecords(), 0);
    ASSERT_EQ(other.foundItems().size(), 1u);
    EXPECT_EQ(other.foundItems()[0]->nameText(), "deep.txt");
}

TEST_F(NtfsScanTest, StopFlagEndsTheScanAndAMissingBootSectorGivesNoImage) {
    volume.m_bRunning = false;
    EXPECT_EQ(volume.ScanDeletedRecords(), 0);
    EXPECT_TRUE(volume.foundItems().empty());

    auto blank = std::make_shared<MemoryDevice>(Bytes(64 * 1024));
    CNtfsVolume empty;
    empty.AttachDevice(blank);
    empty.m_bRunning = true;
    EXPECT_EQ(empty.ScanDeletedRecords(), -1);
    Bytes boot(512);
    EXPECT_EQ(empty.CheckBootSector(boot), kErrInvalidDrive);
    EXPECT_FALSE(empty.isNtfs());
}

// Reads pass through; the read of MFT record 0 also stops the scan, as a
// Cancel pressed while the MFT loads.
class StopAtMftDevice final : public BlockDevice {
public:
    StopAtMftDevice(DevicePtr inner, uint64_t mftByte, std::atomic<bool>& running)
        : inner_(std::move(inner)), mftByte_(mftByte), running_(running) {}
    uint64_t size() const override { return inner_->size(); }
    ErrorCode readAt(uint64_t offset, MutableByteSpan buf) override {
        if (offset == mftByte_ && buf.size() == kRs) running_ = false;
        else if (!running_) ++readsAfterStop;
        return inner_->readAt(offset, buf);
    }
    ErrorCode writeAt(uint64_t, ByteSpan) override { return kErrAccessDenied; }
    bool writable() const override { return false; }
    int readsAfterStop = 0;

private:
    DevicePtr inner_;
    uint64_t mftByte_;
    std::atomic<bool>& running_;
};

TEST_F(NtfsScanTest, AStopWhileTheMftLoadsEndsTheScanBeforeTheMftIsRead) {
    CNtfsVolume v;
    auto dev = std::make_shared<StopAtMftDevice>(image.dev, uint64_t{4} * kCs, v.m_bRunning);
    v.AttachDevice(dev);
    v.SetPartitionStart(0, 512);
    v.SetSink(&sink);
    v.m_bRunning = true;
    EXPECT_EQ(v.ScanDeletedRecords(), 0);
    EXPECT_EQ(v.imageCount(), 0u);
    EXPECT_TRUE(v.foundItems().empty());
    EXPECT_EQ(dev->readsAfterStop, 0);
}

TEST_F(NtfsScanTest, LoadMftRejectsARecordZeroThatIsNotTheMft) {
    RecordBuilder notMft(kRs, 0, true);
    notMft.standardInfo(0, 0, 0, 0).fileName(5, u"$Boot", 6);
    image.w.writeRecord(0, notMft.build());
    EXPECT_EQ(volume.ScanDeletedRecords(), static_cast<int>(kErrBadMftRecord));

    // A clusters-per-record byte of 0 makes records 1 byte long: refused.
    TestVolume other;
    other.w.writeBoot(0);
    CNtfsVolume v;
    v.AttachDevice(other.dev);
    v.m_bRunning = true;
    EXPECT_EQ(v.ScanDeletedRecords(), static_cast<int>(kErrInvalidParameter));
}

// A large disk that holds data only at its start: the rest reads as zeros.
// The largest single read is kept.
class LargeDiskDevice final : public BlockDevice {
public:
    LargeDiskDevice(std::shared_ptr<MemoryDevice> head, uint64_t size) : head_(std::move(head)), size_(size) {}
    uint64_t size() const override { return size_; }
    ErrorCode readAt(uint64_t offset, MutableByteSpan buf) override {
        largestRead = std::max<uint64_t>(largestRead, buf.size());
        if (offset > size_ || size_ - offset < buf.size()) return kErrHandleEof;
        std::fill(buf.begin(), buf.end(), std::byte{0});
        const uint64_t held = head_->size();
        if (offset < held) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(held - offset, buf.size()));
            return head_->readAt(offset, buf.first(n));
        }
        return kSuccess;
    }
    ErrorCode writeAt(uint64_t, ByteSpan) override { return kErrAccessDenied; }
    bool writable() const override { return false; }
    std::atomic<uint64_t> largestRead{0};

private:
    std::shared_ptr<MemoryDevice> head_;
    uint64_t size_;
};

TEST(NtfsHostileGeometry, TheMftImageHoldsNoMoreThanTheVolumeAndItsRunsCan) {
    constexpr uint64_t kTiB = uint64_t{1} << 40;
    struct Case {
        uint64_t bootSectors;  // the boot sector's size of the volume
        uint64_t runClusters;  // $MFT's one run
        uint64_t imageBytes;   // what is loaded
    };
    // $MFT says it is 64 MiB on a disk of 1 TiB.
    for (const Case c : {Case{256 * 8, 16384, 256 * kCs}, Case{kTiB / 512, 16, 16 * kCs}}) {
        SCOPED_TRACE(c.bootSectors);
        TestVolume image;
        writeLe64(image.dev->bytes(), 0x28, c.bootSectors - 1);
        RecordBuilder mft(kRs, 0, true);
        mft.standardInfo(0, 0, 0, 6).fileName(5, u"$MFT", 6, 3).nonResidentData(
            {{4, c.runClusters}}, uint64_t{64} << 20, kCs);
        image.w.writeRecord(0, mft.build());
        CNtfsVolume v;
        v.AttachDevice(std::make_shared<LargeDiskDevice>(image.dev, kTiB));
        v.m_bRunning = true;
        ASSERT_EQ(v.ScanDeletedRecords(), 0);
        EXPECT_EQ(v.mftImageLength(), c.imageBytes);
        EXPECT_NE(Find(v, "deep.txt"), nullptr);
    }
}

TEST(NtfsHostileGeometry, HugeClustersAreRefusedAndLargeOnesReadInBoundedPieces) {
    constexpr uint32_t kMiB = uint32_t{1} << 20;
    for (const uint32_t bytesPerSector : {16384u, 32768u}) {  // x 128: 2 MiB clusters, then 4 MiB
        SCOPED_TRACE(bytesPerSector);
        const uint32_t cluster = bytesPerSector * 128;
        auto head = std::make_shared<MemoryDevice>(Bytes(6 * kMiB), true);
        VolumeWriter w(*head, 0, 256 * kMiB / 512, cluster, 1, 64, kRs);
        w.writeBoot();
        w.writeSystemRecords();
        writeLe16(head->bytes(), 0x0B, static_cast<uint16_t>(bytesPerSector));
        writeU8(head->bytes(), 0x0D, 128);
        auto disk = std::make_shared<LargeDiskDevice>(head, 256 * kMiB);
        CNtfsVolume v;
        v.AttachDevice(disk);
        v.SetScanRange(0, 256 * kMiB / 512);
        v.m_bRunning = true;
        const int rc = v.ScanFormatted();
        if (cluster > 2 * kMiB) {
            EXPECT_EQ(rc, static_cast<int>(kErrInvalidParameter));
            EXPECT_EQ(v.ScanDeletedRecords(), static_cast<int>(kErrInvalidParameter));
        } else {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(v.recordCount(0), 64u);
        }
        EXPECT_LE(disk->largestRead.load(), 8u * kMiB);
    }
}

TEST_F(NtfsScanTest, ReadItemDataGivesResidentAndNonResidentContent) {
    ASSERT_EQ(volume.ScanDeletedRecords(), 0);
    std::vector<std::byte> data;
    ASSERT_EQ(volume.ReadItemData(*Find(volume, "deep.txt"), data), kSuccess);
    EXPECT_EQ(data, image.deep);
    ASSERT_EQ(volume.ReadItemData(*Find(volume, "root.txt"), data), kSuccess);
    EXPECT_EQ(data, image.resident);
    NtfsFoundItem bogus;
    bogus.imageIndex = 3;
    EXPECT_EQ(volume.ReadItemData(bogus, data), kErrNoImage);
}

TEST_F(NtfsScanTest, RecoveryRebuildsFoldersAndWritesExactContent) {
    ASSERT_EQ(volume.ScanDeletedRecords(), 0);
    EXPECT_FALSE(volume.StartRecovery(dest.string(), 'E', prompt));
    EXPECT_EQ(prompt.messages, std::vector<std::string>{"Notice: Please select file to recover!"});
    volume.AddToSelection(const_cast<NtfsFoundItem*>(Find(volume, "deep.txt")));
    volume.AddToSelection(const_cast<NtfsFoundItem*>(Find(volume, "deep.txt")));
    volume.AddToSelection(const_cast<NtfsFoundItem*>(Find(volume, "root.txt")));
    EXPECT_EQ(volume.Selection().size(), 2u);
    EXPECT_FALSE(volume.StartRecovery("e:\\saved", 'E', prompt));
    EXPECT_EQ(prompt.messages.back(), "Notice: Select anoter drive folder.");
    ASSERT_TRUE(volume.StartRecovery(dest.string(), 'E', prompt));

    std::atomic<bool> go{true};
    const NtfsRecoveryReport report = volume.RecoverSelection(dest.string(), prompt, go);
    EXPECT_EQ(report.written, 2u);
    EXPECT_EQ(report.failed, 0u);
    auto slurp = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::string s((std::istreambuf_iterator<char>(in)), {});
        Bytes b(s.size());
        std::memcpy(b.data(), s.data(), s.size());
        return b;
    };
    EXPECT_EQ(slurp(dest / "A" / "B" / "deep.txt"), image.deep);
    EXPECT_EQ(slurp(dest / "root.txt"), image.resident);
    EXPECT_EQ(fs::file_size(dest / "A" / "B" / "deep.txt"), 5000u);
    EXPECT_EQ(progress.m_nProgressTotal.load(), 2u);
}

TEST_F(NtfsScanTest, OverwriteAnswersAndAGrowingFailureSummary) {
    ASSERT_EQ(volume.ScanDeletedRecords(), 0);
    for (const char* n : {"root.txt", "one.jpg", "two.doc", "orphan.txt", "far.txt"})
        volume.AddToSelection(const_cast<NtfsFoundItem*>(Find(volume, n)));
    std::ofstream(dest / "root.txt") << "old";
    // Folders where the files should go make both creations fail.
    fs::create_directories(dest / "Gone" / "one.jpg");
    fs::create_directories(dest / "Gone" / "two.doc");
    prompt.answers = {OverwriteAnswer::No};
    std::atomic<bool> go{true};
    NtfsRecoveryReport report = volume.RecoverSelection(dest.string(), prompt, go);
    EXPECT_EQ(prompt.asked, std::vector<std::string>{"root.txt"});
    EXPECT_EQ(report.skipped, 1u);
    EXPECT_EQ(report.failed, 2u);
    EXPECT_EQ(report.written, 2u);
    EXPECT_EQ(report.summary, "Can not create file 'one.jpg'.\nCan not create file 'two.doc'.\n");
    ASSERT_EQ(prompt.messages.size(), 1u);  // one box for both lines
    EXPECT_EQ(prompt.messages[0], "Notice: " + report.summary);
    EXPECT_TRUE(fs::exists(dest / "Lost Files0" / "Dir0" / "orphan.txt"));

    // Yes to All replaces every existing file without asking again; Cancel stops.
    prompt.asked.clear();
    prompt.answers = {OverwriteAnswer::YesToAll};
    fs::remove_all(dest / "Gone");
    report = volume.RecoverSelection(dest.string(), prompt, go);
    EXPECT_EQ(prompt.asked.size(), 1u);
    EXPECT_EQ(report.written, 5u);
    prompt.asked.clear();
    prompt.answers = {OverwriteAnswer::Cancel};
    report = volume.RecoverSelection(dest.string(), prompt, go);
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(report.written, 0u);
    EXPECT_EQ(prompt.asked.size(), 1u);
    EXPECT_FALSE(go.load());
}

// Deleted files whose clusters follow one another from LCN 50, and one on
// LCN 60; records 45..49.
struct SmallFiles {
    std::vector<std::pair<std::string, Bytes>> files;
    explicit SmallFiles(TestVolume& v) {
        const struct {
            const char* name;
            uint64_t lcn;
            size_t size;
        } layout[] = {{"s1.bin", 50, 3000}, {"s2.bin", 51, 6000}, {"s3.bin", 53, 100}, {"on-bad.bin", 60, 4096},
                      {"s4.bin", 61, 4096}};
        uint32_t n = 45;
        for (const auto& f : layout) {
            const Bytes content = Pattern(f.size, n);
            Bytes clusters((f.size + kCs - 1) / kCs * kCs);
            std::copy(content.begin(), content.end(), clusters.begin());
            v.w.writeCluster(f.lcn, clusters);
            RecordBuilder b(kRs, n, false);
            b.standardInfo(0, 0, 0, 0x20).fileName(5, Utf16(f.name), 0x20)
                .nonResidentData({{static_cast<int64_t>(f.lcn), clusters.size() / kCs}}, f.size, kCs);
            v.w.writeRecord(n++, b.build());
            files.emplace_back(f.name, content);
        }
    }
};

Bytes Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    Bytes b(text.size());
    std::memcpy(b.data(), text.data(), text.size());
    return b;
}

TEST_F(NtfsScanTest, FilesInARowAreReadOnceAndComeBackExactly) {
    SmallFiles small(image);
    auto counted = std::make_shared<BadSectorDevice>(image.dev, 0, 0);
    CNtfsVolume v;
    v.AttachDevice(counted);
    v.m_bRunning = true;
    ASSERT_EQ(v.ScanDeletedRecords(), 0);
    for (const auto& [name, content] : small.files) v.AddToSelection(const_cast<NtfsFoundItem*>(Find(v, name)));
    const int before = counted->reads;
    std::atomic<bool> go{true};
    const NtfsRecoveryReport report = v.RecoverSelection(dest.string(), prompt, go);
    EXPECT_EQ(report.written, 5u);
    for (const auto& [name, content] : small.files) EXPECT_EQ(Slurp(dest / name), content) << name;
    // The first file is read on its own, the rest from one read-ahead.
    EXPECT_LE(counted->reads - before, 2);
}

TEST_F(NtfsScanTest, ABadSectorFailsOnlyTheFileOnItAndIsNotReadAgainAndAgain) {
    SmallFiles small(image);
    auto bad = std::make_shared<BadSectorDevice>(image.dev, 60 * kCs + 512, 60 * kCs + 1024);
    CNtfsVolume v;
    v.AttachDevice(bad);
    v.m_bRunning = true;
    ASSERT_EQ(v.ScanDeletedRecords(), 0);
    for (const auto& [name, content] : small.files) v.AddToSelection(const_cast<NtfsFoundItem*>(Find(v, name)));
    const int before = bad->reads;
    std::atomic<bool> go{true};
    const NtfsRecoveryReport report = v.RecoverSelection(dest.string(), prompt, go);
    EXPECT_EQ(report.written, 4u);
    // The file cut by the read error is kept, but not under its own name.
    EXPECT_EQ(report.failures,
              std::vector<std::string>{"Can not recovery file 'on-bad.bin'. Kept as 'on-bad.bin.partial'.\n"});
    EXPECT_FALSE(fs::exists(dest / "on-bad.bin"));
    EXPECT_TRUE(fs::exists(dest / "on-bad.bin.partial"));
    for (const auto& [name, content] : small.files)
        if (name != "on-bad.bin") {
            EXPECT_EQ(Slurp(dest / name), content) << name;
        }
    // One read-ahead meets the bad sector; after that every file is read on
    // its own, the bad one once.
    EXPECT_EQ(bad->reads - before, 1 + 5);
}

TEST_F(NtfsScanTest, SameNamedFilesInANewFolderStillAskBeforeReplacing) {
    image.file(50, 38, "dup.txt", false);
    RecordBuilder other(kRs, 51, false);
    other.standardInfo(0, 0, 0, 0x20).fileName(38, u"dup.txt", 0x20).residentData(ToBytes("second"));
    image.w.writeRecord(51, other.build());
    ASSERT_EQ(volume.ScanDeletedRecords(), 0);
    for (const auto& item : volume.foundItems())
        if (item->nameText() == "dup.txt") volume.AddToSelection(item.get());
    ASSERT_EQ(volume.Selection().size(), 2u);
    prompt.answers = {OverwriteAnswer::No};
    std::atomic<bool> go{true};
    const NtfsRecoveryReport report = volume.RecoverSelection(dest.string(), prompt, go);
    // "Gone" did not exist before the run; the second dup.txt is still asked about.
    EXPECT_EQ(prompt.asked, std::vector<std::string>{"dup.txt"});
    EXPECT_EQ(report.written, 1u);
    EXPECT_EQ(report.skipped, 1u);
    EXPECT_EQ(Slurp(dest / "Gone" / "dup.txt"), Bytes(10, std::byte{'x'}));
}

// A deleted file too fragmented for one record: base 52 keeps its
// attribute list in cluster 70, its data lies in extension records 53, 54.
Bytes PlantFragmentedFile(TestVolume& v) {
    const Bytes content = Pattern(5 * kCs - 7, 52);
    Bytes clusters(5 * kCs);
    std::copy(content.begin(), content.end(), clusters.begin());
    v.w.writeCluster(80, Bytes(clusters.begin(), clusters.begin() + 2 * kCs));
    v.w.writeCluster(90, Bytes(clusters.begin() + 2 * kCs, clusters.end()));
    const Bytes list = RecordBuilder::attributeListValue({{0x10, 52, 0}, {0x30, 52, 0}, {0x80, 53, 0}, {0x80, 54, 2}});
    Bytes listCluster(kCs);
    std::copy(list.begin(), list.end(), listCluster.begin());
    v.w.writeCluster(70, listCluster);
    RecordBuilder base(kRs, 52, false);
    base.standardInfo(0, 0, 0, 0x20).fileName(5, u"frag.bin", 0x20)
        .nonResidentRaw(0x20, EncodeRuns({{70, 1}}), list.size(), kCs, 0);
    v.w.writeRecord(52, base.build());
    RecordBuilder first(kRs, 53, false);
    first.baseReference(52).nonResidentData({{80, 2}}, content.size(), kCs, 0);
    v.w.writeRecord(53, first.build());
    RecordBuilder second(kRs, 54, false);
    second.baseReference(52).nonResidentData({{90, 3}}, content.size(), kCs, 2);
    v.w.writeRecord(54, second.build());
    return content;
}

TEST_F(NtfsScanTest, ANonResidentAttributeListGivesTheListingTheRealSize) {
    const Bytes content = PlantFragmentedFile(image);
    FilterCriteria c;
    c.sizeMode = kSizeLarger;
    c.minSizeKB = 16;  // only frag.bin is larger
    volume.SetScanCriteria(0, c);
    ASSERT_EQ(volume.ScanDeletedRecords(), 0);
    ASSERT_EQ(sink.seen, std::vector<std::string>{"frag.bin"});
    const NtfsFoundItem& frag = *volume.foundItems()[0];
    EXPECT_EQ(frag.size, content.size());
    std::vector<std::byte> data;
    ASSERT_EQ(volume.ReadItemData(frag, data), kSuccess);
    EXPECT_EQ(data, content);
}

TEST_F(NtfsScanTest, AnUnreadableAttributeListStillListsTheFile) {
    PlantFragmentedFile(image);
    CNtfsVolume v;
    v.AttachDevice(std::make_shared<BadSectorDevice>(image.dev, 70 * kCs, 70 * kCs + 512));
    v.m_bRunning = true;
    ASSERT_EQ(v.ScanDeletedRecords(), 0);
    const NtfsFoundItem* frag = Find(v, "frag.bin");
    ASSERT_NE(frag, nullptr);
    EXPECT_EQ(frag->size, 0u);  // as far as the base record tells
    std::vector<std::byte> data;
    EXPECT_EQ(v.ReadItemData(*frag, data), kErrCrc);
}

// Records of an older MFT left on the disk, outside the current one.
void PlantOldRecords(TestVolume& v) {
    const uint64_t at = 100 * kCs;
    auto put = [&](uint64_t slot, const Bytes& rec) { v.dev->writeAt(at + slot * kRs, rec); };
    RecordBuilder dir(kRs, 70, true, true);
    dir.standardInfo(0, 0, 0, 0x10).fileName(5, u"OldDir", kFolder);
    put(0, dir.build());
    RecordBuilder a(kRs, 71, true);
    a.standardInfo(0, 0, 0, 0x20).fileName(70, u"old.txt", 0x20).residentData(ToBytes("old contents\n"));
    put(1, a.build());
    RecordBuilder b(kRs, 72, true);
    b.standardInfo(0, 0, 0, 0x20).fileName(99, u"stray1.txt", 0x20).residentData(ToBytes("1"));
    put(2, b.build());
    RecordBuilder c(kRs, 73, true);
    c.standardInfo(0, 0, 0, 0x20).fileName(99, u"stray2.txt", 0x20).residentData(ToBytes("2"));
    put(3, c.build());
    // NTFS 3.0 layout (update sequence at 0x2A): not "FILE0", never found.
    Bytes old = RecordBuilder(kRs, 74, true).fileName(5, u"v30.txt", 0x20).build();
    writeLe16(old, 0x04, 0x2A);
    put(4, old);
}

TEST_F(NtfsScanTest, FormattedScanListsTheMftAndRecordsOutsideIt) {
    PlantOldRecords(image);
    volume.SetScanRange(0, 256 * 8);
    ASSERT_EQ(volume.ScanFormatted(), 0);
    // The listing thread: every named record from 30 on, live ones too.
    EXPECT_NE(Find(volume, "live.txt"), nullptr);
    EXPECT_NE(Find(volume, "deep.txt"), nullptr);
    EXPECT_EQ(Path(*Find(volume, "deep.txt")), (std::vector<std::string>{"B", "A"}));
    // 64 MFT records counted in one step, then the four old records.
    EXPECT_EQ(volume.formattedFoundCount(), 64u + 4u);
    EXPECT_EQ(progress.text(), "Found Formated Files : 68");
    const NtfsFoundItem* old = Find(volume, "old.txt");
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->imageIndex, 1);
    EXPECT_EQ(old->recordNumber, 71u);
    EXPECT_EQ(Path(*old), (std::vector<std::string>{"OldDir", "Lost Files1"}));
    EXPECT_EQ(old->pathRecords, (std::vector<uint32_t>{70, 2}));
    // Two files of one missing folder share one made-up folder.
    EXPECT_EQ(Path(*Find(volume, "stray1.txt")), Path(*Find(volume, "stray2.txt")));
    EXPECT_EQ(Find(volume, "stray1.txt")->pathNames.back(), "Lost Files1");
    EXPECT_EQ(Find(volume, "v30.txt"), nullptr);
    std::vector<std::byte> data;
    ASSERT_EQ(volume.ReadItemData(*old, data), kSuccess);
    EXPECT_EQ(data, ToBytes("old contents\n"));
    // Folders are kept but not sent; every sent index is distinct.
    std::vector<uint32_t> sorted = sink.indices;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    for (const std::string& name : sink.seen) EXPECT_NE(name, "OldDir");
}

TEST_F(NtfsScanTest, RecordsOutsideTheMftPastTheirMemoryAreCountedNotKept) {
    PlantOldRecords(image);
    volume.SetLostRecordBudget(2 * kRs);
    volume.SetScanRange(0, 256 * 8);
    ASSERT_EQ(volume.ScanFormatted(), 0);
    EXPECT_EQ(volume.formattedFoundCount(), 64u + 4u);
    EXPECT_EQ(volume.recordCount(1), 2u);
    EXPECT_EQ(volume.formattedDroppedCount(), 2u);
    EXPECT_NE(Find(volume, "old.txt"), nullptr);
    EXPECT_EQ(Find(volume, "stray2.txt"), nullptr);
}

TEST(NtfsFragmentedMft, IsLoadedWholeAndSkippedByTheSearchWhereverItsSecondRunLies) {
    struct Case {
        uint32_t tailRecords;  // records at the end of the MFT that move
        int64_t tailLcn;       // where they go: after the first run, or before it
    };
    for (const Case c : {Case{32, 200}, Case{12, 1}}) {
        SCOPED_TRACE(c.tailLcn);
        TestVolume image;
        RecordBuilder late(kRs, 60, false);
        late.standardInfo(0, 0, 0, 0x20).fileName(5, u"late.txt", 0x20).residentData(ToBytes("late\n"));
        image.w.writeRecord(60, late.build());
        const uint64_t headRecords = 64 - c.tailRecords;
        Bytes tail(c.tailRecords * kRs);
        image.dev->readAt(4 * kCs + headRecords * kRs, tail);
        image.dev->writeAt(c.tailLcn * kCs, tail);
        image.dev->writeAt(4 * kCs + headRecords * kRs, Bytes(tail.size()));
        RecordBuilder mft(kRs, 0, true);
        mft.standardInfo(0, 0, 0, 6).fileName(5, u"$MFT", 6, 3).nonResidentData(
            {{4, headRecords * kRs / kCs}, {c.tailLcn, c.tailRecords * kRs / kCs}}, 64 * kRs, kCs);
        image.w.writeRecord(0, mft.build());
        PlantOldRecords(image);
        CNtfsVolume volume;
        volume.AttachDevice(image.dev);
        volume.SetScanRange(0, 256 * 8);
        volume.m_bRunning = true;
        ASSERT_EQ(volume.ScanFormatted(), 0);
        EXPECT_EQ(volume.recordCount(0), 64u);
        const NtfsFoundItem* deep = Find(volume, "deep.txt");
        ASSERT_NE(deep, nullptr);
        EXPECT_EQ(deep->imageIndex, 0);
        EXPECT_EQ(Path(*deep), (std::vector<std::string>{"B", "A"}));
        // Only the four old records are outside; the second extent is not found again.
        EXPECT_EQ(volume.formattedFoundCount(), 64u + 4u);
        EXPECT_EQ(volume.recordCount(1), 4u);
        int lates = 0;
        for (const auto& item : volume.foundItems()) lates += item->nameText() == "late.txt";
        EXPECT_EQ(lates, 1);
    }
}

TEST_F(NtfsScanTest, FormattedScanWithoutBootSectorStillFindsRecords) {
    PlantOldRecords(image);
    image.dev->writeAt(0, Bytes(512));
    volume.SetScanRange(0, 256 * 8);
    ASSERT_EQ(volume.ScanFormatted(), 0);
    EXPECT_FALSE(volume.isNtfs());
    EXPECT_EQ(volume.recordSize(), 1024u);
    EXPECT_EQ(volume.clusterSize(), 4096u);
    // Nothing is listed from an MFT; the old MFT's own records (from 30 on) are found.
    EXPECT_NE(Find(volume, "old.txt"), nullptr);
    EXPECT_NE(Find(volume, "deep.txt"), nullptr);  // the current MFT is just another old one now
    EXPECT_EQ(Find(volume, "deep.txt")->imageIndex, 1);
    EXPECT_EQ(Path(*Find(volume, "deep.txt")), (std::vector<std::string>{"B", "A", "Lost Files1"}));
}

TEST_F(NtfsScanTest, FormattedScanSearchStartsOnARecordBoundary) {
    PlantOldRecords(image);
    // The range starts one sector into the old records' first cluster.
    volume.SetScanRange(100 * 8 + 1, 256 * 8);
    ASSERT_EQ(volume.ScanFormatted(), 0);
    const NtfsFoundItem* old = Find(volume, "old.txt");
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(Path(*old), (std::vector<std::string>{"OldDir", "Lost Files1"}));
    EXPECT_NE(Find(volume, "stray2.txt"), nullptr);
}

TEST_F(NtfsScanTest, FormattedScanReadsAroundABadSector) {
    PlantOldRecords(image);
    // A record in the last 100-cluster window, which holds a bad sector.
    RecordBuilder lostOne(kRs, 80, true);
    lostOne.standardInfo(0, 0, 0, 0x20).fileName(5, u"in-bad-window.txt", 0x20);
    image.dev->writeAt(210 * kCs, lostOne.build());
    CNtfsVolume v;
    v.AttachDevice(std::make_shared<BadSectorDevice>(image.dev, 230 * kCs, 230 * kCs + 512));
    v.SetScanRange(0, 256 * 8);
    v.m_bRunning = true;
    ASSERT_EQ(v.ScanFormatted(), 0);
    // The whole range is one read, and it fails; the other windows are searched.
    EXPECT_NE(Find(v, "old.txt"), nullptr);
    EXPECT_NE(Find(v, "stray1.txt"), nullptr);
    EXPECT_EQ(Find(v, "in-bad-window.txt"), nullptr);
    EXPECT_NE(Find(v, "deep.txt"), nullptr);  // the MFT listing is untouched
    EXPECT_EQ(v.formattedFoundCount(), 64u + 4u);
}

TEST_F(NtfsScanTest, TwoOldMftsWithTheSameRecordNumbersAreBothListed) {
    PlantOldRecords(image);
    // A second old MFT at cluster 150 reuses numbers 70 and 71.
    RecordBuilder dir(kRs, 70, true, true);
    dir.standardInfo(0, 0, 0, 0x10).fileName(5, u"NewDir", kFolder);
    image.dev->writeAt(150 * kCs, dir.build());
    RecordBuilder file(kRs, 71, true);
    file.standardInfo(0, 0, 0, 0x20).fileName(70, u"new.txt", 0x20).residentData(ToBytes("new contents\n"));
    image.dev->writeAt(150 * kCs + kRs, file.build());
    volume.SetScanRange(0, 256 * 8);
    ASSERT_EQ(volume.ScanFormatted(), 0);
    EXPECT_EQ(volume.formattedFoundCount(), 64u + 4u + 2u);
    EXPECT_EQ(volume.recordCount(1), 6u);
    const NtfsFoundItem* old = Find(volume, "old.txt");
    const NtfsFoundItem* fresh = Find(volume, "new.txt");
    ASSERT_NE(old, nullptr);
    ASSERT_NE(fresh, nullptr);
    // Each file's folder is the record of that number in its own old MFT.
    EXPECT_EQ(Path(*old), (std::vector<std::string>{"OldDir", "Lost Files1"}));
    EXPECT_EQ(Path(*fresh), (std::vector<std::string>{"NewDir", "Lost Files1"}));
    std::vector<std::byte> data;
    ASSERT_EQ(volume.ReadItemData(*fresh, data), kSuccess);
    EXPECT_EQ(data, ToBytes("new contents\n"));
    // Every position once: no record is listed twice.
    int olds = 0;
    for (const auto& item : volume.foundItems()) olds += item->nameText() == "old.txt";
    EXPECT_EQ(olds, 1);
}

// A page that hands each item to its own thread and waits for it there,
// the way a GUI marshals a blocking call; that thread asks the volume.
class MarshallingSink : public NtfsItemSink {
public:
    explicit MarshallingSink(CNtfsVolume& v) : volume(v) {}
    ~MarshallingSink() override {
        for (std::thread& t : helpers) t.join();
    }
    void onFoundItem(NtfsFoundItem*, uint32_t index) override {
        indices.push_back(index);
        if (helpers.size() >= 3) return;  // a few are enough; each may wait
        auto answered = std::make_shared<std::promise<void>>();
        std::future<void> done = answered->get_future();
        helpers.emplace_back([this, answered] {
            (void)volume.recordCount(0);
            (void)volume.imageCount();
            answered->set_value();
        });
        if (done.wait_for(std::chrono::seconds(2)) != std::future_status::ready) ++blocked;
    }
    CNtfsVolume& volume;
    std::vector<std::thread> helpers;
    std::vector<uint32_t> indices;
    int blocked = 0;
};

TEST_F(NtfsScanTest, ASinkMayCallTheVolumeFromAnotherThreadWhileItemsArrive) {
    PlantOldRecords(image);
    MarshallingSink page(volume);
    volume.SetSink(&page);
    volume.SetScanRange(0, 256 * 8);
    ASSERT_EQ(volume.ScanFormatted(), 0);
    EXPECT_EQ(page.blocked, 0);
    EXPECT_EQ(page.helpers.size(), 3u);
    // Deliveries stay in index order across the two threads.
    EXPECT_TRUE(std::is_sorted(page.indices.begin(), page.indices.end()));
    EXPECT_GT(page.indices.size(), 10u);
}

TEST_F(NtfsScanTest, FormattedScanRangeTailIsExamined) {
    PlantOldRecords(image);
    // The range ends right after the third old record, mid-window.
    volume.SetScanRange(0, 100 * 8 + 6);
    ASSERT_EQ(volume.ScanFormatted(), 0);
    EXPECT_NE(Find(volume, "stray1.txt"), nullptr);
    EXPECT_EQ(Find(volume, "stray2.txt"), nullptr);
}

// An image file of two partitions: 1 MiB from sector 2048, and the NTFS
// volume (2 MiB) from sector 4096, mounted as X:. In a fake sysfs loop7 is
// backed by the image and shows both partitions; the test's destination
// folder lives on whichever of them destinationOn() names.
class NtfsDestinationTest : public ::testing::Test {
protected:
    static constexpr uint64_t kMiB = uint64_t{1} << 20;

    static void Write(const fs::path& p, const std::string& text) {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text << "\n";
    }

    void SetUp() override {
        top = fs::temp_directory_path() / ("ntfs-dest-" + std::to_string(::getpid()));
        fs::remove_all(top);
        dest = top / "out";
        fs::create_directories(dest);
        image = (top / "disk.img").string();
        AttachImageWithVolumeX(image);

        sys = top / "sys";
        loop = sys / "devices/virtual/block/loop7";
        Write(loop / "size", std::to_string(4 * kMiB / 512));
        Write(loop / "loop/backing_file", fs::canonical(image).string());
        Write(loop / "loop/offset", "0");
        Write(loop / "loop7p1/partition", "1");
        Write(loop / "loop7p1/start", "2048");
        Write(loop / "loop7p1/size", "2048");
        Write(loop / "loop7p2/partition", "2");
        Write(loop / "loop7p2/start", "4096");
        Write(loop / "loop7p2/size", "4096");
        fs::create_directories(sys / "block");
        fs::create_directory_symlink(loop, sys / "block/loop7");
        fs::create_directories(sys / "dev/block");
    }
    void TearDown() override {
        DeviceTable::Global().clear();
        fs::remove_all(top);
    }

    void destinationOn(const std::string& partition) {
        struct stat st {};
        ASSERT_EQ(::stat(dest.c_str(), &st), 0);
        const fs::path link = sys / "dev/block" / (std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev)));
        fs::remove(link);
        fs::create_directory_symlink(loop / partition, link);
    }
    bool sameVolume(const NtfsVolumeExtent& e) const {
        return SameFileSystemDevice(dest.string(), e.path, e.startByte, e.lengthBytes, sys.string());
    }

    fs::path top, dest, sys, loop;
    std::string image;
};

TEST_F(NtfsDestinationTest, ALetteredVolumeIsComparedWhereItLiesOnItsDrive) {
    CNtfsVolume v;
    ASSERT_TRUE(v.OpenDevice("X", false));
    v.SetPartitionStart(0, 512);
    Bytes boot(512);
    ASSERT_EQ(v.CheckBootSector(boot), kSuccess);  // the view starts at the volume
    const NtfsVolumeExtent e = v.scannedExtent();
    EXPECT_EQ(e.path, image);
    EXPECT_EQ(e.startByte, 2 * kMiB);
    EXPECT_EQ(e.lengthBytes, 2 * kMiB);
    destinationOn("loop7p2");
    EXPECT_TRUE(sameVolume(e));
    // The other partition of the same image is another volume.
    destinationOn("loop7p1");
    EXPECT_FALSE(sameVolume(e));
}

TEST_F(NtfsDestinationTest, ThroughThePhysicalDriveOnlyThePartitionCounts) {
    CNtfsVolume v;
    ASSERT_TRUE(v.OpenDevice("PhysicalDrive0", true));
    // The 1 MiB partition, with a length: what follows it on the drive is not it.
    v.SetPartitionStart(2048, 512, kMiB);
    const NtfsVolumeExtent e = v.scannedExtent();
    EXPECT_EQ(e.startByte, kMiB);
    EXPECT_EQ(e.lengthBytes, kMiB);
    destinationOn("loop7p1");
    EXPECT_TRUE(sameVolume(e));
    destinationOn("loop7p2");
    EXPECT_FALSE(sameVolume(e));
}

}  // namespace
}  // namespace vantor
