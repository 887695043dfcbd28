#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "cli/commands.h"
#include "cli/progress_printer.h"
#include "disk/disk_inventory.h"
#include "partition/backup_file.h"
#include "partition/partition_restore.h"
#include "partition/partition_search.h"
#include "partition/undo_file.h"
#include "platform/device_table.h"

namespace vantor::cli {

namespace {

struct PartitionsOptions {
    int drive = -1;
    bool json = false;
    bool dryRun = false;
    bool yes = false;
    uint64_t start = 0;
    std::string file;
    std::string backup;
    std::string undoFile;
};

const char* KindText(const PartitionRecord& r, bool found) {
    if (found) return "found";
    if (r.isGap()) return "gap";
    return "partition";
}

bool IsFound(const SearchResult& res, const PartitionRecord& r) {
    for (const auto& c : res.found)
        if (c.start == r.startSector && r.fileSystemName() == c.fileSystem) return true;
    return false;
}

nlohmann::json RecordJson(const PartitionRecord& r, const char* kind) {
    return {{"kind", kind},
            {"startSector", r.startSector},
            {"sectors", r.totalBytes / 512},
            {"fileSystem", r.fileSystemName()},
            {"partitionType", r.partitionType},
            {"slot", r.slotKind == 2 ? "logical" : "primary"},
            {"letter", std::string(1, r.driveLetter)}};
}

void PrintRecords(const std::vector<std::pair<PartitionRecord, const char*>>& rows) {
    std::printf("  %-10s %12s %12s %-9s %-5s %-8s\n", "Kind", "Start", "Sectors", "FS", "Type", "Slot");
    for (const auto& [r, kind] : rows)
        std::printf("  %-10s %12u %12llu %-9s %02Xh   %-8s\n", kind, r.startSector,
                    static_cast<unsigned long long>(r.totalBytes / 512), r.fileSystemName().c_str(), r.partitionType,
                    r.slotKind == 2 ? "logical" : "primary");
}

bool ValidDrive(CliContext& ctx, int drive) {
    if (drive < 0 || !DeviceTable::Global().drive(drive)) {
        std::fprintf(stderr, "vantor: there is no drive %d\n", drive);
        ctx.exitCode = kExitUsage;
        return false;
    }
    return true;
}

// The search on a worker thread; the progress goes to stderr meanwhile.
SearchResult RunSearch(CliContext& ctx, int drive) {
    ProgressFields fields;
    std::atomic<bool> cancel{false};
    SearchResult res;
    {
        ProgressPrinter printer(fields, !ctx.quiet && (ctx.progress || ::isatty(2)));
        std::thread worker([&] { res = SearchDrive(drive, {&cancel, &fields}); });
        worker.join();
    }
    return res;
}

std::string HexLine(const std::array<std::byte, 512>& s, size_t off) {
    std::string out;
    char buf[4];
    for (size_t i = off; i < off + 16; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned>(s[i]));
        out += buf;
        if (i + 1 < off + 16) out += ' ';
    }
    return out;
}

// Every sector the restore writes, old and new bytes, 16 to a line; lines
// that do not change are left out.
void PrintPlan(const RestorePlan& plan) {
    for (const auto& w : plan.writes) {
        std::printf("sector %llu (%s), 16-byte lines that change:\n", static_cast<unsigned long long>(w.lba),
                    w.what.c_str());
        for (size_t off = 0; off < 512; off += 16) {
            if (std::equal(w.before.begin() + static_cast<std::ptrdiff_t>(off),
                           w.before.begin() + static_cast<std::ptrdiff_t>(off + 16),
                           w.after.begin() + static_cast<std::ptrdiff_t>(off)))
                continue;
            std::printf("  %03zx old %s\n", off, HexLine(w.before, off).c_str());
            std::printf("  %03zx new %s\n", off, HexLine(w.after, off).c_str());
        }
    }
}

// An interactive "yes" on a terminal, or --yes.
bool Confirmed(bool yes, const char* question) {
    if (yes) return true;
    if (!::isatty(0)) {
        std::fprintf(stderr, "%s\nNot confirmed: give --yes or answer on a terminal. Nothing was written.\n", question);
        return false;
    }
    std::fprintf(stderr, "%s\nType yes to continue: ", question);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "yes";
}

const PhysicalDriveInfo* DriveInfo(const CDiskInventory& inv, int drive) {
    for (const auto& d : inv.drives())
        if (static_cast<int>(d.driveIndex) == drive) return &d;
    return nullptr;
}

void Search(CliContext& ctx, const PartitionsOptions& o) {
    if (!SetUpDevices(ctx) || !ValidDrive(ctx, o.drive)) return;
    SearchResult res = RunSearch(ctx, o.drive);
    if (!res.completed) {
        std::fprintf(stderr, "vantor: the search of drive %d failed: %s (error %u)\n", o.drive,
                     ErrorText(res.error).c_str(), res.error);
        ctx.exitCode = kExitDevice;
        return;
    }
    std::vector<std::pair<PartitionRecord, const char*>> rows;
    for (const auto& r : res.records) rows.emplace_back(r, KindText(r, IsFound(res, r)));
    if (o.json) {
        nlohmann::json out{{"drive", o.drive}, {"probes", res.probes}, {"bytesRead", res.bytesRead}};
        out["records"] = nlohmann::json::array();
        for (const auto& [r, kind] : rows) out["records"].push_back(RecordJson(r, kind));
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        std::printf("Drive %d: %zu lost partition(s) found\n", o.drive, res.found.size());
        PrintRecords(rows);
    }
    ctx.exitCode = res.found.empty() ? kExitPartial : kExitOk;
}

void Restore(CliContext& ctx, const PartitionsOptions& o) {
    if (!SetUpDevices(ctx) || !ValidDrive(ctx, o.drive)) return;
    CDiskInventory inv;
    inv.Refresh();
    const PhysicalDriveInfo* info = DriveInfo(inv, o.drive);
    if (!info) {
        std::fprintf(stderr, "vantor: drive %d is not a disk\n", o.drive);
        ctx.exitCode = kExitDevice;
        return;
    }
    std::vector<PartitionRecord> candidates;
    if (!o.backup.empty()) {
        BackupContents b;
        std::string error;
        if (!ReadBackupFile(o.backup, b, error) || !BackupBelongsTo(b, *info)) {
            std::fprintf(stderr, "%s (%s)\n", kBackupLoadFailedText,
                         error.empty() ? "it belongs to a drive of another model or size" : error.c_str());
            ctx.exitCode = kExitPartial;
            return;
        }
        candidates = b.records;
    } else {
        SearchResult res = RunSearch(ctx, o.drive);
        if (!res.completed) {
            std::fprintf(stderr, "vantor: the search of drive %d failed (error %u)\n", o.drive, res.error);
            ctx.exitCode = kExitDevice;
            return;
        }
        for (const auto& r : res.records)
            if (IsFound(res, r)) candidates.push_back(r);
    }
    const PartitionRecord* chosen = nullptr;
    for (const auto& r : candidates)
        if (r.startSector == o.start && !r.isGap()) chosen = &r;
    if (!chosen) {
        std::fprintf(stderr, "vantor: no %s partition starts at sector %llu\n", o.backup.empty() ? "found" : "backed-up",
                     static_cast<unsigned long long>(o.start));
        ctx.exitCode = kExitPartial;
        return;
    }
    RestoreRequest req;
    req.driveIndex = o.drive;
    req.partition = chosen;
    req.dryRun = true;
    RestoreOutcome plan = RestorePartition(req);
    if (plan.result != kRestoreOk) {
        std::fprintf(stderr, "%s\n", RestoreMessage(plan.result));
        if (!plan.detail.empty()) std::fprintf(stderr, "(%s)\n", plan.detail.c_str());
        ctx.exitCode = plan.result == kRestoreNoAccess ? kExitDevice : kExitPartial;
        return;
    }
    std::printf("Restore %s at sector %u, %llu sectors, type %02Xh: %zu sector(s) to write\n",
                chosen->fileSystemName().c_str(), chosen->startSector,
                static_cast<unsigned long long>(chosen->totalBytes / 512), chosen->partitionType,
                plan.plan.writes.size());
    PrintPlan(plan.plan);
    if (o.dryRun) {
        std::printf("Dry run: nothing was written.\n");
        ctx.exitCode = kExitOk;
        return;
    }
    if (!Confirmed(o.yes, kRecoverConfirmText)) {
        ctx.exitCode = kExitPartial;
        return;
    }
    req.dryRun = false;
    req.undoPath = o.undoFile.empty() ? DefaultUndoPath(*info) : o.undoFile;
    if (o.undoFile.empty()) EnsureFolder(UserBackupFolder());
    req.tableBackup = SerializeBackup(*info, DriveRecords(inv, info->driveIndex));
    RestoreOutcome done = RestorePartition(req);
    if (done.result != kRestoreOk) {
        std::fprintf(stderr, "%s\n", RestoreMessage(done.result));
        if (!done.detail.empty()) std::fprintf(stderr, "(%s)\n", done.detail.c_str());
        ctx.exitCode = kExitDevice;
        return;
    }
    std::printf("%s\nUndo file: %s\n", kRecoverSuccessText, req.undoPath.c_str());
    if (!done.rereadText.empty()) std::printf("%s\n", done.rereadText.c_str());
    ctx.exitCode = kExitOk;
}

void Backup(CliContext& ctx, const PartitionsOptions& o) {
    if (!SetUpDevices(ctx) || !ValidDrive(ctx, o.drive)) return;
    CDiskInventory inv;
    inv.Refresh();
    const PhysicalDriveInfo* info = DriveInfo(inv, o.drive);
    if (!info || !WriteBackupFile(o.file, *info, DriveRecords(inv, info->driveIndex))) {
        std::fprintf(stderr, "%s\n", kBackupFailedText);
        ctx.exitCode = kExitDevice;
        return;
    }
    std::printf("%s\n", kBackupDoneText);
    ctx.exitCode = kExitOk;
}

void Load(CliContext& ctx, const PartitionsOptions& o) {
    BackupContents b;
    std::string error;
    if (!ReadBackupFile(o.file, b, error)) {
        std::fprintf(stderr, "%s (%s)\n", kBackupLoadFailedText, error.c_str());
        ctx.exitCode = kExitPartial;
        return;
    }
    if (o.drive >= 0) {
        if (!SetUpDevices(ctx) || !ValidDrive(ctx, o.drive)) return;
        CDiskInventory inv;
        inv.Refresh();
        const PhysicalDriveInfo* info = DriveInfo(inv, o.drive);
        if (!info || !BackupBelongsTo(b, *info)) {
            std::fprintf(stderr, "%s (it belongs to a drive of another model or size)\n", kBackupLoadFailedText);
            ctx.exitCode = kExitPartial;
            return;
        }
    }
    if (o.json) {
        nlohmann::json out{{"model", b.drive.model()},
                           {"sizeBytes", b.drive.sizeBytes},
                           {"driveIndex", b.drive.driveIndex},
                           {"removable", b.drive.removable != 0},
                           {"busType", b.drive.busType}};
        out["records"] = nlohmann::json::array();
        for (const auto& r : b.records) out["records"].push_back(RecordJson(r, r.isGap() ? "gap" : "partition"));
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        std::printf("Backup of %s (%lld bytes), drive %u when saved: %zu record(s)\n", b.drive.model().c_str(),
                    static_cast<long long>(b.drive.sizeBytes), b.drive.driveIndex, b.records.size());
        std::vector<std::pair<PartitionRecord, const char*>> rows;
        for (const auto& r : b.records) rows.emplace_back(r, r.isGap() ? "gap" : "partition");
        PrintRecords(rows);
    }
    ctx.exitCode = kExitOk;
}

void Undo(CliContext& ctx, const PartitionsOptions& o) {
    UndoFile undo;
    std::string error;
    if (!ReadUndoFile(o.file, undo, error)) {
        std::fprintf(stderr, "vantor: %s\n", error.c_str());
        ctx.exitCode = kExitUsage;
        return;
    }
    if (!SetUpDevices(ctx) || !ValidDrive(ctx, o.drive)) return;
    for (const auto& w : undo.writes)
        std::printf("sector %llu goes back to its contents before the restore\n", static_cast<unsigned long long>(w.lba));
    if (!Confirmed(o.yes, kUndoConfirmText)) {
        ctx.exitCode = kExitPartial;
        return;
    }
    DevicePtr dev;
    if (DeviceTable::Global().openDrive(o.drive, Access::ReadWrite, dev) != kSuccess) {
        std::fprintf(stderr, "%s\n", RestoreMessage(kRestoreNoAccess));
        ctx.exitCode = kExitDevice;
        return;
    }
    if (!ApplyUndo(*dev, undo, error)) {
        std::fprintf(stderr, "vantor: undo refused: %s\n", error.c_str());
        ctx.exitCode = kExitPartial;
        return;
    }
    std::printf("The restore was undone: %zu sector(s) written back.\n", undo.writes.size());
    ctx.exitCode = kExitOk;
}

void List(CliContext& ctx, const PartitionsOptions& o) {
    if (!SetUpDevices(ctx) || !ValidDrive(ctx, o.drive)) return;
    CDiskInventory inv;
    inv.Refresh();
    const PhysicalDriveInfo* info = DriveInfo(inv, o.drive);
    if (!info) {
        ctx.exitCode = kExitDevice;
        return;
    }
    for (const auto& b : ListBackups(info->model(), {UserBackupFolder(), ProgramBackupFolder()}))
        std::printf("%s  %s\n", BackupTimeText(b.created).c_str(), b.path.c_str());
    ctx.exitCode = kExitOk;
}

}  // namespace

