#include "shell/sessions/fat_session.h"

namespace vantor {

// Replaced by the engine's session when the engine lands.
std::unique_ptr<EngineSession> CreateFatSession(const PartitionRecord& record, int fatKind) {
    (void)record; (void)fatKind;
    return nullptr;
}

}  // namespace vantor
