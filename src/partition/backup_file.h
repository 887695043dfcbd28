#pragma once
// Partition backup files (.pbf): magic EF CD AB 89, the drive's 288-byte
// PhysicalDriveInfo, then its 600-byte partition records to the end of the
// file (no count; a cut-off last record is dropped). Backups are written to
// the per-user data folder and listed from it and from the program folder.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "disk/disk_inventory.h"
#include "disk/partition_record.h"

namespace vantor {

inline constexpr uint32_t kBackupMagic = 0x89ABCDEFu;
inline constexpr size_t kBackupHeaderSize = 4 + PhysicalDriveInfo::kSerializedSize;
// A drive has a few dozen records; a file past this is not a backup.
inline constexpr uint64_t kMaxBackupBytes = kBackupHeaderSize + uint64_t{PartitionRecord::kSerializedSize} * 65536;

struct BackupContents {
    PhysicalDriveInfo drive;
    std::vector<PartitionRecord> records;
};

std::vector<std::byte> SerializeBackup(const PhysicalDriveInfo& drive, const std::vector<PartitionRecord>& records);
// False when the bytes do not start with the magic and a whole drive record.
bool ParseBackup(ByteSpan bytes, BackupContents& out);

bool WriteBackupFile(const std::string& path, const PhysicalDriveInfo& drive,
                     const std::vector<PartitionRecord>& records);
// error receives why a file was refused.
bool ReadBackupFile(const std::string& path, BackupContents& out, std::string& error);
// The same model text and size: the stored index, flag and bus type may differ.
bool BackupBelongsTo(const BackupContents& backup, const PhysicalDriveInfo& drive);

// The drive's records in the inventory's table order, as a backup keeps them.
std::vector<PartitionRecord> DriveRecords(const CDiskInventory& inventory, uint32_t driveIndex);

// $XDG_DATA_HOME/vantor/backup (~/.local/share/... without it): where backups
// and undo files are written. The program's own backup folder is only read.
std::string UserBackupFolder();
std::string ProgramBackupFolder();
bool EnsureFolder(const std::string& path);

struct BackupListing {
    std::string path;
    std::time_t created = 0;
};
// Files of both folders whose names begin with the drive's model text and end in .pbf.
std::vector<BackupListing> ListBackups(const std::string& modelText, const std::vector<std::string>& folders);
std::string BackupTimeText(std::time_t t);  // "     %Y-%m-%d %H:%M:%S", local time
std::time_t FileCreationTime(const std::string& path);

inline constexpr const char* kBackupConfirmText = "Do you want to back up all partitions on the disk ?";
inline constexpr const char* kBackupDoneText = "Backup has finished!";
inline constexpr const char* kBackupFailedText = "Can't backup the disk!";
inline constexpr const char* kBackupLoadFailedText = "Can't load the Backup file!";

}  // namespace vantor
