#pragma once
#include <memory>

#include "shell/engine_registry.h"

namespace vantor {

std::unique_ptr<EngineSession> CreateFatSession(const PartitionRecord& record, int fatKind);

}  // namespace vantor
