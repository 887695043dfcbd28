// `vantor scan deleted|formatted|raw` and `vantor recover deleted|formatted|raw`:
// the result pages' scan and recovery run headless, generic over every
// engine the registry knows (and the raw carving scan on any record).
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_prompt.h"
#include "cli/commands.h"
#include "cli/progress_printer.h"
#include "report/recovery_report.h"
#include "cli/scan_output.h"
#include "dialogs/destination.h"
#include "dialogs/filter_criteria.h"
#include "disk/disk_inventory.h"
#include "platform/output_file.h"
#include "platform/time_util.h"
#include "shell/app_state.h"
#include "recovery/engine_registry.h"
#include "raw/raw_signature.h"
#include "recovery/raw_session.h"

namespace vantor::cli {

namespace {

struct ScanArgs {
    std::string kind;
    int partition = -1;
    std::string type = "all";
    int extGroup = -1;
    std::string date;
    std::string size;
    std::string name;
    bool json = false;
    // raw only
    int drive = -1;
    int64_t first = -1;
    int64_t last = -1;
    uint32_t maxSizeKB = 0;
    std::vector<std::string> types;
    std::string formatEnds = "on";
    // recover only
    std::string to;
    std::vector<std::string> select;
    std::string overwrite = "ask";
    std::string report;
    bool hashImage = false;
};

std::atomic<bool>* g_running = nullptr;
volatile std::sig_atomic_t g_interrupts = 0;

extern "C" void OnInterrupt(int) {
    // The second Ctrl-C does not wait for the worker to notice the first.
    if (g_interrupts != 0) {
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    g_interrupts = 1;
    if (g_running) g_running->store(false);
}

// Ctrl-C stops the running scan or recovery the way Cancel does.
class InterruptGuard {
public:
    explicit InterruptGuard(std::atomic<bool>& running) {
        g_running = &running;
        g_interrupts = 0;
        previous_ = std::signal(SIGINT, OnInterrupt);
    }
    ~InterruptGuard() {
        std::signal(SIGINT, previous_);
        g_running = nullptr;
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    void (*previous_)(int) = SIG_DFL;
};

int Usage(const std::string& text) {
    std::fprintf(stderr, "vantor: %s\n", text.c_str());
    return kExitUsage;
}

bool ParseDate(const std::string& text, FilterCriteria& c, std::string& error) {
    const size_t colon = text.find(':');
    const std::string mode = text.substr(0, colon);
    if (mode == "before") c.dateMode = kDateBefore;
    else if (mode == "after") c.dateMode = kDateAfter;
    else if (mode == "on") c.dateMode = kDateOn;
    else {
        error = "--date wants before|after|on:YYYY-MM-DD, not '" + text + "'";
        return false;
    }
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (colon == std::string::npos ||
        std::sscanf(text.c_str() + colon + 1, "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 || y < 1980 ||
        y > 2107 || m < 1 || m > 12 || d < 1 || d > 31) {
        error = "--date wants a day YYYY-MM-DD from 1980 to 2107, not '" + text + "'";
        return false;
    }
    c.date = EncodeDosDate(y, m, d);
    return true;
}

bool ParseSize(const std::string& text, FilterCriteria& c, std::string& error) {
    const size_t colon = text.find(':');
    const std::string mode = text.substr(0, colon);
    if (mode == "equal") c.sizeMode = kSizeEqual;
    else if (mode == "smaller") c.sizeMode = kSizeSmaller;
    else if (mode == "larger") c.sizeMode = kSizeLarger;
    else if (mode == "between") c.sizeMode = kSizeBetween;
    else {
        error = "--size wants equal|smaller|larger|between:KB[,KB], not '" + text + "'";
        return false;
    }
    if (colon == std::string::npos) {
        error = "--size wants a size in KB after '" + mode + ":'";
        return false;
    }
    std::string first = text.substr(colon + 1), second = "0";
    const size_t comma = first.find(',');
    if (comma != std::string::npos) {
        second = first.substr(comma + 1);
        first.resize(comma);
    }
    const bool between = c.sizeMode == kSizeBetween;
    if (between && comma == std::string::npos) {
        error = "--size between wants two sizes: between:A,B";
        return false;
    }
    // The search dialog's own rules for the two fields.
    switch (ValidateSizeFields(first, second, between, c.minSizeKB, c.maxSizeKB)) {
        case CriteriaValidation::Ok: return true;
        case CriteriaValidation::StartLargerThanEnd: error = kStartLargerThanEndText; return false;
        case CriteriaValidation::StayOpenSilently: break;
    }
    error = "--size: '" + text + "' is not a size in KB";
    return false;
}

// Fills the scan settings of the application state from the options.
bool ApplyFilters(const ScanArgs& a, AppState& state, std::string& error) {
    if (a.type == "pictures") state.fileTypeGroup = 3;
    else if (a.type == "email") state.fileTypeGroup = 6;
    else if (a.type == "all") state.fileTypeGroup = 0;
    else {
        error = "--type wants pictures|email|all";
        return false;
    }
    FilterCriteria& c = state.criteria;
    c = FilterCriteria{};
    if (a.extGroup >= 0) {
        if (a.extGroup >= kExtensionGroupCount) {
            error = "--ext-group wants 0.." + std::to_string(kExtensionGroupCount - 1);
            return false;
        }
        ChooseExtensionGroup(c, a.extGroup);
    }
    if (!a.date.empty() && !ParseDate(a.date, c, error)) return false;
    if (!a.size.empty() && !ParseSize(a.size, c, error)) return false;
    c.namePart = a.name;
    return true;
}

struct ScanRun {
    AppState state;
    PartitionRecord record;
    std::unique_ptr<EngineSession> session;
    ErrorCode scanError = kSuccess;
};

bool ShowProgress(const CliContext& ctx) { return !ctx.quiet && (ctx.progress || ::isatty(2)); }

// Sets up the drives, picks the partition, runs the scan. Returns an exit
// code other than kExitOk when the run cannot go on.
int RunScan(CliContext& ctx, const ScanArgs& a, ScanRun& run, const std::string* destination = nullptr) {
    std::string error;
    if (!ApplyFilters(a, run.state, error)) return Usage(error);
    if (!SetUpDevices(ctx)) return ctx.exitCode;
    CDiskInventory inv;
    inv.Refresh();
    const bool raw = a.kind == "raw";
    if (a.drive >= 0 && !raw) return Usage("--drive goes with a raw scan; other scans want --partition");
    if ((a.drive >= 0) == (a.partition >= 0)) return Usage("give --partition N or, for a raw scan, --drive N");
    if (!raw && (a.first >= 0 || a.last >= 0 || a.maxSizeKB || !a.types.empty()))
        return Usage("--first, --last, --max-size and --types go with a raw scan");
    if (a.drive >= 0) {
        if (a.drive >= inv.driveCount()) return Usage("no drive " + std::to_string(a.drive) + " (see `vantor drives`)");
        // The whole drive as one record, read by its drive number.
        run.record = RawWholeDriveRecord(inv.drive(a.drive));
    } else {
        if (a.partition >= inv.partitionCount())
            return Usage("no partition " + std::to_string(a.partition) + " (see `vantor drives`)");
        run.record = inv.partition(a.partition);
    }
    if (raw) {
        RawSessionOptions opts;
        opts.maxSizeKB = a.maxSizeKB;
        opts.types = a.types;
        opts.formatEnds = a.formatEnds == "on";
        run.session = CreateRawSession(run.record, std::move(opts));
    } else {
        run.session = CreateEngineSession(run.record);
    }
    if (!run.session)
        return Usage("partition " + std::to_string(a.partition) + " (" + run.record.fileSystemName() +
                     ") has no engine for a " + a.kind + " scan");
    // A destination on the scanned volume is refused before anything is read.
    if (destination && DestinationOnScannedVolume(*destination, run.record)) {
        std::fprintf(stderr, "%s: %s\n", kNoticeCaption, kSelectOtherDriveText);
        return kExitUsage;
    }
    run.state.selectPartition(run.record);
    if (raw) {
        // The sector range as the raw options dialog checks it, in drive sectors.
        const uint32_t lo = run.state.rangeStart, hi = run.state.rangeEnd;
        const int64_t first = a.first >= 0 ? a.first : lo, last = a.last >= 0 ? a.last : hi;
        if (const std::string why = RawRangeProblem(first, last, lo, hi); !why.empty()) return Usage(why);
        run.state.rawRangeStart = static_cast<uint32_t>(first);
        run.state.rawRangeEnd = static_cast<uint32_t>(last);
    }
    std::atomic<bool> running{true};
    {
        InterruptGuard guard(running);
        ProgressPrinter printer(run.state.progress, ShowProgress(ctx));
        run.scanError = run.session->scan(a.kind == "formatted" ? ScanKind::Formatted : ScanKind::Deleted,
                                          run.state, running);
    }
    // What a stopped scan found is no result: nothing is listed or written.
    if (!running.load()) {
        std::fprintf(stderr, "vantor: the scan was cancelled; nothing %s\n",
                     destination ? "was recovered" : "is listed");
        return kExitPartial;
    }
    if (run.scanError != kSuccess && !run.session->tree().root()) {
        const std::string why = run.session->scanErrorText();
        const std::string what = a.drive >= 0 ? "drive " + std::to_string(a.drive) : "partition " + std::to_string(a.partition);
        std::fprintf(stderr, "vantor: cannot scan %s (%s): error %u%s%s\n", what.c_str(),
                     run.record.fileSystemName().c_str(), run.scanError, why.empty() ? "" : ": ", why.c_str());
        return kExitDevice;
    }
    if (run.scanError != kSuccess)
        std::fprintf(stderr, "vantor: the scan stopped on a read error %u; showing what it found\n",
                     run.scanError);
    if (const std::string note = run.session->scanNote(); !note.empty())
        std::fprintf(stderr, "vantor: %s\n", note.c_str());
    return kExitOk;
}

void AddCommonOptions(CLI::App* cmd, ScanArgs& a) {
    cmd->add_option("kind", a.kind, "deleted, formatted or raw")
        ->required()
        ->check(CLI::IsMember({"deleted", "formatted", "raw"}));
    cmd->add_option("--partition", a.partition, "Partition number as `vantor drives` lists it (a \"Deleted\" gap too)");
    cmd->add_option("--drive", a.drive, "raw: the whole drive N as `vantor drives` lists it");
    cmd->add_option("--first", a.first, "raw: first drive sector to scan (default the partition's first)");
    cmd->add_option("--last", a.last, "raw: end sector, not scanned (default the partition's end)");
    cmd->add_option("--max-size", a.maxSizeKB, "raw: largest carved file in KB (default 512000)");
    cmd->add_option("--types", a.types, "raw: extensions to carve, e.g. jpg,png (default every type)")->delimiter(',');
    cmd->add_option("--format-ends", a.formatEnds, "raw: cut files where their format ends (on) or at the next header (off)")
        ->check(CLI::IsMember({"on", "off"}));
    cmd->add_option("--type", a.type, "File-type choice: pictures, email or all")
        ->check(CLI::IsMember({"pictures", "email", "all"}));
    cmd->add_option("--ext-group", a.extGroup, "Extension group 0..6 of the search criteria");
    cmd->add_option("--date", a.date, "before|after|on:YYYY-MM-DD (creation date)");
    cmd->add_option("--size", a.size, "equal|smaller|larger|between:A[,B] in KB");
    cmd->add_option("--name", a.name, "Text the file name must contain");
}

}  // namespace

void AddScanCommands(CLI::App& app, CliContext& ctx) {
    auto scanArgs = std::make_shared<ScanArgs>();
    auto* scan = app.add_subcommand("scan", "Scan a partition for deleted files or a formatted volume's folders");
    AddCommonOptions(scan, *scanArgs);
    scan->add_flag("--json", scanArgs->json, "Machine-readable output");
    scan->callback([&ctx, scanArgs] {
        ScanRun run;
        const int rc = RunScan(ctx, *scanArgs, run);
        if (rc != kExitOk) {
            ctx.exitCode = rc;
            return;
        }
        ScanReport report{scanArgs->partition, &run.record, scanArgs->kind, run.session.get(), run.scanError};
        if (scanArgs->json)
            PrintScanJson(report);
        else
            PrintScanText(report);
        if (run.scanError != kSuccess) ctx.exitCode = kExitDevice;
        else ctx.exitCode = run.session->entries().empty() ? kExitPartial : kExitOk;  // nothing found
    });

    auto recoverArgs = std::make_shared<ScanArgs>();
    auto* recover = app.add_subcommand("recover", "Scan a partition, then copy the selected files out");
    AddCommonOptions(recover, *recoverArgs);
    recover->add_option("--to", recoverArgs->to, "Destination folder (not on the scanned volume)")->required();
    recover->add_option("--select", recoverArgs->select,
                        "File id, folder path or glob to recover (repeatable; default everything)");
    recover->add_option("--overwrite", recoverArgs->overwrite, "When a file exists: ask, all or never")
        ->check(CLI::IsMember({"ask", "all", "never"}));
    recover->add_flag("--json", recoverArgs->json, "Machine-readable summary");
    recover->add_option("--report", recoverArgs->report,
                        "Write a JSON report of every selected file (hash, status, device runs) to FILE");
    recover->add_flag("--hash-image", recoverArgs->hashImage, "Put the image file's SHA-256 in the report");
    recover->callback([&ctx, recoverArgs] {
        const ScanArgs& a = *recoverArgs;
        OverwritePolicy policy = OverwritePolicy::Ask;
        ParseOverwritePolicy(a.overwrite, policy);
        ScanRun run;
        const auto started = std::chrono::system_clock::now();
        int rc = RunScan(ctx, a, run, &a.to);
        if (rc != kExitOk) {
            ctx.exitCode = rc;
            return;
        }
        CliPrompt prompt(policy);
        const std::vector<std::string> unmatched = ApplySelection(*run.session, a.select);
        for (const auto& u : unmatched) std::fprintf(stderr, "vantor: --select '%s' matches nothing\n", u.c_str());
        const ErrorCode made = CreateFolderPath(a.to);
        if (made != kSuccess) {
            std::fprintf(stderr, "vantor: cannot create the folder '%s' (error %u)\n", a.to.c_str(), made);
            ctx.exitCode = kExitDevice;
            return;
        }
        std::atomic<bool> running{true};
        RecoveryOutcome out;
        RecoveryRun report{&run.record, a.partition, a.kind, a.to, started, {}, a.hashImage};
        run.session->setHashWritten(!a.report.empty());
        {
            InterruptGuard guard(running);
            ProgressPrinter printer(run.state.progress, ShowProgress(ctx));
            out = run.session->recover(a.to, prompt, run.state, running);
        }
        report.finished = std::chrono::system_clock::now();
        PrintRecoverySummary(out, a.to, a.json);
        if (!a.report.empty() && !WriteRecoveryReport(a.report, report, out)) {
            std::fprintf(stderr, "vantor: cannot write the report '%s'\n", a.report.c_str());
            ctx.exitCode = kExitDevice;
            return;
        }
        if (out.deviceError != kSuccess) ctx.exitCode = kExitDevice;
        else if (out.refused) ctx.exitCode = kExitPartial;  // nothing was ticked
        else if (out.failed || out.cancelled || !unmatched.empty() || run.scanError != kSuccess)
            ctx.exitCode = run.scanError != kSuccess ? kExitDevice : kExitPartial;
        else ctx.exitCode = kExitOk;
    });
}

}  // namespace vantor::cli
