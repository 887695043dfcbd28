#pragma once
// Recognises a lost file system from the sectors around a probed position:
// FAT12/16/32, NTFS and exFAT boot sectors, EXT superblocks 1024 bytes in,
// and the backups a damaged start leaves (FAT32's copy at sector 6, NTFS's
// at the volume's last sector). A candidate is reported only when every
// field check and the deeper read (the FAT's media byte, the $MFT record,
// the first group descriptor) agree.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/byte_order.h"

namespace vantor {

// Reads whole 512-byte sectors; false when any of them cannot be read.
class SectorSource {
public:
    virtual ~SectorSource() = default;
    virtual uint64_t sectorCount() const = 0;
    virtual bool read(uint64_t lba, uint32_t count, std::byte* out) = 0;
};

struct Candidate {
    uint64_t start = 0;    // absolute LBA of the partition's first sector
    uint64_t sectors = 0;  // the size its boot sector or superblock states
    std::string fileSystem;  // "FAT12", "FAT16", "FAT32", "NTFS", "exFAT", "EXT2", "EXT3", "EXT4"
    bool fromBackup = false;  // found through a backup copy of the boot sector
    std::array<std::byte, 512> bootSector{};  // what belongs at start
};

// The file systems a boot sector at lba (or a superblock two sectors on,
// or the backups around it) says start at or end next to lba.
std::vector<Candidate> ProbeAt(SectorSource& src, uint64_t lba);

// Field checks of one boot sector alone; sectors receives the stated size in
// 512-byte sectors. Empty when nothing consistent is there.
std::string FatBootSectorKind(ByteSpan sector, uint64_t& sectors);
bool NtfsBootSectorFields(ByteSpan sector, uint64_t& sectors);
bool ExfatBootSectorFields(ByteSpan sector, uint64_t& sectors);
// A 1024-byte primary superblock: "EXT2", "EXT3", "EXT4" or empty.
std::string ExtSuperblockKind(ByteSpan superblock, uint64_t& sectors);

}  // namespace vantor
