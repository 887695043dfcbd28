#include "disk/disk_inventory.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "disk/partition_table.h"
#include "disk/volume_mount.h"
#include "platform/device_table.h"

namespace vantor {

namespace {

std::string ModelTextOf(const StorageDescriptor& d) {
    if (!d.hasVendor) return d.productId;
    return d.vendorId + " " + d.productId;
}

std::string Printf(const char* fmt, auto... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

}  // namespace

std::array<std::byte, PhysicalDriveInfo::kSerializedSize> PhysicalDriveInfo::serialize() const {
    std::array<std::byte, kSerializedSize> b{};
    std::memcpy(b.data(), modelText, sizeof modelText);
    writeLe64(b, 264, static_cast<uint64_t>(sizeBytes));
    writeLe32(b, 272, removable);
    writeLe32(b, 276, driveIndex);
    writeLe32(b, 280, busType);
    return b;
}

PhysicalDriveInfo PhysicalDriveInfo::deserialize(ByteSpan b) {
    PhysicalDriveInfo d;
    if (b.size() < kSerializedSize) return d;
    std::memcpy(d.modelText, b.data(), sizeof d.modelText);
    d.modelText[sizeof d.modelText - 1] = '\0';
    d.sizeBytes = static_cast<int64_t>(readLe64(b, 264));
    d.removable = readLe32(b, 272);
    d.driveIndex = readLe32(b, 276);
    d.busType = readLe32(b, 280);
    return d;
}

std::string PhysicalDriveInfo::model() const {
    return std::string(modelText, strnlen(modelText, sizeof modelText));
}

CDiskInventory::CDiskInventory() {
    for (auto& s : lastEbr_) s = kNoEbr;
}

void CDiskInventory::Refresh() {
    drives_.clear();
    partitions_.clear();
    freePending_.clear();
    for (auto& s : lastEbr_) s = kNoEbr;
    // The platform check of the original (NT family only) always holds here.
    MountVolumes(DeviceTable::Global());
    EnumeratePhysicalDrives();
    EnumerateVolumes();
}

uint64_t CDiskInventory::QueryDiskSize(int driveIndex) {
    StorageDescriptor desc;
    if (!DeviceTable::Global().queryStorageProperty(driveIndex, desc) || desc.deviceType != 0) return 0;
    DiskGeometry geo;
    if (DeviceTable::Global().queryGeometry(driveIndex, geo))
        return geo.cylinders * geo.tracksPerCylinder * geo.sectorsPerTrack * geo.bytesPerSector;
    // No geometry: take the device's exact size rather than an undefined one.
    DevicePtr dev;
    if (DeviceTable::Global().openDrive(driveIndex, Access::Read, dev) != kSuccess) return 0;
    return dev->size();
}

int CDiskInventory::EnumeratePhysicalDrives() {
    drives_.clear();
    DeviceTable& table = DeviceTable::Global();
    for (int n = 0; n < kMaxDrives; ++n) {
        DevicePtr dev;
        if (table.openDrive(n, Access::Read, dev) != kSuccess) continue;
        StorageDescriptor desc;
        if (!table.queryStorageProperty(n, desc) || desc.deviceType != 0) continue;
        PhysicalDriveInfo info;
        copyToField(info.modelText, sizeof info.modelText, ModelTextOf(desc));
        info.sizeBytes = static_cast<int64_t>(QueryDiskSize(n));
        info.removable = desc.removable ? 1 : 0;
        info.driveIndex = static_cast<uint32_t>(n);
        info.busType = desc.busType;
        drives_.push_back(info);
    }
    return driveCount();
}

bool CDiskInventory::QueryVolume(char letter, PartitionRecord& r) {
    auto v = DeviceTable::Global().volume(letter);
    if (!v) return false;
    r.setFileSystem(v->fileSystem);
    r.setLabel(v->label);
    r.sectorsPerCluster = v->sectorsPerCluster;
    r.bytesPerSector = v->bytesPerSector;
    // In 512-byte units whatever the volume's own sector size, as the table walk counts.
    r.startSector = static_cast<uint32_t>(v->startByte / 512);
    r.totalBytes = v->lengthBytes;
    return true;
}

int CDiskInventory::FindDriveByModel(const std::string& model) const {
    for (const auto& d : drives_)
        if (d.model() == model) return static_cast<int>(d.driveIndex);
    return -1;
}

int CDiskInventory::EnumerateVolumes() {
    partitions_.clear();
    freePending_.clear();
    DeviceTable& table = DeviceTable::Global();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        auto v = table.volume(letter);
        if (!v) continue;
        StorageDescriptor desc;
        if (!table.queryStorageProperty(v->driveNumber, desc) || desc.deviceType != 0) continue;
        PartitionRecord r;
        if (!QueryVolume(letter, r)) continue;
        // The mount step knows the drive; two disks of one model share a model text.
        r.diskIndex = v->driveNumber >= 0 ? v->driveNumber : FindDriveByModel(ModelTextOf(desc));
        r.driveLetter = letter;
        freePending_.push_back({partitionCount(), v->driveNumber, v->startByte});
        partitions_.push_back(r);
    }
    size_t volumeCount = partitions_.size();
    MergePartitionRecords(partitions_, volumeCount, CollectAllPartitions(lastEbr_));
    return partitionCount();
}

uint32_t CDiskInventory::lastEbrSector(int drive) const {
    return drive >= 0 && drive < 26 ? lastEbr_[drive] : kNoEbr;
}

void CDiskInventory::setLastEbrSector(int drive, uint32_t sector) {
    if (drive >= 0 && drive < 26) lastEbr_[drive] = sector;
}

bool CDiskInventory::freeKnown(int partition) const {
    for (const auto& p : freePending_)
        if (p.partition == partition) return false;
    return true;
}

void CDiskInventory::setFreeBytes(int partition, uint64_t bytes) {
    if (partition < 0 || partition >= partitionCount()) return;
    partitions_[static_cast<size_t>(partition)].freeBytes = bytes;
    std::erase_if(freePending_, [partition](const PendingVolume& p) { return p.partition == partition; });
}

std::vector<FreeSpaceJob> CDiskInventory::freeSpaceJobs() const {
    std::vector<FreeSpaceJob> jobs;
    for (const auto& p : freePending_) {
        FreeSpaceJob job{p.partition, nullptr, p.startByte};
        if (DeviceTable::Global().openDrive(p.driveNumber, Access::Read, job.device) == kSuccess)
            jobs.push_back(std::move(job));
    }
    return jobs;
}

void CDiskInventory::CountFreeSpace() {
    // A volume whose boot sector no longer reads is shown with nothing free.
    for (const FreeSpaceJob& job : freeSpaceJobs())
        setFreeBytes(job.partition, CountFreeBytes(*job.device, job.startByte).value_or(0));
}

FreeSpaceCounter::FreeSpaceCounter(std::vector<FreeSpaceJob> jobs, Counted onCounted) {
    thread_ = std::thread([this, jobs = std::move(jobs), onCounted = std::move(onCounted)] {
        for (const FreeSpaceJob& job : jobs) {
            const auto bytes = CountFreeBytes(*job.device, job.startByte, &stop_);
            if (stop_) return;
            onCounted(job.partition, bytes.value_or(0));
        }
    });
}

FreeSpaceCounter::~FreeSpaceCounter() {
    stop_ = true;
    thread_.join();
}

void MergePartitionRecords(std::vector<PartitionRecord>& table, size_t volumeCount,
                           const std::vector<PartitionRecord>& walked) {
    for (const auto& rec : walked) {
        bool matched = false;
        for (size_t i = 0; i < volumeCount && i < table.size(); ++i) {
            PartitionRecord& vol = table[i];
            int64_t delta = static_cast<int64_t>(vol.startSector) - static_cast<int64_t>(rec.startSector);
            if (vol.diskIndex == rec.diskIndex && (delta < 0 ? -delta : delta) < 63) {
                vol.slotKind = rec.slotKind;
                vol.partitionType = rec.partitionType;
                vol.extendedBase = rec.extendedBase;
                vol.tableSector = rec.tableSector;
                std::memcpy(vol.bootSector, rec.bootSector, sizeof vol.bootSector);
                matched = true;
                break;
            }
        }
        if (!matched) table.push_back(rec);
    }
}

ErrorCode ProbeDriveAccess(int driveIndex) {
    DevicePtr device;
    return DeviceTable::Global().openDrive(driveIndex, Access::Read, device);
}

std::string FormatSize(uint64_t bytes) {
    double kb = static_cast<double>(bytes / 1024) + static_cast<double>(bytes % 1024) / 1024.0;
    if (kb < 1024) return Printf("%.2f KB", kb);
    double mb = kb / 1024;
    if (mb < 1024) return Printf("%.2f MB", mb);
    return Printf("%.2f GB", mb / 1024);
}

std::string BusTypeText(uint32_t busType) {
    static const char* kTexts[] = {"Unknown", "SCSI", "ATAPI", "ATA", "1394", "SSA",
                                   "FIBRE",   "USB",  "RAID",  "iSCSI", "SAS", "SATA"};
    return busType < 12 ? kTexts[busType] : "";
}

std::string DriveListLabel(const PhysicalDriveInfo& d) {
    const std::string model = d.model();
    const std::string bus = BusTypeText(d.busType);
    const uint64_t bytes = static_cast<uint64_t>(d.sizeBytes < 0 ? 0 : d.sizeBytes);
    if (bytes < 1024)
        return Printf("%s (  BusType :  %s ,    Size :  %d B  )", model.c_str(), bus.c_str(),
                      static_cast<int>(bytes));
    double kb = static_cast<double>(bytes / 1024) + static_cast<double>(bytes % 1024) / 1024.0;
    if (kb < 1024)
        return Printf("%s(  BusType :   %s ,    Size :  %.2f KB  )", model.c_str(), bus.c_str(), kb);
    double mb = kb / 1024;
    if (mb < 1024)
        return Printf("%s (  BusType :  %s ,    Size :  %.2f MB  )", model.c_str(), bus.c_str(), mb);
    return Printf("%s (  BusType :  %s ,    Size :  %.2f GB  )", model.c_str(), bus.c_str(), mb / 1024);
}

PartitionListLabel MakePartitionListLabel(const PartitionRecord& r) {
    PartitionListLabel l;
    l.letterAndFileSystem = Printf("%c:  %s", r.driveLetter, r.fileSystemName().c_str());
    // Sectors are unsigned 32-bit: printed unsigned so large disks do not go
    // negative; the end is signed so an empty record at 0 ends at -1.
    l.startText = Printf("Start Sector : %u", r.startSector);
    l.endText = Printf("End Sector : %lld", static_cast<long long>(r.endSector()) - 1);
    return l;
}

}  // namespace vantor
