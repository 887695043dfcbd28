#include "raw/raw_writer.h"

#include <set>

#include "dialogs/overwrite.h"
#include "platform/output_file.h"

namespace vantor {

void BuildRawTree(FolderTree& tree, char driveLetter, const std::vector<std::unique_ptr<RawFoundItem>>& items) {
    tree.clear();
    const char letter = driveLetter >= 'A' && driveLetter <= 'Z' ? driveLetter : '*';
    FolderNode* root = tree.setRoot(std::string("RAW - Logical Disk (") + letter + ":)", 0, 0);
    for (size_t i = 0; i < items.size(); ++i) {
        const std::string& desc = items[i]->description;
        FolderNode* folder = nullptr;
        for (const auto& child : root->children())
            if (child->text.find(desc) != std::string::npos) {
                folder = child.get();
                break;
            }
        if (!folder) {
            folder = root->appendChild(desc, 1, 2);
            folder->data = std::make_unique<RawNodeItems>();
        }
        folder->dataAs<RawNodeItems>()->items.push_back(static_cast<uint32_t>(i));
    }
    tree.select(root);
    root->expanded = true;
}

RawRecoveryResult RecoverRawFiles(const CRawScanner& scanner, const std::string& destination, UserPrompt& prompt,
                                  ProgressFields& progress, std::atomic<bool>& running, bool hash) {
    RawRecoveryResult result;
    uint64_t bytes = 0;
    for (const auto& item : scanner.items())
        if (item->selected) {
            ++result.total;
            bytes += item->size;
        }
    RecoveryProgress steps(progress, result.total, bytes);
    OverwriteGuard guard(prompt);
    guard.startRun();
    std::set<std::string> madeFolders;
    std::string summary;
    auto fail = [&](std::string line) {
        summary += line + "\n";
        result.failures.push_back(std::move(line));
        ++result.failed;
    };
    const uint64_t ss = scanner.sectorSize();
    for (const auto& ptr : scanner.items()) {
        const RawFoundItem& item = *ptr;
        if (!item.selected) continue;
        if (!running.load()) {
            result.cancelled = true;
            break;
        }
        const std::string name = SafeFileName(item.name);
        const size_t dot = item.name.find('.');
        const std::string type = SafeFileName(dot == std::string::npos ? std::string() : item.name.substr(dot + 1));
        RecoveredFileRecord& record = result.files.emplace_back();
        record.path = type + "/" + name;
        record.source = &item;
        record.id = item.name;
        record.size = item.size;
        record.runs.push_back({(scanner.partitionStartSector() + item.startSector) * ss, item.size});
        if (item.name.substr(0, 3).find('"') != std::string::npos) {
            ++result.skipped;
            record.status = RecoveredStatus::Skipped;
            record.reason = "not a file name";
            steps.endFile();
            continue;
        }
        progress.setText("Recoverying Files : " + item.name);
        const std::string folder = JoinPath(destination, type);
        if (madeFolders.insert(folder).second) CreateFolder(folder);
        const std::string target = JoinPath(folder, name);
        switch (guard.check(target, name)) {
            case OverwriteDecision::Write: break;
            case OverwriteDecision::Skip:
                ++result.skipped;
                record.status = RecoveredStatus::Skipped;
                record.reason = "the file exists";
                steps.endFile();
                continue;
            case OverwriteDecision::Stop:
                ++result.skipped;
                record.status = RecoveredStatus::Skipped;
                record.reason = "cancelled";
                result.cancelled = true;
                running = false;
                steps.endFile();
                continue;
        }
        steps.beginFile(item.size);
        RecoveredFile out(&running, &steps, hash);
        if (out.create(target) != kSuccess) {
            fail("Can not create file '" + item.name + "'.");
            record.status = RecoveredStatus::Failed;
            record.reason = "the file could not be created";
            steps.endFile();
            continue;
        }
        const int rc = scanner.WriteItem(&out, &item, &running);
        const ErrorCode closed = out.finish(rc == 0);
        record.bytesWritten = out.bytes();
        record.sha256 = out.sha256();
        if (out.keptPartial()) record.keptAs = record.path + kPartialSuffix;
        if (rc != 0 || closed != kSuccess) {
            const std::string kept = out.keptPartial() ? KeptAsPartialText(name) : std::string();
            fail("Can not write file '" + item.name + "'." + kept);
            record.status = RecoveredStatus::Failed;
            record.reason = rc == static_cast<int>(kErrCancelled) ? "stopped before the end"
                            : rc != 0 ? ErrorText(static_cast<ErrorCode>(rc)) : ErrorText(closed);
            if (rc == static_cast<int>(kErrCancelled)) result.cancelled = true;
        } else {
            ++result.written;
        }
        steps.endFile();
    }
    if (!summary.empty()) prompt.message(summary, "Error", MessageIcon::Error);
    return result;
}

}  // namespace vantor
