#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "partition/backup_file.h"
#include "support/scratch_dir.h"

namespace vantor {
namespace {

PhysicalDriveInfo Drive(const char* model, int64_t size) {
    PhysicalDriveInfo d;
    copyToField(d.modelText, sizeof d.modelText, model);
    d.sizeBytes = size;
    d.driveIndex = 1;
    d.busType = 7;
    return d;
}

TEST(PartitionBackupFile, LayoutRoundTripCutRecordsAndDriveMatch) {
    PartitionRecord a, b;
    a.setFileSystem("NTFS");
    a.startSector = 2048;
    a.bootSector[3] = 'N';
    b.setFileSystem("Deleted");
    auto bytes = SerializeBackup(Drive("ACME Disk", 1 << 30), {a, b});
    ASSERT_EQ(bytes.size(), 292u + 2 * 600);
    EXPECT_EQ(bytes[0], std::byte{0xEF});
    EXPECT_EQ(bytes[3], std::byte{0x89});
    EXPECT_EQ(readLe64(bytes, 268), uint64_t{1} << 30);
    EXPECT_EQ(readLe32(bytes, 280), 1u);
    EXPECT_EQ(readLe32(bytes, 292 + 52), 2048u);

    struct Case {
        size_t keep;  // bytes of the file kept
        bool ok;
        size_t records;
    };
    for (const Case& c : {Case{bytes.size(), true, 2}, Case{bytes.size() - 1, true, 1}, Case{292, true, 0},
                          Case{291, false, 0}, Case{3, false, 0}}) {
        BackupContents got;
        EXPECT_EQ(ParseBackup(ByteSpan(bytes.data(), c.keep), got), c.ok) << c.keep;
        if (c.ok) {
            EXPECT_EQ(got.records.size(), c.records) << c.keep;
        }
        if (c.records == 2) {
            EXPECT_EQ(got.records[0].serialize(), a.serialize());
        }
    }
    BackupContents got;
    ASSERT_TRUE(ParseBackup(bytes, got));
    auto moved = Drive("ACME Disk", 1 << 30);
    moved.driveIndex = 0;  // the same disk under another number still matches
    EXPECT_TRUE(BackupBelongsTo(got, moved));
    EXPECT_FALSE(BackupBelongsTo(got, Drive("ACME Disk", 2 << 30)));
    EXPECT_FALSE(BackupBelongsTo(got, Drive("ACME Disk2", 1 << 30)));
    bytes[0] = std::byte{0};
    EXPECT_FALSE(ParseBackup(bytes, got));
}

TEST(PartitionBackupFile, WrittenFilesAreListedFromBothFoldersByModelText) {
    test::ScratchDir dir;
    auto user = dir.path() / "user", program = dir.path() / "program";
    ASSERT_TRUE(EnsureFolder(user.string()) && EnsureFolder(program.string()));
    PhysicalDriveInfo d = Drive("ACME Disk", 1 << 20);
    ASSERT_TRUE(WriteBackupFile((user / "ACME Disk 1.pbf").string(), d, {}));
    ASSERT_TRUE(WriteBackupFile((program / "ACME Disk old.pbf").string(), d, {}));
    ASSERT_TRUE(WriteBackupFile((program / "Other ACME Disk.pbf").string(), d, {}));
    std::ofstream(user / "ACME Disk notes.txt") << "x";
    auto list = ListBackups("ACME Disk", {user.string(), program.string(), ""});
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].path, (user / "ACME Disk 1.pbf").string());
    EXPECT_EQ(list[1].path, (program / "ACME Disk old.pbf").string());
    BackupContents got;
    std::string error;
    ASSERT_TRUE(ReadBackupFile(list[0].path, got, error)) << error;
    EXPECT_TRUE(got.records.empty());
    EXPECT_EQ(BackupTimeText(0).substr(0, 5), "     ");
}

}  // namespace
}  // namespace vantor
