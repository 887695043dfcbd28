#include "ext/ext_writer.h"

#include <optional>

#include "dialogs/overwrite.h"
#include "ext/ext_page_model.h"

namespace vantor {

namespace {

struct Pending {
    const FolderNode* node;
    std::string rel;
};

}  // namespace

ExtRecoveryResult RecoverExtFiles(CExtVolume& volume, const FolderTree& tree, const std::string& destination,
                                  UserPrompt& prompt, ProgressFields& progress, std::atomic<bool>& running,
                                  bool hash, const std::function<bool(const ExtFoundFile&)>& listed) {
    ExtRecoveryResult result;
    auto wanted = [&](const ExtFoundFile& f) { return f.selected && (!listed || listed(f)); };
    std::vector<Pending> order;
    uint64_t bytes = 0;
    // Checked nodes only, root first, each node's files before its children's.
    std::vector<Pending> stack;
    if (tree.root()) stack.push_back({tree.root(), {}});
    while (!stack.empty()) {
        Pending p = std::move(stack.back());
        stack.pop_back();
        if (!p.node->checked) continue;
        if (const auto* files = p.node->dataAs<ExtNodeFiles>())
            for (const ExtFoundFile* f : files->files)
                if (wanted(*f)) {
                    ++result.total;
                    bytes += f->size();
                }
        const auto& kids = p.node->children();
        for (size_t i = kids.size(); i-- > 0;) {
            const std::string piece = SafeFileName(kids[i]->text);
            stack.push_back({kids[i].get(), p.rel.empty() ? piece : p.rel + "/" + piece});
        }
        order.push_back(std::move(p));
    }
    RecoveryProgress steps(progress, result.total, bytes);
    OverwriteGuard guard(prompt);
    guard.startRun();
    auto fail = [&](std::string line) {
        result.failures.push_back(std::move(line));
        ++result.failed;
    };
    auto record = [&](const ExtFoundFile& f, const std::string& rel) -> RecoveredFileRecord& {
        RecoveredFileRecord& r = result.files.emplace_back();
        r.path = rel;
        r.source = &f;
        r.size = f.size();
        r.condition = f.condition;
        return r;
    };
    const uint64_t B = volume.blockSize();
    volume.m_bRunning = true;
    for (const Pending& p : order) {
        if (!running.load()) break;
        const auto* files = p.node->dataAs<ExtNodeFiles>();
        if (!files) continue;
        const std::string folder = p.rel.empty() ? destination : JoinPath(destination, p.rel);
        bool folderMade = false, folderFailed = false;
        for (const ExtFoundFile* f : files->files) {
            if (!wanted(*f)) continue;
            if (!running.load()) break;
            const std::string name = SafeFileName(f->nameText());
            const std::string rel = p.rel.empty() ? name : p.rel + "/" + name;
            if (!folderMade && !folderFailed) {
                folderMade = CreateFolderPath(folder) == kSuccess;
                folderFailed = !folderMade;
            }
            if (folderFailed) {
                fail("Can not create file '" + rel + "'.");
                RecoveredFileRecord& r = record(*f, rel);
                r.status = RecoveredStatus::Failed;
                r.reason = "the folder could not be created";
                steps.endFile();
                continue;
            }
            const std::string target = JoinPath(folder, name);
            switch (guard.check(target, f->nameText())) {
                case OverwriteDecision::Write: break;
                case OverwriteDecision::Skip: {
                    ++result.skipped;
                    RecoveredFileRecord& r = record(*f, rel);
                    r.status = RecoveredStatus::Skipped;
                    r.reason = "the file exists";
                    steps.endFile();
                    continue;
                }
                case OverwriteDecision::Stop: {
                    running.store(false);
                    RecoveredFileRecord& r = record(*f, rel);
                    r.status = RecoveredStatus::Skipped;
                    r.reason = "cancelled";
                    continue;
                }
            }
            progress.setText(target);
            steps.beginFile(f->size());
            RecoveredFileRecord& r = record(*f, rel);
            RecoveredFile out(&running, &steps, hash);
            if (out.create(target) != kSuccess) {
                fail("Can not create file '" + rel + "'.");
                r.status = RecoveredStatus::Failed;
                r.reason = "the file could not be created";
                steps.endFile();
                continue;
            }
            volume.WalkBlocks(f->inode, f->size(), [&](const ExtRun& run) {
                if (!run.zero)
                    r.runs.push_back({volume.partitionStartByte() + run.physical * B,
                                      std::min(run.count * B, f->size() - std::min(f->size(), run.logical * B))});
                return kSuccess;
            });
            ErrorCode err = volume.ReadData(*f, UINT64_MAX, &running, [&](ByteSpan piece) { return out.write(piece); });
            const ErrorCode closed = out.finish(err == kSuccess);
            if (err == kSuccess) err = closed;
            r.bytesWritten = out.bytes();
            r.sha256 = out.sha256();
            if (out.keptPartial()) r.keptAs = rel + kPartialSuffix;
            const std::string kept = out.keptPartial() ? KeptAsPartialText(name) : std::string();
            if (err != kSuccess) {
                r.status = RecoveredStatus::Failed;
                if (err == kErrCancelled) {
                    fail("Can not recovery file '" + rel + "': stopped before the end." + kept);
                    r.reason = "stopped before the end";
                } else if (err == kErrInvalidParameter) {
                    fail("Can not recovery file '" + rel + "': its block map is damaged." + kept);
                    r.reason = "its block map is damaged";
                } else {
                    fail("Can not recovery file '" + rel + "'." + kept);
                    r.reason = ErrorText(err);
                }
            } else if (f->condition == DataCondition::Overwritten || f->condition == DataCondition::PartlyOverwritten) {
                fail("Can not recovery file '" + rel + "': " + std::string(DataConditionText(f->condition)) + ".");
                r.status = RecoveredStatus::Overwritten;
                r.reason = f->condition == DataCondition::Overwritten ? "live files hold its blocks now"
                                                                      : "live files hold some of its blocks now";
            } else {
                ++result.written;
            }
            steps.endFile();
        }
    }
    volume.m_bRunning = false;
    if (!running.load()) result.cancelled = true;
    if (!result.failures.empty()) {
        std::string text;
        for (const auto& line : result.failures) text += line + "\n";
        prompt.message(text, "Notice", MessageIcon::Information);
    }
    return result;
}

}  // namespace vantor
