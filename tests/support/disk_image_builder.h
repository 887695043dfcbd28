#pragma once
// Builds small disk images in memory for precise partition-table cases:
// MBR and EBR entries, boot-sector stubs with the FAT/NTFS/EXT markers, and
// GPT headers and entry arrays with correct CRCs.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/block_device.h"

namespace vantor::test {

class DiskImageBuilder {
public:
    explicit DiskImageBuilder(uint64_t sectors) : bytes_(sectors * 512) {}

    // Writes a 16-byte table entry (slot 0..3) into the table sector at lba.
    DiskImageBuilder& entry(uint64_t tableLba, int slot, uint8_t type, uint32_t start, uint32_t count);
    DiskImageBuilder& signature(uint64_t lba);  // 55AAh at 510
    DiskImageBuilder& fat16Boot(uint64_t lba);
    DiskImageBuilder& fat32Boot(uint64_t lba);
    DiskImageBuilder& ntfsBoot(uint64_t lba);
    // EXT superblock at lba + 2 sectors; journal inode 0 gives EXT2.
    DiskImageBuilder& extSuperblock(uint64_t lba, uint32_t journalInode, const std::string& volumeName,
                                    uint32_t logBlockSize = 0, uint32_t blocksPerGroup = 8192,
                                    uint32_t freeBlocks = 100);

    struct GptPart {
        uint64_t first;
        uint64_t last;
        bool linuxData = false;
    };
    // Protective MBR, primary header at 1, entries at 2..33, backup at the end.
    DiskImageBuilder& gpt(const std::vector<GptPart>& parts, uint64_t firstUsable = 34);

    uint8_t* at(uint64_t byteOffset) { return reinterpret_cast<uint8_t*>(bytes_.data() + byteOffset); }
    std::vector<std::byte>& bytes() { return bytes_; }
    std::shared_ptr<MemoryDevice> device() const { return std::make_shared<MemoryDevice>(bytes_); }

private:
    std::vector<std::byte> bytes_;
};

}  // namespace vantor::test
