#include <CLI/CLI.hpp>

#include "cli/commands.h"

namespace vantor::cli {

// scan / recover arrive with the FAT engine.
void AddScanCommands(CLI::App& app, CliContext& ctx) {
    (void)app;
    (void)ctx;
}

}  // namespace vantor::cli
