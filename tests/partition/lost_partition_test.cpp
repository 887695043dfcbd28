// The lost-partition fixtures: an sfdisk disk with FAT32, NTFS, FAT16, EXT3
// and FAT16 partitions whose entries were removed with `sfdisk --delete`.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <tuple>

#include "disk/partition_table.h"
#include "partition/partition_restore.h"
#include "partition/partition_search.h"
#include "partition/undo_file.h"
#include "platform/device_table.h"
#include "support/cli_runner.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;
using Entry = std::tuple<uint64_t, uint64_t, int>;  // start, sectors, type byte
using Found = std::tuple<uint64_t, uint64_t, std::string>;

const std::string kDir = VANTOR_FIXTURE_DIR;

struct LostImage {
    const char* name;
    std::vector<Found> removed;
    bool gpt = false;
};
const LostImage kImages[] = {
    {"lost-a.img", {{71680, 32768, "NTFS"}, {141312, 32768, "EXT3"}}},
    {"lost-b.img", {{2048, 69632, "FAT32"}, {106496, 32768, "FAT16"}}},
    {"lost-gpt.img", {{18432, 16384, "EXT2"}, {34816, 16384, "NTFS"}}, true},
};
// The GPT disk before the removals, as the walk names its entries.
const std::set<Entry> kFullGpt = {{2048, 16384, 0x06}, {18432, 16384, 0x83}, {34816, 16384, 0x07}};

// start/size/type of every entry `sfdisk -d` listed before the removals.
std::set<Entry> FullTable() {
    std::ifstream in(kDir + "/full.sfdisk");
    std::set<Entry> out;
    std::regex line(R"(start=\s*(\d+), size=\s*(\d+), type=([0-9a-f]+))");
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        if (std::regex_search(l, m, line))
            out.insert({std::stoull(m[1]), std::stoull(m[2]), std::stoi(m[3], nullptr, 16)});
    }
    return out;
}

// The entries our own walk reads, the extended container from the MBR included.
std::set<Entry> TableOf(const std::string& path) {
    std::shared_ptr<FileDevice> dev;
    EXPECT_EQ(FileDevice::open(path, false, dev), kSuccess);
    PartitionList list;
    EXPECT_TRUE(ReadPartitionTable(*dev, dev->size(), 0, list));
    std::set<Entry> out;
    for (const auto& r : list.records())
        if (!r.isGap()) out.insert({r.startSector, r.totalBytes / 512, r.partitionType});
    DiskLayout layout;
    EXPECT_TRUE(ReadDiskLayout(*dev, layout));
    if (layout.extendedSlot >= 0) out.insert({layout.extStart, layout.extCount, 5});
    return out;
}

std::vector<char> Bytes(const std::string& path) {
    std::vector<char> out(fs::file_size(path));
    std::ifstream(path, std::ios::binary).read(out.data(), static_cast<std::streamsize>(out.size()));
    return out;
}

std::set<uint64_t> ChangedSectors(const std::vector<char>& a, const std::vector<char>& b) {
    std::set<uint64_t> out;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i]) out.insert(i / 512);
    return out;
}

class LostPartitions : public ::testing::Test {
protected:
    void TearDown() override { DeviceTable::Global().clear(); }

    // Searches a copy of the image and restores every found partition.
    struct Restored {
        std::string copy;
        std::vector<std::string> undo;
        std::set<uint64_t> planned;
        std::vector<PartitionRecord> found;
    };
    Restored RestoreAll(const test::ScratchDir& dir, const LostImage& img) {
        Restored out;
        out.copy = (dir.path() / img.name).string();
        fs::copy_file(kDir + "/" + img.name, out.copy, fs::copy_options::overwrite_existing);
        DeviceTable::Global().attachImages({out.copy});
        SearchResult res = SearchDrive(0);
        EXPECT_TRUE(res.completed);
        for (const auto& r : res.records)
            for (const auto& c : res.found)
                if (c.start == r.startSector && !r.isGap()) out.found.push_back(r);
        for (const auto& r : out.found) {
            RestoreRequest req;
            req.driveIndex = 0;
            req.partition = &r;
            req.undoPath = (dir.path() / ("undo-" + std::to_string(r.startSector))).string();
            RestoreOutcome o = RestorePartition(req);
            EXPECT_EQ(o.result, kRestoreOk) << o.detail;
            EXPECT_TRUE(o.rereadText.empty());  // an image needs nothing re-read
            for (const auto& w : o.plan.writes) {
                EXPECT_NE(w.what, "boot sector") << "a boot sector read from the disk was written back";
                out.planned.insert(w.lba);
            }
            out.undo.push_back(req.undoPath);
        }
        return out;
    }
};

