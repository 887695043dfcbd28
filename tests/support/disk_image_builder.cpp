#include "support/disk_image_builder.h"

#include <cstring>

#include "platform/byte_order.h"
#include "platform/crc32.h"

namespace vantor::test {

namespace {

MutableByteSpan Span(std::vector<std::byte>& b, uint64_t off, size_t n) {
    return MutableByteSpan(b.data() + off, n);
}

}  // namespace

DiskImageBuilder& DiskImageBuilder::entry(uint64_t tableLba, int slot, uint8_t type, uint32_t start,
                                          uint32_t count) {
    auto s = Span(bytes_, tableLba * 512, 512);
    size_t off = 446 + static_cast<size_t>(slot) * 16;
    writeU8(s, off + 4, type);
    writeLe32(s, off + 8, start);
    writeLe32(s, off + 12, count);
    return signature(tableLba);
}

DiskImageBuilder& DiskImageBuilder::signature(uint64_t lba) {
    writeLe16(Span(bytes_, lba * 512, 512), 510, 0xAA55);
    return *this;
}

DiskImageBuilder& DiskImageBuilder::fat16Boot(uint64_t lba) {
    auto s = Span(bytes_, lba * 512, 512);
    writeU8(s, 0, 0xEB);
    std::memcpy(s.data() + 54, "FAT16   ", 8);
    return signature(lba);
}

DiskImageBuilder& DiskImageBuilder::fat32Boot(uint64_t lba) {
    auto s = Span(bytes_, lba * 512, 512);
    writeU8(s, 0, 0xEB);
    std::memcpy(s.data() + 82, "FAT32   ", 8);
    return signature(lba);
}

DiskImageBuilder& DiskImageBuilder::ntfsBoot(uint64_t lba) {
    auto s = Span(bytes_, lba * 512, 512);
    writeU8(s, 0, 0xEB);
    std::memcpy(s.data() + 3, "NTFS    ", 8);
    return signature(lba);
}

DiskImageBuilder& DiskImageBuilder::extSuperblock(uint64_t lba, uint32_t journalInode,
                                                  const std::string& volumeName, uint32_t logBlockSize,
                                                  uint32_t blocksPerGroup, uint32_t freeBlocks) {
    auto s = Span(bytes_, (lba + 2) * 512, 1024);
    writeLe32(s, 12, freeBlocks);
    writeLe32(s, 24, logBlockSize);
    writeLe32(s, 32, blocksPerGroup);
    writeLe16(s, 56, 0xEF53);
    std::memcpy(s.data() + 120, volumeName.data(), volumeName.size() < 16 ? volumeName.size() : 16);
    writeLe32(s, 224, journalInode);
    return *this;
}

DiskImageBuilder& DiskImageBuilder::gpt(const std::vector<GptPart>& parts, uint64_t firstUsable) {
    const uint64_t sectors = bytes_.size() / 512;
    entry(0, 0, 0xEE, 1, static_cast<uint32_t>(sectors - 1));
    // Entries: 128 of 128 bytes at LBA 2 (and a copy before the backup header).
    std::vector<std::byte> entries(128 * 128);
    for (size_t i = 0; i < parts.size(); ++i) {
        MutableByteSpan e(entries.data() + i * 128, 128);
        static const uint8_t kBasicData[16] = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                               0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
        static const uint8_t kLinux[16] = {0xAF, 0x3D, 0xC6, 0x0F, 0x83, 0x84, 0x72, 0x47,
                                           0x8E, 0x79, 0x3D, 0x69, 0xD8, 0x47, 0x7D, 0xE4};
        std::memcpy(e.data(), parts[i].linuxData ? kLinux : kBasicData, 16);
        writeU8(e, 16, static_cast<uint8_t>(i + 1));  // unique GUID
        writeLe64(e, 32, parts[i].first);
        writeLe64(e, 40, parts[i].last);
    }
    const uint32_t entriesCrc = Crc32(entries);
    const uint64_t lastUsable = sectors - 34;
    auto header = [&](uint64_t myLba, uint64_t altLba, uint64_t entriesLba) {
        auto h = Span(bytes_, myLba * 512, 512);
        std::memset(h.data(), 0, 512);
        std::memcpy(h.data(), "EFI PART", 8);
        writeLe32(h, 8, 0x00010000);
        writeLe32(h, 12, 92);
        writeLe64(h, 24, myLba);
        writeLe64(h, 32, altLba);
        writeLe64(h, 40, firstUsable);
        writeLe64(h, 48, lastUsable);
        writeLe64(h, 72, entriesLba);
        writeLe32(h, 80, 128);
        writeLe32(h, 84, 128);
        writeLe32(h, 88, entriesCrc);
        writeLe32(h, 16, Crc32(ByteSpan(h.data(), 92)));
        std::memcpy(bytes_.data() + entriesLba * 512, entries.data(), entries.size());
    };
    header(1, sectors - 1, 2);
    header(sectors - 1, 1, sectors - 33);
    return *this;
}

}  // namespace vantor::test