void AddPartitionsCommand(CLI::App& app, CliContext& ctx) {
    auto* cmd = app.add_subcommand("partitions", "Search for lost partitions, restore them, back up tables");
    cmd->require_subcommand(1);
    auto o = std::make_shared<PartitionsOptions>();
    auto* search = cmd->add_subcommand("search", "Search the drive's unallocated space for lost partitions");
    search->add_option("--drive", o->drive, "Drive number")->required();
    search->add_flag("--json", o->json, "Machine-readable output");
    search->callback([&ctx, o] { Search(ctx, *o); });

    auto* restore = cmd->add_subcommand("restore", "Write a found or backed-up partition into the table");
    restore->add_option("--drive", o->drive, "Drive number")->required();
    restore->add_option("--start", o->start, "Start sector of the partition")->required();
    restore->add_option("--backup", o->backup, "Take the partition from this .pbf instead of a search");
    restore->add_option("--undo-file", o->undoFile, "Where the undo file goes (default: the backup folder)");
    restore->add_flag("--dry-run", o->dryRun, "Print every sector it would write; write nothing");
    restore->add_flag("--yes", o->yes, "Do not ask");
    restore->callback([&ctx, o] { Restore(ctx, *o); });

    auto* backup = cmd->add_subcommand("backup", "Save the drive's partition records to a .pbf file");
    backup->add_option("--drive", o->drive, "Drive number")->required();
    backup->add_option("--to", o->file, "Backup file (.pbf)")->required();
    backup->callback([&ctx, o] { Backup(ctx, *o); });

    auto* load = cmd->add_subcommand("load", "Show the records of a .pbf file");
    load->add_option("file", o->file, "Backup file (.pbf)")->required();
    load->add_option("--drive", o->drive, "Check that the backup belongs to this drive");
    load->add_flag("--json", o->json, "Machine-readable output");
    load->callback([&ctx, o] { Load(ctx, *o); });

    auto* undo = cmd->add_subcommand("undo", "Put back what a restore wrote");
    undo->add_option("file", o->file, "Undo file of the restore")->required();
    undo->add_option("--drive", o->drive, "Drive number (default 0)")->default_val(0);
    undo->add_flag("--yes", o->yes, "Do not ask");
    undo->callback([&ctx, o] { Undo(ctx, *o); });

    auto* list = cmd->add_subcommand("list", "List the backups of the drive in the backup folders");
    list->add_option("--drive", o->drive, "Drive number")->required();
    list->callback([&ctx, o] { List(ctx, *o); });
}

}  // namespace vantor::cli
