#pragma once
// What the partition recovery page shows, without drawing it: the disk map's
// strips (proportional to the drive, coloured by file system), the source
// list (the search, the backups found, "Add backup file..."), the partition
// list of the chosen source, and the undo of the last restore. The Qt page
// draws this model and forwards clicks; searches and restores run on a worker.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disk/disk_inventory.h"
#include "disk/partition_record.h"

namespace vantor {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};
Rgb DiskMapColour(const std::string& fileSystem);

struct MapRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct DiskMapStrip {
    int left = 0;   // the block spans left + 1 .. right
    int right = 0;
    Rgb colour;
    std::string text;  // "%c: %s", drawn at left + 6
};

// One strip per record of the drive, in their order.
std::vector<DiskMapStrip> DiskMapStrips(const std::vector<PartitionRecord>& records, int64_t driveBytes,
                                        const MapRect& map);
// The bar under the map for the selected record, left + 1 .. right - 1.
DiskMapStrip SelectionBar(const PartitionRecord& record, int64_t driveBytes, const MapRect& map);

enum class SourceKind { AutoScan, Backup, AddBackup };
struct SourceRow {
    SourceKind kind = SourceKind::AutoScan;
    std::string dateText;  // first column
    std::string pathText;  // second column
    int image = 0;
};

class PartitionPageModel {
public:
    void setDrives(std::vector<PhysicalDriveInfo> drives);
    const std::vector<PhysicalDriveInfo>& drives() const { return drives_; }
    // False when index is the drive already selected (nothing changes then).
    bool selectDrive(int index, const std::vector<std::string>& backupFolders);
    int selectedDrive() const { return lastDriveSelection_; }

    const std::vector<SourceRow>& sources() const { return sources_; }
    // "Add backup file...": the file goes in just before the last row, unread.
    void addBackupFile(const std::string& path);

    // The partition list of the chosen source (a search or a loaded backup).
    void setPartitions(std::vector<PartitionRecord> records);
    // A search's records: its table entries are shown as the inventory
    // names them (letter, mounted file-system name); the rest were found
    // (or are gaps).
    void setSearchResult(std::vector<PartitionRecord> records, const std::vector<PartitionRecord>& table);
    // A partition the search found, not one the table already has.
    bool isFound(int index) const;
    const std::vector<PartitionRecord>& partitions() const { return partitions_; }
    void selectPartition(int index) { selectedPartition_ = index; }
    const PartitionRecord* selectedPartition() const;

    // After a restore: its undo file, offered as "Undo last restore".
    void setLastUndo(std::string path) { lastUndo_ = std::move(path); }
    const std::string& lastUndo() const { return lastUndo_; }

private:
    void fillSources(const std::vector<std::string>& folders);

    std::vector<PhysicalDriveInfo> drives_;
    int lastDriveSelection_ = -1;
    std::vector<SourceRow> sources_;
    std::vector<PartitionRecord> partitions_;
    std::vector<bool> found_;
    int selectedPartition_ = -1;
    std::string lastUndo_;
};

}  // namespace vantor
