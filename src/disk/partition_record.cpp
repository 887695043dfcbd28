#include "disk/partition_record.h"

#include <cstring>

namespace vantor {

std::array<std::byte, PartitionRecord::kSerializedSize> PartitionRecord::serialize() const {
    std::array<std::byte, kSerializedSize> b{};
    writeLe32(b, 0, static_cast<uint32_t>(diskIndex));
    writeU8(b, 4, static_cast<uint8_t>(driveLetter));
    writeU8(b, 5, slotKind);
    writeLe32(b, 8, tableSector);
    writeLe32(b, 12, extendedBase);
    std::memcpy(b.data() + 16, fileSystem, sizeof fileSystem);
    std::memcpy(b.data() + 28, volumeLabel, sizeof volumeLabel);
    writeLe32(b, 52, startSector);
    writeLe32(b, 56, sectorsPerCluster);
    writeLe32(b, 60, bytesPerSector);
    writeLe64(b, 64, freeBytes);
    writeLe64(b, 72, totalBytes);
    std::memcpy(b.data() + 80, bootSector, sizeof bootSector);
    writeU8(b, 592, partitionType);
    return b;
}

PartitionRecord PartitionRecord::deserialize(ByteSpan b) {
    PartitionRecord r;
    if (b.size() < kSerializedSize) return r;
    r.diskIndex = static_cast<int32_t>(readLe32(b, 0));
    r.driveLetter = static_cast<char>(readU8(b, 4));
    r.slotKind = readU8(b, 5);
    r.tableSector = readLe32(b, 8);
    r.extendedBase = readLe32(b, 12);
    std::memcpy(r.fileSystem, b.data() + 16, sizeof r.fileSystem);
    std::memcpy(r.volumeLabel, b.data() + 28, sizeof r.volumeLabel);
    // Texts read from a file must stay terminated inside their fields.
    r.fileSystem[sizeof r.fileSystem - 1] = '\0';
    r.volumeLabel[sizeof r.volumeLabel - 1] = '\0';
    r.startSector = readLe32(b, 52);
    r.sectorsPerCluster = readLe32(b, 56);
    r.bytesPerSector = readLe32(b, 60);
    r.freeBytes = readLe64(b, 64);
    r.totalBytes = readLe64(b, 72);
    std::memcpy(r.bootSector, b.data() + 80, sizeof r.bootSector);
    r.partitionType = readU8(b, 592);
    return r;
}

std::string PartitionRecord::fileSystemName() const {
    return std::string(fileSystem, strnlen(fileSystem, sizeof fileSystem));
}

std::string PartitionRecord::label() const {
    return std::string(volumeLabel, strnlen(volumeLabel, sizeof volumeLabel));
}

void PartitionRecord::setFileSystem(const std::string& name) {
    copyToField(fileSystem, sizeof fileSystem, name);
}

void PartitionRecord::setLabel(const std::string& text) {
    copyToField(volumeLabel, sizeof volumeLabel, text);
}

}  // namespace vantor
