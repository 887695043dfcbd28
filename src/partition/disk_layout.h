#pragma once
// The raw partition layout of one drive as the writer needs it: the master
// boot record's four entries, the chain of extended boot records with the
// slot each entry sits in, and every stretch no table entry covers.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/block_device.h"

namespace vantor {

inline constexpr size_t kMbrEntryOffsets[4] = {446, 462, 478, 494};

struct TableSlot {
    uint8_t type = 0;
    uint32_t start = 0;  // as stored: absolute in the MBR, relative in an EBR
    uint32_t count = 0;
    bool empty() const { return type == 0 && count == 0; }
};

TableSlot SlotAt(ByteSpan sector, int index);
// Writes a slot with boot indicator 0 and CHS computed from the LBA stored beside it.
void PutSlot(MutableByteSpan sector, int index, const TableSlot& slot);
bool IsExtendedTypeByte(uint8_t type);

struct EbrNode {
    uint32_t sector = 0;
    std::array<std::byte, 512> raw{};
    int dataSlot = -1;  // -1 when the record holds no logical partition
    int linkSlot = -1;
    uint64_t dataStart = 0;  // absolute
    uint64_t dataCount = 0;
};

struct FreeStretch {
    uint64_t start = 0;
    uint64_t end = 0;  // exclusive
    bool logical = false;  // inside the extended partition
};

struct DiskLayout {
    uint64_t sectors = 0;
    std::array<std::byte, 512> mbr{};
    bool gpt = false;
    int extendedSlot = -1;
    uint32_t extStart = 0;
    uint32_t extCount = 0;
    std::vector<EbrNode> chain;  // in link order
    std::vector<FreeStretch> free;  // ascending
    uint64_t extEnd() const { return uint64_t{extStart} + extCount; }
};

// Reads sector 0 and the chain; false on a read failure. A GPT disk gets its
// free stretches from the GPT walk and no chain.
bool ReadDiskLayout(BlockDevice& device, DiskLayout& out);

}  // namespace vantor
