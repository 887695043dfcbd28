#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "cli/cli_prompt.h"
#include "cli/commands.h"
#include "mail/repair_run.h"
#include "platform/output_file.h"

namespace vantor::cli {

namespace {

struct RepairOptions {
    std::vector<std::string> files;
    std::string to;
    std::string overwrite = "ask";
    bool extractMessages = false;
};

void RunRepairCommand(int mode, const RepairOptions& o, CliContext& ctx) {
    OverwritePolicy policy;
    if (!ParseOverwritePolicy(o.overwrite, policy)) {
        std::fprintf(stderr, "vantor: --overwrite takes ask, all or never\n");
        ctx.exitCode = kExitUsage;
        return;
    }
    if (ErrorCode rc = CreateFolderPath(o.to)) {
        std::fprintf(stderr, "vantor: cannot create '%s': %s (error %u)\n", o.to.c_str(), ErrorText(rc).c_str(), rc);
        ctx.exitCode = kExitDevice;
        return;
    }
    RepairSettings settings;
    settings.mode = mode;
    settings.sources = o.files;
    settings.destination = o.to;
    settings.extractMessages = o.extractMessages;
    CliPrompt prompt(policy);
    size_t printed = 0;
    // The log as the log page shows it, one line per line here.
    auto shown = [&printed](const std::string& log) {
        for (size_t i = printed; i < log.size(); ++i)
            if (log[i] != '\r') std::fputc(log[i], stdout);
        printed = log.size();
        std::fflush(stdout);
    };
    const RepairRunResult r = RunRepair(settings, prompt, shown);
    ctx.exitCode = r.failed == 0 && r.skipped == 0 && !r.cancelled ? kExitOk : kExitPartial;
}

void AddRepairKind(CLI::App& repair, const char* name, const char* what, int mode, CliContext& ctx) {
    auto opts = std::make_shared<RepairOptions>();
    CLI::App* sub = repair.add_subcommand(name, what);
    sub->add_option("FILE", opts->files, "Stores to repair, in order")->required();
    sub->add_option("--to", opts->to, "Folder the repaired copies are written to")->required();
    sub->add_option("--overwrite", opts->overwrite, "When a copy exists: ask, all or never");
    if (mode == kRepairModeDbx)
        sub->add_flag("--extract-messages", opts->extractMessages,
                      "Also write every message found as an .eml file into a folder named after the store");
    sub->callback([mode, opts, &ctx] { RunRepairCommand(mode, *opts, ctx); });
}

}  // namespace

void AddRepairCommand(CLI::App& app, CliContext& ctx) {
    CLI::App* repair = app.add_subcommand("repair", "Repair damaged mail stores (copies; the sources stay as they are)");
    repair->require_subcommand(1);
    AddRepairKind(*repair, "dbx", "Outlook Express stores (.dbx)", kRepairModeDbx, ctx);
    AddRepairKind(*repair, "pst", "Outlook personal folders (.pst)", kRepairModePst, ctx);
}

}  // namespace vantor::cli