TEST_F(LostPartitions, SearchFindsEveryRemovedPartitionWithItsTrueStartAndSizeAndNothingElse) {
    for (const auto& img : kImages) {
        DeviceTable::Global().attachImages({kDir + "/" + img.name});
        SearchResult res = SearchDrive(0);
        ASSERT_TRUE(res.completed) << img.name;
        std::vector<Found> got;
        for (const auto& c : res.found) got.emplace_back(c.start, c.sectors, c.fileSystem);
        EXPECT_EQ(got, img.removed) << img.name;
        // The FAT16 of lost-b leaves 2048 free sectors of its stretch: a gap of its own.
        bool gapAfter = false;
        for (const auto& r : res.records) gapAfter |= r.isGap() && r.startSector == 139264 && r.totalBytes == 2048 * 512;
        EXPECT_EQ(gapAfter, !img.gpt) << img.name;
        // Cancel (the progress dialog's button) stops the search before its next read.
        std::atomic<bool> cancel{true};
        ProgressFields progress;
        SearchResult stopped = SearchDrive(0, {&cancel, &progress});
        EXPECT_TRUE(stopped.cancelled && !stopped.completed && stopped.found.empty());
        EXPECT_GT(progress.m_nProgressTotal.load(), 0u);
        DeviceTable::Global().clear();
    }
}

TEST_F(LostPartitions, RestoreBringsBackTheTableWritingOnlyTableSectorsAndUndoRestoresEveryByte) {
    const std::set<Entry> full = FullTable();
    ASSERT_EQ(full.size(), 6u);
    for (const auto& img : kImages) {
        test::ScratchDir dir;
        Restored r = RestoreAll(dir, img);
        ASSERT_EQ(r.found.size(), 2u) << img.name;
        EXPECT_EQ(TableOf(r.copy), img.gpt ? kFullGpt : full) << img.name;
        // The logical partitions are chained in disk order.
        std::shared_ptr<FileDevice> dev;
        ASSERT_EQ(FileDevice::open(r.copy, false, dev), kSuccess);
        DiskLayout layout;
        ASSERT_TRUE(ReadDiskLayout(*dev, layout));
        std::vector<uint64_t> starts;
        for (const auto& n : layout.chain) starts.push_back(n.dataStart);
        if (!img.gpt) {
            EXPECT_EQ(starts, (std::vector<uint64_t>{106496, 141312, 176128})) << img.name;
        }
        dev.reset();

        const auto original = Bytes(kDir + "/" + img.name);
        EXPECT_EQ(ChangedSectors(original, Bytes(r.copy)), r.planned) << img.name;
        DeviceTable::Global().clear();
        std::shared_ptr<FileDevice> rw;
        ASSERT_EQ(FileDevice::open(r.copy, true, rw), kSuccess);
        for (auto it = r.undo.rbegin(); it != r.undo.rend(); ++it) {
            UndoFile u;
            std::string error;
            ASSERT_TRUE(ReadUndoFile(*it, u, error)) << error;
            EXPECT_FALSE(u.tableBackup.empty());
            ASSERT_TRUE(ApplyUndo(*rw, u, error)) << error;
            EXPECT_FALSE(ApplyUndo(*rw, u, error)) << "a second undo must find the sectors changed";
        }
        rw.reset();
        EXPECT_TRUE(Bytes(r.copy) == original) << img.name;
    }
}

