#include "mail/repair_run.h"

#include "dialogs/overwrite.h"
#include "mail/dbx_extract.h"
#include "mail/mail_repair.h"
#include "platform/output_file.h"

namespace vantor {

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

RepairRunResult RunRepair(const RepairSettings& settings, UserPrompt& prompt,
                          const std::function<void(const std::string& log)>& shown,
                          const std::atomic<bool>* running) {
    RepairRunResult result;
    OverwriteGuard guard(prompt);
    guard.startRun();
    std::string log;
    auto line = [&log](const std::string& text) { log += text + "\r\n"; };
    for (const std::string& source : settings.sources) {
        if (running && !running->load()) {
            result.cancelled = true;
            break;
        }
        const std::string name = FileNameOf(source);
        const std::string destination = JoinPath(settings.destination, name);
        const OverwriteDecision decision = guard.check(destination, destination);
        if (decision == OverwriteDecision::Stop) {
            result.cancelled = true;
            break;
        }
        if (decision == OverwriteDecision::Skip) {
            ++result.skipped;
            continue;
        }
        RepairNotes notes;
        const bool dbx = settings.mode == kRepairModeDbx;
        const int rc = dbx ? RepairDbx(source, destination, &notes) : RepairPst(source, destination, &notes);
        line(kSelectedFileText + name);
        if (rc >= 0) {
            ++result.repaired;
            line(kRepairedText);
            for (const std::string& note : notes) line(note);
            if (dbx && settings.extractMessages) {
                DbxExtraction got;
                const std::string folder = JoinPath(settings.destination, DbxMessageFolderName(name));
                const ErrorCode erc = ExtractDbxMessages(source, folder, got);
                if (got.byScan) line(kMessagesByScanText);
                line(kMessagesExtractedText + std::to_string(got.messages));
                if (erc != kSuccess || got.failed > 0) line(kMessagesNotWrittenText + std::to_string(got.failed));
            }
        } else {
            ++result.failed;
            line(rc == kRepairUnsupported ? kUnsupportedFormatText : kRepairFailedText);
        }
        line(kLogSeparator);
        if (shown) shown(log);
    }
    return result;
}

}  // namespace vantor
