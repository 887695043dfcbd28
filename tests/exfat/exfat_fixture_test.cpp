// The exFAT engine end to end on volumes made by mkfs.exfat and exfat-fuse
// (tests/fixtures/make-exfat-fixtures.sh): detection, free space, the deleted
// and formatted scans through `vantor`, byte-exact recovery with names and
// folder paths.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>

#include "disk/volume_mount.h"
#include "fat/fat_test_util.h"
#include "support/cli_runner.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;
using fattest::FixturePath;
using fattest::NumberedLines;
using fattest::XorshiftBytes;

std::string Text(const std::vector<std::byte>& b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }

std::vector<std::byte> Padded(std::vector<std::byte> b, size_t n) {
    b.resize(n, std::byte{0});
    return b;
}

void CollectFiles(const nlohmann::json& folder, const std::string& at, std::map<std::string, nlohmann::json>& out) {
    for (const auto& f : folder.value("files", nlohmann::json::array())) out[at + f["name"].get<std::string>()] = f;
    for (const auto& sub : folder.value("folders", nlohmann::json::array()))
        CollectFiles(sub, at + sub["name"].get<std::string>() + "/", out);
}

struct Expected {
    std::string path;  // below the destination
    std::vector<std::byte> content;
};

const std::string kLong = std::string(251, 'L') + ".txt";

std::vector<Expected> DeletedFiles() {
    return {{"DCIM/100CANON/IMG_0002.JPG", NumberedLines("exfat-big", 50000)},
            {"Dokumente/Übersicht café.txt", NumberedLines("exfat-ubersicht", 40)},
            {"Dokumente/日本語の名前.txt", NumberedLines("exfat-nihongo", 7)},
            {"Dokumente/" + kLong, NumberedLines("exfat-long", 12)},
            {"empty.dat", {}},
            {"frag/fragmented.bin", NumberedLines("exfat-frag", 5000)},
            {"Urlaub 2023/Strand.jpg", XorshiftBytes(1007, 30000)},
            {"Urlaub 2023/Tag 2/Berg.txt", NumberedLines("exfat-berg", 30)},
            {"short.bin", Padded(XorshiftBytes(1008, 10000), 50000)}};
}

// The old root lies under the new one: its entries (top.txt, the names of
// Photos and Docs) are gone; the folders below them come back under LostDIR.
std::vector<Expected> FormattedFiles() {
    return {{"LostDIR/DIR0/a.jpg", XorshiftBytes(2001, 40000)},
            {"LostDIR/DIR0/2024/Größe b.jpg", NumberedLines("exfat-grosse", 20000)},
            {"LostDIR/DIR0/2024/Juni/c.png", XorshiftBytes(2003, 9000)},
            {"LostDIR/DIR1/report.txt", NumberedLines("exfat-report", 100)}};
}

struct Case {
    const char* image;
    const char* label;
    uint64_t startByte;
    uint64_t freeClusters;  // as dump.exfat counts them
    const char* kind;
    std::vector<Expected> (*files)();
};

const Case kCases[] = {
    {"exfat-deleted.img", "CAMERA", 2048 * 512, 5578, "deleted", DeletedFiles},
    {"exfat-formatted.img", "NEWCARD", 0, 3580, "formatted", FormattedFiles},
};

TEST(ExfatFixture, MountedWithLabelAndFreeSpaceFromTheBitmap) {
    for (const Case& c : kCases) {
        std::shared_ptr<FileDevice> file;
        ASSERT_EQ(FileDevice::open(FixturePath(c.image), false, file), kSuccess) << c.image;
        FileDevice& dev = *file;
        const auto v = ProbeVolume(dev, c.startByte, dev.size() - c.startByte);
        ASSERT_TRUE(v) << c.image;
        EXPECT_EQ(v->fileSystem, "exFAT") << c.image;
        EXPECT_EQ(v->label, c.label) << c.image;
        EXPECT_EQ(CountFreeBytes(dev, c.startByte), c.freeClusters * 4096) << c.image;
        const auto r = test::RunCli("--quiet --image '" + FixturePath(c.image) + "' drives --json");
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("\"exFAT\""), std::string::npos) << c.image;
    }
}

TEST(ExfatFixture, EveryFileComesBackByteExactWithItsPath) {
    for (const Case& c : kCases) {
        test::ScratchDir scratch;
        const fs::path to = scratch.path() / "out";
        const auto r = test::RunCli("--quiet --image '" + FixturePath(c.image) + "' recover " + c.kind +
                                    " --partition 0 --json --to '" + to.string() + "'");
        ASSERT_EQ(r.status, 0) << r.out;
        const auto expected = c.files();
        size_t found = 0;
        for (const auto& e : fs::recursive_directory_iterator(to)) found += e.is_regular_file() ? 1 : 0;
        EXPECT_EQ(found, expected.size()) << c.image;
        for (const Expected& e : expected)
            EXPECT_EQ(test::ReadWholeFile(to / fs::u8path(e.path)), Text(e.content)) << c.image << ": " << e.path;
    }
}

TEST(ExfatFixture, ScanJsonCarriesTheEntryFields) {
    const auto r = test::RunCli("--quiet --image '" + FixturePath("exfat-deleted.img") + "' scan deleted --partition 0 --json");
    ASSERT_EQ(r.status, 0) << r.out;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["engine"], "exFAT");
    EXPECT_EQ(j["tree"]["name"], "exFAT - Logical Disk (C:)");
    std::map<std::string, nlohmann::json> files;
    CollectFiles(j["tree"], "", files);
    EXPECT_EQ(files.size(), DeletedFiles().size());
    for (const auto& [path, f] : files) EXPECT_EQ(f["condition"], "intact") << path;
    // Written in two pieces around C.bin: a FAT chain, which exfat-fuse
    // clears on delete; the free clusters after the first bring it back.
    EXPECT_EQ(files["frag/fragmented.bin"]["extra"]["noFatChain"], "0");
    EXPECT_EQ(files["DCIM/100CANON/IMG_0002.JPG"]["extra"]["noFatChain"], "1");
    EXPECT_EQ(files["DCIM/100CANON/IMG_0002.JPG"]["extra"]["modifiedUtc"], "2023-11-14T22:13:20.00+00:00");
    EXPECT_EQ(files["Urlaub 2023/Strand.jpg"]["extra"]["inDeletedFolder"], "1");
    EXPECT_EQ(files["Dokumente/" + kLong]["name"].get<std::string>().size(), 255u);

    // Selection by id and by folder.
    test::ScratchDir scratch;
    const fs::path to = scratch.path() / "out";
    const std::string id = files["Urlaub 2023/Tag 2/Berg.txt"]["id"];
    const auto rec = test::RunCli("--quiet --image '" + FixturePath("exfat-deleted.img") +
                                  "' recover deleted --partition 0 --select " + id + " --select Dokumente --to '" +
                                  to.string() + "'");
    ASSERT_EQ(rec.status, 0) << rec.out;
    size_t written = 0;
    for (const auto& e : fs::recursive_directory_iterator(to)) written += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(test::ReadWholeFile(to / "Urlaub 2023/Tag 2/Berg.txt"), Text(NumberedLines("exfat-berg", 30)));
}

}  // namespace
}  // namespace vantor
