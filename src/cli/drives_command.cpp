#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "disk/disk_inventory.h"

namespace vantor::cli {

namespace {

const char* SlotKindText(uint8_t k) {
    switch (k) {
        case 1: return "primary";
        case 2: return "logical";
        default: return "volume";
    }
}

std::string LetterText(char l) { return std::string(1, l); }

void PrintText(const CDiskInventory& inv) {
    std::printf("Drives:\n");
    for (const auto& d : inv.drives())
        std::printf("  %u  %s\n", d.driveIndex, DriveListLabel(d).c_str());
    std::printf("\nPartitions:\n");
    std::printf("  %-3s %-6s %-5s %-9s %-16s %12s %12s %12s %-8s %-4s %10s %10s\n", "#", "Drive", "Letter",
                "FS", "Label", "Start", "End", "Size", "Slot", "Type", "Table", "ExtBase");
    for (int i = 0; i < inv.partitionCount(); ++i) {
        const PartitionRecord& r = inv.partition(i);
        std::printf("  %-3d %-6d %-6s %-9s %-16s %12u %12llu %12s %-8s %02Xh  %10u %10u\n", i, r.diskIndex,
                    LetterText(r.driveLetter).c_str(), r.fileSystemName().c_str(), r.label().c_str(),
                    r.startSector, static_cast<unsigned long long>(r.endSector() ? r.endSector() - 1 : 0),
                    FormatSize(r.totalBytes).c_str(), SlotKindText(r.slotKind), r.partitionType,
                    r.tableSector, r.extendedBase);
    }
    // The partition list labels exactly as the partition pages show them.
    std::printf("\nPartition list:\n");
    for (int i = 0; i < inv.partitionCount(); ++i) {
        PartitionListLabel l = MakePartitionListLabel(inv.partition(i));
        std::printf("  %-3d %-14s %-28s %s\n", i, l.letterAndFileSystem.c_str(), l.startText.c_str(),
                    l.endText.c_str());
    }
}

void PrintJson(const CDiskInventory& inv) {
    nlohmann::json out;
    out["drives"] = nlohmann::json::array();
    for (const auto& d : inv.drives()) {
        out["drives"].push_back({{"index", d.driveIndex},
                                 {"model", d.model()},
                                 {"sizeBytes", d.sizeBytes},
                                 {"removable", d.removable != 0},
                                 {"busType", d.busType},
                                 {"busText", BusTypeText(d.busType)},
                                 {"label", DriveListLabel(d)}});
    }
    out["partitions"] = nlohmann::json::array();
    for (int i = 0; i < inv.partitionCount(); ++i) {
        const PartitionRecord& r = inv.partition(i);
        PartitionListLabel l = MakePartitionListLabel(r);
        out["partitions"].push_back({{"index", i},
                                     {"diskIndex", r.diskIndex},
                                     {"letter", LetterText(r.driveLetter)},
                                     {"fileSystem", r.fileSystemName()},
                                     {"label", r.label()},
                                     {"startSector", r.startSector},
                                     {"endSector", r.endSector() ? r.endSector() - 1 : 0},
                                     {"totalBytes", r.totalBytes},
                                     {"freeBytes", r.freeBytes},
                                     {"sizeText", FormatSize(r.totalBytes)},
                                     {"slotKind", r.slotKind},
                                     {"partitionType", r.partitionType},
                                     {"tableSector", r.tableSector},
                                     {"extendedBase", r.extendedBase},
                                     {"sectorsPerCluster", r.sectorsPerCluster},
                                     {"bytesPerSector", r.bytesPerSector},
                                     {"listLabel", l.letterAndFileSystem + "  " + l.startText + "  " + l.endText}});
    }
    std::printf("%s\n", out.dump(2).c_str());
}

}  // namespace

void AddDrivesCommand(CLI::App& app, CliContext& ctx) {
    auto* cmd = app.add_subcommand("drives", "List the drives and the merged partition table");
    auto json = std::make_shared<bool>(false);
    cmd->add_flag("--json", *json, "Machine-readable output");
    cmd->callback([&ctx, json] {
        if (!SetUpDevices(ctx)) return;
        CDiskInventory inv;
        inv.Refresh();
        inv.CountFreeSpace();
        if (*json)
            PrintJson(inv);
        else
            PrintText(inv);
        ctx.exitCode = kExitOk;
    });
}

}  // namespace vantor::cli
