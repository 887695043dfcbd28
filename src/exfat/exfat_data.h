#pragma once
// Where an exFAT entry set's data lies and what the current allocation
// bitmap left of it. A file without a FAT chain is contiguous from its first
// cluster; one with a chain follows the FAT while the chain is intact (its
// length fits the data length and it ends with the end mark), and else its
// first cluster and then the clusters the bitmap holds free after it. A
// record of the formatted scan (FAT and bitmap new) is taken contiguous.
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "dialogs/data_condition.h"
#include "exfat/exfat_dirent.h"
#include "exfat/exfat_volume.h"

namespace vantor {

enum class ExfatRule : uint8_t { Contiguous, FatChain, FreeAfterFirst };

struct ExfatExtent {
    uint64_t offset = 0;  // volume-relative bytes
    uint64_t length = 0;
};

struct ExfatDataLayout {
    std::vector<ExfatExtent> extents;
    uint64_t bytes = 0;           // the data length the extents cover (<= the set's when cut)
    ExfatRule rule = ExfatRule::Contiguous;
    bool cutAtVolumeEnd = false;  // the clusters ran out before the data did
    bool badFirstCluster = false; // first cluster outside the heap: nothing to read
    DataCondition condition = DataCondition::Unknown;
};

// fatKnown: the FAT and bitmap are the ones the set was written under (the
// deleted scan); false for the formatted scan. maxBytes bounds the length
// taken (a directory's data).
ExfatDataLayout LocateExfatData(const CExfatVolume& volume, const ExfatEntrySet& set, bool fatKnown,
                                uint64_t maxBytes = UINT64_MAX);

// Reads the layout's first min(limit, layout.bytes) bytes in pieces of at
// most 4 MiB; bytes at or past validLength come as zeros without a read.
ErrorCode ReadExfatData(const CExfatVolume& volume, const ExfatDataLayout& layout, uint64_t validLength,
                        uint64_t limit, const std::atomic<bool>* running, std::vector<std::byte>& buf,
                        const std::function<ErrorCode(ByteSpan)>& sink);

}  // namespace vantor
