#include "exfat/exfat_writer.h"

#include <algorithm>
#include <deque>
#include <optional>

#include "dialogs/overwrite.h"
#include "dialogs/preview.h"
#include "exfat/exfat_data.h"
#include "fat/fat_writer.h"
#include "platform/output_file.h"

namespace vantor {

namespace {

class Writer {
public:
    Writer(const CExfatVolume& v, UserPrompt& p, ProgressFields& pr, std::atomic<bool>& r, bool hash)
        : vol_(v), prompt_(p), progress_(pr), running_(r), hash_(hash), guard_(p) {}

    ExfatRecoveryResult run(const FolderTree& tree, const std::string& destination);

private:
    void copyOne(const ExfatFoundFile& rec, const std::string& folder, const std::string& relFolder);
    void fail(std::string line) {
        result_.failures.push_back(std::move(line));
        ++result_.failed;
    }
    RecoveredFileRecord& record(const ExfatFoundFile& rec, std::string path) {
        RecoveredFileRecord& r = result_.files.emplace_back();
        r.path = std::move(path);
        r.source = &rec;
        r.size = rec.size();
        r.condition = rec.condition;
        return r;
    }

    const CExfatVolume& vol_;
    UserPrompt& prompt_;
    ProgressFields& progress_;
    std::atomic<bool>& running_;
    bool hash_;
    OverwriteGuard guard_;
    ExfatRecoveryResult result_;
    std::optional<RecoveryProgress> steps_;
    std::vector<std::byte> buf_;
};

ExfatRecoveryResult Writer::run(const FolderTree& tree, const std::string& destination) {
    uint64_t bytes = 0;
    tree.walk([&](FolderNode& node) {
        if (!node.checked) return false;
        if (const auto* files = node.dataAs<ExfatFolderFiles>())
            for (const auto& f : files->files)
                if (f->selected) {
                    ++result_.total;
                    bytes += f->size();
                }
        return true;
    });
    steps_.emplace(progress_, result_.total, bytes);
    guard_.startRun();
    struct Item {
        const FolderNode* node;
        std::string rel;
    };
    std::deque<Item> queue;
    if (tree.root()) queue.push_back({tree.root(), {}});
    while (!queue.empty() && running_.load()) {
        Item item = std::move(queue.front());
        queue.pop_front();
        if (!item.node->checked) continue;
        for (const auto& child : item.node->children())
            queue.push_back({child.get(), item.rel.empty() ? SafeFileName(child->text)
                                                           : item.rel + "/" + SafeFileName(child->text)});
        const auto* files = item.node->dataAs<ExfatFolderFiles>();
        if (!files) continue;
        const std::string folder = item.rel.empty() ? destination : JoinPath(destination, item.rel);
        const bool folderOk = CreateFolderPath(folder) == kSuccess;
        for (const auto& f : files->files) {
            if (!f->selected) continue;
            if (!running_.load()) break;
            if (!folderOk) {
                const std::string rel = item.rel.empty() ? f->name : item.rel + "/" + f->name;
                fail("Can not create file '" + rel + "'.");
                RecoveredFileRecord& r = record(*f, rel);
                r.status = RecoveredStatus::Failed;
                r.reason = "the folder could not be created";
                steps_->endFile();
                continue;
            }
            copyOne(*f, folder, item.rel);
        }
    }
    if (!running_.load()) result_.cancelled = true;
    if (!result_.failures.empty()) {
        std::string text;
        for (const auto& line : result_.failures) text += line + "\n";
        prompt_.message(text, "Notice", MessageIcon::Information);
    }
    return result_;
}

void Writer::copyOne(const ExfatFoundFile& rec, const std::string& folder, const std::string& relFolder) {
    const std::string name = SafeFileName(rec.name);
    const std::string target = JoinPath(folder, name);
    const std::string rel = relFolder.empty() ? name : relFolder + "/" + name;
    switch (guard_.check(target, rec.name)) {
        case OverwriteDecision::Stop: {
            running_.store(false);
            RecoveredFileRecord& r = record(rec, rel);
            r.status = RecoveredStatus::Skipped;
            r.reason = "cancelled";
            return;
        }
        case OverwriteDecision::Skip: {
            ++result_.skipped;
            RecoveredFileRecord& r = record(rec, rel);
            r.status = RecoveredStatus::Skipped;
            r.reason = "the file exists";
            steps_->endFile();
            return;
        }
        case OverwriteDecision::Write: break;
    }
    progress_.setText(rec.name);
    steps_->beginFile(rec.size());
    RecoveredFileRecord& r = record(rec, rel);
    RecoveredFile out(&running_, &*steps_, hash_);
    if (out.create(target) != kSuccess) {
        fail("Can not create file '" + rel + "'.");
        r.status = RecoveredStatus::Failed;
        r.reason = "the file could not be created";
        steps_->endFile();
        return;
    }
    const ExfatDataLayout layout = LocateExfatData(vol_, rec.set, !rec.formatted);
    for (const ExfatExtent& x : layout.extents) r.runs.push_back({vol_.startByte() + x.offset, x.length});
    ErrorCode err = ReadExfatData(vol_, layout, rec.set.validLength, UINT64_MAX, &running_, buf_,
                                  [&](ByteSpan piece) { return out.write(piece); });
    const bool whole = err == kSuccess && !layout.badFirstCluster && !layout.cutAtVolumeEnd;
    const ErrorCode closeErr = out.finish(whole);
    if (err == kSuccess) err = closeErr;
    const std::string line = EndRecoveredFile(r, out, rel, name, {err, layout.badFirstCluster, layout.cutAtVolumeEnd});
    if (line.empty())
        ++result_.written;
    else
        fail(line);
    steps_->endFile();
}

}  // namespace

ExfatRecoveryResult RecoverExfatFiles(const CExfatVolume& volume, const FolderTree& tree,
                                      const std::string& destination, UserPrompt& prompt, ProgressFields& progress,
                                      std::atomic<bool>& running, bool hash) {
    if (!volume.opened()) {
        ExfatRecoveryResult r;
        r.deviceError = volume.openError() ? volume.openError() : kErrInvalidDrive;
        prompt.message(kFatCannotReadDevice, "Error", MessageIcon::Error);
        return r;
    }
    Writer w(volume, prompt, progress, running, hash);
    return w.run(tree, destination);
}

ErrorCode ReadExfatFileHead(const CExfatVolume& volume, const ExfatFoundFile& record, uint64_t maxBytes,
                            std::vector<std::byte>& out) {
    out.clear();
    if (!volume.opened()) return volume.openError() ? volume.openError() : kErrInvalidDrive;
    const ExfatDataLayout layout = LocateExfatData(volume, record.set, !record.formatted);
    const uint64_t limit = std::min<uint64_t>({maxBytes, record.size(), kMaxPicturePreviewBytes});
    out.reserve(static_cast<size_t>(std::min(limit, layout.bytes)));
    std::vector<std::byte> buf;
    return ReadExfatData(volume, layout, record.set.validLength, limit, nullptr, buf, [&](ByteSpan piece) {
        out.insert(out.end(), piece.begin(), piece.end());
        return kSuccess;
    });
}

}  // namespace vantor
