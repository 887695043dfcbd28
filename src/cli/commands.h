#pragma once
// The subcommands of `vantor`. Each Add* registers its options on the app
// and a callback that sets ctx.exitCode.
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace vantor::cli {

// Exit codes: 0 ok, 1 nothing found / partial failure, 2 usage, 3 device or I/O error.
inline constexpr int kExitOk = 0;
inline constexpr int kExitPartial = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDevice = 3;

struct CliContext {
    std::vector<std::string> images;
    bool quiet = false;
    bool progress = false;
    int exitCode = kExitOk;
};

// Attaches --image files (or VANTOR_IMAGES, else the system's drives); the
// inventory's Refresh then mounts their volumes, once. Prints the reason and
// returns false when an image cannot be opened.
bool SetUpDevices(CliContext& ctx);

void AddDrivesCommand(CLI::App& app, CliContext& ctx);
void AddScanCommands(CLI::App& app, CliContext& ctx);
void AddPartitionsCommand(CLI::App& app, CliContext& ctx);
void AddRepairCommand(CLI::App& app, CliContext& ctx);

}  // namespace vantor::cli
