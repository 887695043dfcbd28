// The directory-sector test and entry decoding over one hostile sector.
#include <cstdlib>
#include <cstring>

#include "fat/fat_dirent.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    const ByteSpan in(reinterpret_cast<const std::byte*>(data), size);
    for (FatKind kind : {FatKind::Fat16, FatKind::Fat32}) {
        FatEntryRules rules;
        rules.kind = kind;
        rules.totalSectors = 1u << 20;
        rules.sectorsPerCluster = 8;
        rules.bytesPerSector = 512;
        rules.sectorsPerFat = 1024;
        rules.currentYear = 2026;
        (void)FatIsDirectorySector(in, rules);
        FatLongNameAccumulator lfn;
        for (size_t off = 0; off + 32 <= size; off += 32) {
            const FatDirEntry e{in.subspan(off, 32)};
            if (e.isLongName()) {
                lfn.add(e);
                if (lfn.text().size() > 2048) std::abort();
                continue;
            }
            (void)FatShortEntryValid(e, !lfn.empty(), rules);
            auto rec = MakeFatFoundFile(e, lfn.text(), kind);
            if (rec->name[sizeof(rec->name) - 1] != '\0' || rec->ext[sizeof(rec->ext) - 1] != '\0') std::abort();
            if (std::strlen(rec->ext) > 4) std::abort();
            lfn.clear();
        }
    }
    return 0;
}
