#include "partition/partition_page_model.h"

#include "partition/backup_file.h"

namespace vantor {

Rgb DiskMapColour(const std::string& fs) {
    if (fs == "FAT12") return {255, 255, 0};
    if (fs == "FAT16" || fs == "FAT") return {0, 255, 0};
    if (fs == "FAT32") return {0, 0, 255};
    if (fs == "NTFS") return {255, 0, 255};
    if (fs == "EXT2") return {0, 255, 255};
    if (fs == "EXT3") return {120, 120, 0};
    return {190, 190, 190};
}

namespace {

void Span(const PartitionRecord& r, int64_t size, const MapRect& map, int& left, int& right) {
    const double x0 = map.left + 8, span = map.right - map.left - 16;
    const double s = static_cast<double>(size > 0 ? size : 1);
    left = static_cast<int>(x0 + span * (static_cast<double>(r.startSector) * 512.0 / s));
    right = static_cast<int>(left + span * (static_cast<double>(r.totalBytes) / s) - 1);
}

}  // namespace

std::vector<DiskMapStrip> DiskMapStrips(const std::vector<PartitionRecord>& records, int64_t size,
                                        const MapRect& map) {
    std::vector<DiskMapStrip> out;
    for (const auto& r : records) {
        DiskMapStrip s;
        Span(r, size, map, s.left, s.right);
        s.colour = DiskMapColour(r.fileSystemName());
        s.text = std::string(1, r.driveLetter) + ": " + r.fileSystemName();
        out.push_back(s);
    }
    return out;
}

DiskMapStrip SelectionBar(const PartitionRecord& r, int64_t size, const MapRect& map) {
    DiskMapStrip s;
    Span(r, size, map, s.left, s.right);
    s.colour = DiskMapColour(r.fileSystemName());
    return s;
}

void PartitionPageModel::setDrives(std::vector<PhysicalDriveInfo> drives) {
    drives_ = std::move(drives);
    lastDriveSelection_ = -1;
    sources_.clear();
    partitions_.clear();
    selectedPartition_ = -1;
}

bool PartitionPageModel::selectDrive(int index, const std::vector<std::string>& folders) {
    if (index == lastDriveSelection_ || index < 0 || index >= static_cast<int>(drives_.size())) return false;
    lastDriveSelection_ = index;
    fillSources(folders);
    partitions_.clear();
    selectedPartition_ = -1;
    return true;
}

void PartitionPageModel::fillSources(const std::vector<std::string>& folders) {
    sources_.clear();
    sources_.push_back({SourceKind::AutoScan, "  Auto Scan ...    ", "(If you haven't any backup file)", 1});
    const std::string model = drives_[static_cast<size_t>(lastDriveSelection_)].model();
    for (const auto& b : ListBackups(model, folders))
        sources_.push_back({SourceKind::Backup, BackupTimeText(b.created), b.path, 0});
    sources_.push_back({SourceKind::AddBackup, "  Add backup file...", "(If you have backup files)", 2});
}

void PartitionPageModel::addBackupFile(const std::string& path) {
    if (sources_.empty()) return;
    sources_.insert(sources_.end() - 1, {SourceKind::Backup, BackupTimeText(FileCreationTime(path)), path, 0});
}

void PartitionPageModel::setPartitions(std::vector<PartitionRecord> records) {
    partitions_ = std::move(records);
    found_.assign(partitions_.size(), false);
    selectedPartition_ = -1;
}

void PartitionPageModel::setSearchResult(std::vector<PartitionRecord> records,
                                         const std::vector<PartitionRecord>& table) {
    setPartitions(std::move(records));
    for (size_t i = 0; i < partitions_.size(); ++i) {
        PartitionRecord& r = partitions_[i];
        if (r.isGap()) continue;
        found_[i] = true;
        for (const auto& t : table) {
            if (!t.isGap() && t.startSector == r.startSector && t.totalBytes == r.totalBytes) {
                r = t;
                found_[i] = false;
                break;
            }
        }
    }
}

bool PartitionPageModel::isFound(int index) const {
    return index >= 0 && index < static_cast<int>(found_.size()) && found_[static_cast<size_t>(index)];
}

const PartitionRecord* PartitionPageModel::selectedPartition() const {
    if (selectedPartition_ < 0 || selectedPartition_ >= static_cast<int>(partitions_.size())) return nullptr;
    return &partitions_[static_cast<size_t>(selectedPartition_)];
}

}  // namespace vantor
