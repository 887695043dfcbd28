#include "ext/ext_writer.h"

#include "dialogs/overwrite.h"
#include "ext/ext_page_model.h"
#include "platform/output_file.h"

namespace vantor {

namespace {

struct Pending {
    const FolderNode* node;
    std::string rel;
};

}  // namespace

ExtRecoveryResult RecoverExtFiles(CExtVolume& volume, const FolderTree& tree, const std::string& destination,
                                  UserPrompt& prompt, ProgressFields& progress, std::atomic<bool>& running) {
    ExtRecoveryResult result;
    std::vector<Pending> order;
    // Checked nodes only, root first, each node's files before its children's.
    std::vector<Pending> stack;
    if (tree.root()) stack.push_back({tree.root(), {}});
    while (!stack.empty()) {
        Pending p = std::move(stack.back());
        stack.pop_back();
        if (!p.node->checked) continue;
        if (const auto* files = p.node->dataAs<ExtNodeFiles>())
            for (const ExtFoundFile* f : files->files) result.total += f->selected ? 1 : 0;
        const auto& kids = p.node->children();
        for (size_t i = kids.size(); i-- > 0;) {
            const std::string piece = SafeFileName(kids[i]->text);
            stack.push_back({kids[i].get(), p.rel.empty() ? piece : p.rel + "/" + piece});
        }
        order.push_back(std::move(p));
    }
    progress.m_nProgressTotal.store(result.total);
    progress.m_nProgressPos.store(0);
    OverwriteGuard guard(prompt);
    guard.startRun();
    uint32_t done = 0;
    auto fail = [&](std::string line) {
        result.failures.push_back(std::move(line));
        ++result.failed;
    };
    volume.m_bRunning = true;
    for (const Pending& p : order) {
        if (!running.load()) break;
        const auto* files = p.node->dataAs<ExtNodeFiles>();
        if (!files) continue;
        const std::string folder = p.rel.empty() ? destination : JoinPath(destination, p.rel);
        bool folderMade = false, folderFailed = false;
        for (const ExtFoundFile* f : files->files) {
            if (!f->selected) continue;
            if (!running.load()) break;
            const std::string name = SafeFileName(f->nameText());
            const std::string rel = p.rel.empty() ? name : p.rel + "/" + name;
            if (!folderMade && !folderFailed) {
                folderMade = CreateFolderPath(folder) == kSuccess;
                folderFailed = !folderMade;
            }
            if (folderFailed) {
                fail("Can not create file '" + rel + "'.");
                progress.m_nProgressPos.store(++done);
                continue;
            }
            const std::string target = JoinPath(folder, name);
            switch (guard.check(target, f->nameText())) {
                case OverwriteDecision::Write: break;
                case OverwriteDecision::Skip:
                    ++result.skipped;
                    progress.m_nProgressPos.store(++done);
                    continue;
                case OverwriteDecision::Stop: running.store(false); continue;
            }
            progress.setText(target);
            OutputFile out;
            if (out.create(target) != kSuccess) {
                fail("Can not create file '" + rel + "'.");
                progress.m_nProgressPos.store(++done);
                continue;
            }
            ErrorCode err = volume.ReadData(*f, UINT64_MAX, &running, [&](ByteSpan piece) { return out.write(piece); });
            const ErrorCode closed = out.close();
            if (err == kSuccess) err = closed;
            if (err == kErrCancelled) fail("Can not recovery file '" + rel + "': stopped before the end.");
            else if (err == kErrInvalidParameter) fail("Can not recovery file '" + rel + "': its block map is damaged.");
            else if (err != kSuccess) fail("Can not recovery file '" + rel + "'.");
            else ++result.written;
            progress.m_nProgressPos.store(++done);
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
