#include "recovery/engine_registry.h"

#include "recovery/exfat_session.h"
#include "recovery/ext_session.h"
#include "recovery/fat_session.h"
#include "recovery/ntfs_session.h"

namespace vantor {

namespace {

enum class EngineKind { None, Fat16, Fat32, Ntfs, Ext, Exfat };

// Only the names a mounted volume carries; "#FAT32#" and the like are known
// from a type byte alone and are offered to the raw scan only.
EngineKind KindFor(const std::string& name) {
    if (name == "FAT32") return EngineKind::Fat32;
    if (name == "FAT" || name == "FAT16") return EngineKind::Fat16;
    if (name == "NTFS") return EngineKind::Ntfs;
    if (name == "EXT2" || name == "EXT3" || name == "EXT4") return EngineKind::Ext;
    if (name == "exFAT") return EngineKind::Exfat;
    return EngineKind::None;
}

}  // namespace

std::unique_ptr<EngineSession> CreateEngineSession(const PartitionRecord& record) {
    switch (KindFor(record.fileSystemName())) {
        case EngineKind::Fat16: return CreateFatSession(record, 1);
        case EngineKind::Fat32: return CreateFatSession(record, 2);
        case EngineKind::Ntfs: return CreateNtfsSession(record);
        case EngineKind::Ext: return CreateExtSession(record);
        case EngineKind::Exfat: return CreateExfatSession(record);
        case EngineKind::None: break;
    }
    return nullptr;
}

bool HasEngineFor(const std::string& fileSystemName) {
    return KindFor(fileSystemName) != EngineKind::None;
}

}  // namespace vantor
