#pragma once
#include <memory>

#include "shell/engine_registry.h"

namespace vantor {

std::unique_ptr<EngineSession> CreateNtfsSession(const PartitionRecord& record);

}  // namespace vantor
