#pragma once
// Shared by the EXT tests: the ext-deleted.img fixture's two volumes, read
// into memory so that a case can corrupt one field.
#include <cstdint>
#include <string>
#include <vector>

#include "ext/ext_volume.h"
#include "fat/fat_test_util.h"

namespace vantor::exttest {

struct FixtureVolume {
    const char* name;
    uint64_t startSector;
    uint64_t sectors;
};
inline constexpr FixtureVolume kExt2{"ext2", 2048, 16384};
inline constexpr FixtureVolume kExt4{"ext4", 18432, 32768};

inline std::vector<std::byte> VolumeBytes(const FixtureVolume& v) {
    const std::vector<std::byte> disk = fattest::ReadWholeFile(fattest::FixturePath("ext-deleted.img"));
    if (disk.size() < (v.startSector + v.sectors) * 512) return {};
    return {disk.begin() + static_cast<std::ptrdiff_t>(v.startSector * 512),
            disk.begin() + static_cast<std::ptrdiff_t>((v.startSector + v.sectors) * 512)};
}

inline std::unique_ptr<CExt2Volume> OpenBytes(std::vector<std::byte> bytes) {
    const uint64_t n = bytes.size();
    return std::make_unique<CExt2Volume>(std::make_shared<MemoryDevice>(std::move(bytes)), 0, n);
}

}  // namespace vantor::exttest
