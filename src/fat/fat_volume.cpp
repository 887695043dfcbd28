#include "fat/fat_volume.h"

namespace vantor {

CFatVolume::CFatVolume(FatKind kind, DevicePtr device, uint32_t partitionStart, char letter)
    : kind_(kind), device_(std::move(device)), partitionStart_(partitionStart), driveLetter_(letter) {}

void CFatVolume::open() { openError_ = kErrNotSupported; }
std::string CFatVolume::rootNodeText() const { return {}; }
std::vector<uint32_t> CFatVolume::chain(uint32_t, size_t) const { return {}; }
uint64_t CFatVolume::clusterSector(uint32_t) const { return 0; }
ErrorCode CFatVolume::readVolume(uint64_t, MutableByteSpan) const { return kErrNotSupported; }
ErrorCode CFatVolume::readClusters(uint32_t, uint32_t, MutableByteSpan) const { return kErrNotSupported; }
ErrorCode CFatVolume::readRootDirectory(std::vector<std::byte>&) const { return kErrNotSupported; }

CFat16Volume::CFat16Volume(const PartitionRecord& record)
    : CFatVolume(FatKind::Fat16, nullptr, record.startSector, record.driveLetter) {}
CFat16Volume::CFat16Volume(DevicePtr device, uint32_t partitionStart, char letter)
    : CFatVolume(FatKind::Fat16, std::move(device), partitionStart, letter) {}
CFat32Volume::CFat32Volume(const PartitionRecord& record)
    : CFatVolume(FatKind::Fat32, nullptr, record.startSector, record.driveLetter) {}
CFat32Volume::CFat32Volume(DevicePtr device, uint32_t partitionStart, char letter)
    : CFatVolume(FatKind::Fat32, std::move(device), partitionStart, letter) {}

std::unique_ptr<CFatVolume> OpenFatVolume(const PartitionRecord& record, int fatKind) {
    if (fatKind == 2) return std::make_unique<CFat32Volume>(record);
    return std::make_unique<CFat16Volume>(record);
}
std::unique_ptr<CFatVolume> OpenFatVolume(DevicePtr device, uint32_t partitionStart, char letter,
                                          int fatKind) {
    if (fatKind == 2) return std::make_unique<CFat32Volume>(std::move(device), partitionStart, letter);
    return std::make_unique<CFat16Volume>(std::move(device), partitionStart, letter);
}

}  // namespace vantor
