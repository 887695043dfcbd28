#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/commands.h"
#include "platform/block_device.h"
#include "platform/device_table.h"

namespace vantor::cli {

bool SetUpDevices(CliContext& ctx) {
    std::vector<std::string> images = ctx.images;
    if (images.empty()) images = ImagesFromEnvironment();
    DeviceTable& table = DeviceTable::Global();
    if (images.empty()) {
        table.useSystemDrives();
    } else {
        for (const auto& path : images) {
            std::shared_ptr<FileDevice> probe;
            ErrorCode rc = FileDevice::open(path, false, probe);
            if (rc != kSuccess) {
                std::fprintf(stderr, "vantor: cannot open disk image '%s': %s (error %u)\n", path.c_str(),
                             ErrorText(rc).c_str(), rc);
                ctx.exitCode = kExitDevice;
                return false;
            }
        }
        table.attachImages(images);
    }
    return true;
}

}  // namespace vantor::cli

int main(int argc, char** argv) {
    using namespace vantor::cli;
    CLI::App app{"Vantor Data Recovery Professional - command-line tool"};
    app.require_subcommand(1);
    app.fallthrough();
    CliContext ctx;
    app.add_option("--image", ctx.images, "Attach a disk image as a drive (repeatable)");
    app.add_flag("--quiet", ctx.quiet, "No progress on stderr");
    app.add_flag("--progress", ctx.progress, "Progress on stderr even when it is not a terminal");
    AddDrivesCommand(app, ctx);
    AddScanCommands(app, ctx);
    AddPartitionsCommand(app, ctx);
    AddRepairCommand(app, ctx);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : kExitUsage;
    }
    return ctx.exitCode;
}
