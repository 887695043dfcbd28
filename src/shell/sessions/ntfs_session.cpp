#include "shell/sessions/ntfs_session.h"

namespace vantor {

// Replaced by the engine's session when the engine lands.
std::unique_ptr<EngineSession> CreateNtfsSession(const PartitionRecord& record) {
    (void)record;
    return nullptr;
}

}  // namespace vantor
