// The NTFS engine behind the generic front ends: the session on a volume
// built in memory, and the `vantor` command on the real-tool fixtures.
#include "shell/sessions/ntfs_session.h"

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

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string AsString(const Bytes& b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }

class TempDir {
public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("vantor-ntfs-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

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
    EXPECT_EQ(ReadFile(dest.path() / "Docs" / "a.txt"), kAText);
    EXPECT_EQ(ReadFile(dest.path() / "Docs" / "b.bin"), AsString(bData_));
    EXPECT_EQ(ReadFile(dest.path() / "top.txt"), "top\n");
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

// ---------------------------------------------------------------------------
// `vantor` on the real-tool fixtures.

namespace vantor {
namespace {

struct ToolRun {
    std::string out;
    std::string err;
    int status = -1;
};

ToolRun Vantor(const std::string& image, const std::string& args, const fs::path& scratch) {
    ToolRun r;
    const fs::path errFile = scratch / "stderr.txt";
    const std::string cmd = std::string(VANTOR_CLI_PATH) + " --quiet --image '" + std::string(VANTOR_FIXTURE_DIR) +
                            "/" + image + "' " + args + " </dev/null 2>'" + errFile.string() + "'";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = ReadFile(errFile);
    return r;
}

// Every file object of the scan's JSON tree.
void CollectFiles(const nlohmann::json& folder, std::vector<nlohmann::json>& out) {
    for (const auto& f : folder.value("files", nlohmann::json::array())) out.push_back(f);
    for (const auto& sub : folder.value("folders", nlohmann::json::array())) CollectFiles(sub, out);
}

std::string Xorshift(uint32_t seed, size_t n) {
    std::string out;
    uint32_t x = seed;
    while (out.size() < n) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        for (int i = 0; i < 4 && out.size() < n; ++i) out.push_back(static_cast<char>((x >> (8 * i)) & 0xFF));
    }
    return out;
}

std::string NumberedLines(const std::string& tag, int lines) {
    std::string s;
    char line[160];
    for (int i = 1; i <= lines; ++i) {
        std::snprintf(line, sizeof line, "%s line %04d: the quick brown fox jumps over the lazy dog\n", tag.c_str(), i);
        s += line;
    }
    return s;
}

// Partition 1 of sample-disk.img is its NTFS volume (D:).
constexpr const char* kSample = "sample-disk.img";

TEST(NtfsCli, FormattedScanListsTheSampleVolumeInJson) {
    TempDir scratch;
    ToolRun r = Vantor(kSample, "scan formatted --partition 1 --json", scratch.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["engine"], "NTFS");
    EXPECT_EQ(j["fileCount"], 3);
    EXPECT_EQ(j["totalBytes"], 28 + 3900 + 20000);
    EXPECT_EQ(j["tree"]["name"], "NTFS - Logical Disk (D:)");
    std::vector<nlohmann::json> files;
    CollectFiles(j["tree"], files);
    ASSERT_EQ(files.size(), 3u);
    std::map<std::string, nlohmann::json> byName;
    for (const auto& f : files) byName[f["name"]] = f;
    const auto& blob = byName["blob.bin"];
    EXPECT_EQ(blob["id"], "66");
    EXPECT_EQ(blob["size"], 20000);
    EXPECT_EQ(blob["sizeText"], "19.5KB");
    EXPECT_EQ(blob["deleted"], false);
    EXPECT_EQ(blob["extra"]["record"], "66");
    EXPECT_EQ(blob["extra"]["path"], "blob.bin");
    EXPECT_EQ(blob["extra"]["deleted"], "false");
    EXPECT_EQ(byName["readme.txt"]["extra"]["record"], "64");
    EXPECT_EQ(byName["NTFS long name file.txt"]["size"], 3900);
}

TEST(NtfsCli, RecoverWritesTheSampleFilesByteExact) {
    TempDir scratch;
    const fs::path to = scratch.path() / "out";
    ToolRun r = Vantor(kSample, "recover formatted --partition 1 --to '" + to.string() + "'", scratch.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ReadFile(to / "readme.txt"), "Vantor sample NTFS volume.\r\n");
    EXPECT_EQ(ReadFile(to / "NTFS long name file.txt"), NumberedLines("ntfs-long", 60));
    EXPECT_EQ(ReadFile(to / "blob.bin"), Xorshift(4242, 20000));

    // One file by its id.
    const fs::path one = scratch.path() / "one";
    r = Vantor(kSample, "recover formatted --partition 1 --select 65 --to '" + one.string() + "'", scratch.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(fs::exists(one / "NTFS long name file.txt"));
    EXPECT_FALSE(fs::exists(one / "blob.bin"));
    EXPECT_FALSE(fs::exists(one / "readme.txt"));
}

TEST(NtfsCli, NothingDeletedOnTheSampleVolume) {
    TempDir scratch;
    ToolRun r = Vantor(kSample, "scan deleted --partition 1 --json", scratch.path());
    EXPECT_EQ(r.status, 1) << "nothing found";
    EXPECT_EQ(nlohmann::json::parse(r.out)["fileCount"], 0);

    const fs::path to = scratch.path() / "out";
    r = Vantor(kSample, "recover deleted --partition 1 --to '" + to.string() + "'", scratch.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE((r.out + r.err).find("Please select file to recover!"), std::string::npos) << r.out << r.err;
    EXPECT_TRUE(!fs::exists(to) || fs::is_empty(to));
}

// ntfs-deleted.img: one NTFS partition (0) with deleted files in live and
// deleted folders, resident, compressed and fragmented ones among them.
constexpr const char* kDeleted = "ntfs-deleted.img";
constexpr const char* kFormatted = "ntfs-formatted.img";

TEST(NtfsCli, DeletedScanListsEveryDeletedFileWithItsPath) {
    TempDir scratch;
    ToolRun r = Vantor(kDeleted, "scan deleted --partition 0 --json", scratch.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    std::vector<nlohmann::json> files;
    CollectFiles(j["tree"], files);
    std::map<std::string, nlohmann::json> byPath;
    for (const auto& f : files) byPath[f["extra"]["path"]] = f;
    EXPECT_EQ(files.size(), 13u);
    ASSERT_TRUE(byPath.count("docs/nested/deeper/gone-deep.txt"));
    ASSERT_TRUE(byPath.count("olddir/b.bin"));
    ASSERT_TRUE(byPath.count("packed/compressed-gone.txt"));
    const auto& deep = byPath["docs/nested/deeper/gone-deep.txt"];
    EXPECT_EQ(deep["folder"], "docs/nested/deeper");
    EXPECT_EQ(deep["extra"]["record"], "71");
    EXPECT_EQ(deep["id"], "71");
    EXPECT_EQ(deep["deleted"], true);
    EXPECT_EQ(deep["extra"]["deleted"], "true");
    EXPECT_EQ(deep["size"], 6500);
    EXPECT_EQ(byPath["packed/compressed-gone.txt"]["attributes"], "A-C-Del-");
    EXPECT_EQ(byPath["big-gone.txt"]["size"], 4540001);
}

TEST(NtfsCli, DeletedFilesComeBackByteExact) {
    TempDir scratch;
    const fs::path to = scratch.path() / "out";
    ToolRun r = Vantor(kDeleted, "recover deleted --partition 0 --to '" + to.string() + "'", scratch.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ReadFile(to / "docs" / "nested" / "deeper" / "gone-deep.txt"), NumberedLines("deep-gone", 100));
    EXPECT_EQ(ReadFile(to / "small-gone.txt"), NumberedLines("small-gone", 6));
    EXPECT_EQ(ReadFile(to / "big-gone.txt"), NumberedLines("big-gone", 70000));
    EXPECT_EQ(ReadFile(to / "packed" / "compressed-gone.txt"), NumberedLines("packed-gone", 4000));
    EXPECT_EQ(ReadFile(to / "olddir" / "a.txt"), NumberedLines("olddir-a", 4));
    EXPECT_EQ(ReadFile(to / "olddir" / "b.bin"), Xorshift(2024, 20000));
    EXPECT_EQ(ReadFile(to / "frag-gone.txt"), NumberedLines("frag-gone", 6000));
    // Pads whose clusters were reused still come back at their full size.
    EXPECT_EQ(fs::file_size(to / "pad-02.bin"), 65536u);
    EXPECT_EQ(fs::file_size(to / "filler.bin"), 21893120u);
}

TEST(NtfsCli, SelectionByFolderAndIdOnTheDeletedVolume) {
    TempDir scratch;
    const fs::path to = scratch.path() / "out";
    ToolRun r = Vantor(kDeleted, "recover deleted --partition 0 --select olddir --select 72 --to '" + to.string() + "'",
                       scratch.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ReadFile(to / "olddir" / "a.txt"), NumberedLines("olddir-a", 4));
    EXPECT_TRUE(fs::exists(to / "olddir" / "b.bin"));
    EXPECT_EQ(ReadFile(to / "small-gone.txt"), NumberedLines("small-gone", 6));
    EXPECT_FALSE(fs::exists(to / "big-gone.txt"));
    EXPECT_FALSE(fs::exists(to / "docs"));

    // A second run with --overwrite never leaves the file as it is.
    r = Vantor(kDeleted, "recover deleted --partition 0 --select 72 --overwrite never --to '" + to.string() + "'",
               scratch.path());
    EXPECT_EQ(ReadFile(to / "small-gone.txt"), NumberedLines("small-gone", 6));
}

TEST(NtfsCli, FormattedScanBringsBackTheOldMftsFiles) {
    TempDir scratch;
    ToolRun r = Vantor(kFormatted, "scan formatted --partition 0 --json", scratch.path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<nlohmann::json> files;
    CollectFiles(nlohmann::json::parse(r.out)["tree"], files);
    std::map<std::string, nlohmann::json> byFolderName;
    for (const auto& f : files) byFolderName[f["path"].get<std::string>()] = f;
    ASSERT_TRUE(byFolderName.count("Lost Files1/docs/nested/deeper/gone-deep.txt")) << r.out.substr(0, 2000);
    ASSERT_TRUE(byFolderName.count("Lost Files1/olddir/b.bin"));

    const fs::path to = scratch.path() / "out";
    r = Vantor(kFormatted,
               "recover formatted --partition 0 --select 'Lost Files1/olddir' --select 'Lost Files1/docs/nested' "
               "--select '*compressed-gone.txt' --to '" + to.string() + "'",
               scratch.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const fs::path lost = to / "Lost Files1";
    EXPECT_EQ(ReadFile(lost / "docs" / "nested" / "deeper" / "gone-deep.txt"), NumberedLines("deep-gone", 100));
    EXPECT_EQ(ReadFile(lost / "olddir" / "a.txt"), NumberedLines("olddir-a", 4));
    EXPECT_EQ(ReadFile(lost / "olddir" / "b.bin"), Xorshift(2024, 20000));
    EXPECT_EQ(ReadFile(lost / "packed" / "compressed-gone.txt"), NumberedLines("packed-gone", 4000));
    EXPECT_FALSE(fs::exists(lost / "big-gone.txt"));
}

}  // namespace
}  // namespace vantor