bool Have(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

void Extract(const std::string& image, uint64_t start, uint64_t sectors, const std::string& to) {
    std::ifstream in(image, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(start * 512));
    std::vector<char> buf(sectors * 512);
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    std::ofstream(to, std::ios::binary).write(buf.data(), static_cast<std::streamsize>(buf.size()));
}

TEST_F(LostPartitions, SfdiskListsTheRestoredTableAndTheFileSystemCheckersPass) {
    for (const char* tool : {"sfdisk", "sgdisk", "e2fsck", "fsck.fat", "ntfsfix"})
        if (!Have(tool)) GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh installs it)";
    // The entry lines of a dump, without the device names in front of them.
    auto entries = [](const std::string& path) {
        std::ifstream in(path);
        std::vector<std::string> out;
        std::regex entry(R"(start=.*)");
        for (std::string l; std::getline(in, l);) {
            std::smatch m;
            if (std::regex_search(l, m, entry)) out.push_back(m[0]);
        }
        return out;
    };
    const auto full = entries(kDir + "/full.sfdisk");
    ASSERT_EQ(full.size(), 6u);
    for (const auto& img : kImages) {
        test::ScratchDir dir;
        Restored r = RestoreAll(dir, img);
        std::string dump = (dir.path() / "dump").string();
        if (img.gpt) {
            // Both headers and arrays with their CRCs, the protective MBR as sgdisk expects it.
            ASSERT_EQ(std::system(("sgdisk -v '" + r.copy + "' >'" + dump + "' 2>&1").c_str()), 0);
            EXPECT_NE(test::ReadWholeFile(dump).find("No problems found"), std::string::npos) << test::ReadWholeFile(dump);
        } else {
            ASSERT_EQ(std::system(("sfdisk -d '" + r.copy + "' >'" + dump + "' 2>/dev/null").c_str()), 0);
            EXPECT_EQ(entries(dump), full) << img.name;
        }
        for (const auto& p : r.found) {
            std::string part = (dir.path() / "part").string();
            Extract(r.copy, p.startSector, p.totalBytes / 512, part);
            std::string fsName = p.fileSystemName();
            std::string check = fsName == "NTFS" ? "ntfsfix -n" : fsName.rfind("EXT", 0) == 0 ? "e2fsck -fn" : "fsck.fat -n";
            EXPECT_EQ(std::system((check + " '" + part + "' >/dev/null 2>&1").c_str()), 0) << fsName;
        }
    }
}

TEST_F(LostPartitions, CliWritesNothingWithoutYesAndDryRunShowsOldAndNewBytes) {
    test::ScratchDir dir;
    std::string copy = (dir.path() / "lost-a.img").string();
    fs::copy_file(kDir + "/lost-a.img", copy);
    const auto before = Bytes(copy);
    test::CliRun dry = test::RunCli("--image '" + copy + "' partitions restore --drive 0 --start 141312 --dry-run");
    EXPECT_EQ(dry.status, 0) << dry.out;
    EXPECT_NE(dry.out.find("sector 139264 (extended boot record), 16-byte lines that change:"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("1c0 new 21 00 83"), std::string::npos) << dry.out;
    test::CliRun no = test::RunCli("--image '" + copy + "' partitions restore --drive 0 --start 141312 </dev/null");
    EXPECT_EQ(no.status, 1) << no.out;
    EXPECT_TRUE(Bytes(copy) == before);

    test::CliRun search = test::RunCli("--image '" + copy + "' partitions search --drive 0 --json");
    EXPECT_EQ(search.status, 0);
    EXPECT_NE(search.out.find("\"fileSystem\": \"EXT3\""), std::string::npos) << search.out;
    std::string undo = (dir.path() / "u.vundo").string();
    test::CliRun yes = test::RunCli("--image '" + copy + "' partitions restore --drive 0 --start 71680 --yes --undo-file '" + undo + "'");
    EXPECT_EQ(yes.status, 0) << yes.out;
    test::CliRun back = test::RunCli("--image '" + copy + "' partitions undo '" + undo + "' --yes");
    EXPECT_EQ(back.status, 0) << back.out;
    EXPECT_TRUE(Bytes(copy) == before);
}

}  // namespace
}  // namespace vantor
