// Hostile partition backup (.pbf) and undo files: both readers must refuse
// or load them without reading past the input or allocating without bound.
#include <cstdint>

#include "partition/backup_file.h"
#include "partition/undo_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantor;
    if (size > (4u << 20)) return 0;
    ByteSpan bytes(reinterpret_cast<const std::byte*>(data), size);
    BackupContents backup;
    if (ParseBackup(bytes, backup))
        for (const auto& r : backup.records) (void)r.fileSystemName();
    UndoFile undo;
    if (ParseUndo(bytes, undo)) (void)SerializeUndo(undo);
    return 0;
}
