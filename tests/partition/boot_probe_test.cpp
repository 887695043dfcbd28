// The probe over the real volumes of the lost-partition fixture, each with
// one field corrupted: a candidate is reported only while every check holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "partition/boot_probe.h"

namespace vantor {
namespace {

class Slice final : public SectorSource {
public:
    Slice(const std::string& image, uint64_t lba, uint64_t sectors) : bytes_(sectors * 512) {
        std::ifstream in(image, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(lba * 512));
        in.read(reinterpret_cast<char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    }
    uint64_t sectorCount() const override { return bytes_.size() / 512; }
    bool read(uint64_t lba, uint32_t count, std::byte* out) override {
        if (lba >= sectorCount() || count > sectorCount() - lba) return false;
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(lba * 512), size_t{count} * 512, out);
        return true;
    }
    std::vector<std::byte> bytes_;
};

TEST(BootProbe, RealVolumesAreFoundAndOneCorruptFieldRejectsThem) {
    const std::string a = std::string(VANTOR_FIXTURE_DIR) + "/lost-a.img";
    const std::string b = std::string(VANTOR_FIXTURE_DIR) + "/lost-b.img";
    struct Case {
        const char* what;
        std::string image;
        uint64_t lba, sectors;  // the slice probed at its sector 1 (sector 0 lies before the volume)
        size_t offset;          // byte of the slice changed; SIZE_MAX: none
        uint8_t value;
        const char* expect;     // "" when nothing may be found
        uint64_t probe = 1;
    };
    const size_t kNone = SIZE_MAX, v = 512;  // the volume's first byte in the slice
    const Case cases[] = {
        {"FAT32 and its backup at sector 6", b, 2047, 80, kNone, 0, "FAT32,FAT32"},
        {"FAT32 media byte of the FAT", b, 2047, 80, v + 32 * 512, 0xF0, ""},
        {"FAT32 sectors per cluster 3", b, 2047, 80, v + 13, 3, "FAT32"},  // the backup at 6 still holds
        {"FAT16", b, 106495, 80, kNone, 0, "FAT16"},
        {"FAT16 signature", b, 106495, 80, v + 510, 0, ""},
        {"FAT16 two FATs -> nine", b, 106495, 80, v + 16, 9, ""},
        {"EXT3", a, 141311, 80, kNone, 0, "EXT3"},
        {"EXT3 magic", a, 141311, 80, v + 1024 + 56, 0, ""},
        {"EXT3 backup group number", a, 141311, 80, v + 1024 + 90, 1, ""},
        {"EXT3 inode table past the end", a, 141311, 80, v + 2048 + 11, 0xFF, ""},
        {"NTFS", a, 71679, 32770, kNone, 0, "NTFS"},
        {"NTFS without its $MFT", a, 71679, 32770, v + 48, 0xEE, ""},
        // Main boot sector gone: the copy in the volume's last sector gives the start.
        {"NTFS from its backup", a, 71679, 32770, v + 3, 0, "NTFS", 32769},
    };
    for (const Case& c : cases) {
        Slice s(c.image, c.lba, c.sectors);
        if (c.offset != kNone) s.bytes_[c.offset] = std::byte{c.value};
        auto found = ProbeAt(s, c.probe);
        std::string got;
        for (const auto& f : found) got += (got.empty() ? "" : ",") + f.fileSystem;
        // A bad main boot sector leaves the backup's candidate, with the backup's bytes.
        if (std::string(c.what) == "FAT32 sectors per cluster 3") {
            ASSERT_EQ(found.size(), 1u) << c.what;
            EXPECT_TRUE(found[0].fromBackup);
            EXPECT_EQ(found[0].bootSector[13], std::byte{1});
        }
        EXPECT_EQ(got, c.expect) << c.what;
        if (c.probe != 1 && !found.empty()) {
            EXPECT_EQ(found[0].start, 1u);
            EXPECT_EQ(found[0].sectors, 32768u);
        }
    }
}

}  // namespace
}  // namespace vantor
