#include "fat/fat_writer.h"

#include <algorithm>
#include <deque>
#include <optional>

#include "dialogs/overwrite.h"
#include "dialogs/preview.h"
#include "platform/device_table.h"
#include "platform/output_file.h"

namespace vantor {

namespace {

// Large requests keep both the source and the target streaming.
constexpr size_t kCopyChunk = 4u << 20;

void takeCluster(const CFatVolume& v, uint32_t c, uint64_t bytes, FatDataLayout& layout) {
    const uint64_t off = v.clusterOffset(c);
    if (!layout.extents.empty()) {
        FatExtent& last = layout.extents.back();
        if (last.offset + last.length == off) {
            last.length += bytes;
            layout.bytes += bytes;
            return;
        }
    }
    layout.extents.push_back({off, bytes});
    layout.bytes += bytes;
}

// Reads the layout's bytes in order, up to limit, handing each piece to sink.
template <typename Sink>
ErrorCode readLayout(const CFatVolume& v, const FatDataLayout& layout, uint64_t limit,
                     const std::atomic<bool>* running, std::vector<std::byte>& buf, Sink&& sink) {
    uint64_t done = 0;
    for (const FatExtent& x : layout.extents) {
        uint64_t pos = 0;
        while (pos < x.length && done < limit) {
            if (running && !running->load()) return kErrCancelled;
            const uint64_t n = std::min<uint64_t>({x.length - pos, limit - done, kCopyChunk});
            buf.resize(static_cast<size_t>(n));
            if (ErrorCode err = v.readVolume(x.offset + pos, buf); err != kSuccess) return err;
            if (ErrorCode err = sink(ByteSpan(buf)); err != kSuccess) return err;
            pos += n;
            done += n;
        }
        if (done >= limit) break;
    }
    return kSuccess;
}

// The deleted-file rule's test: a live chain holds the first cluster now.
bool FirstClusterTaken(const CFatVolume& v, uint32_t first) { return v.fatEntry(first) != 0; }

bool FirstClusterValid(const CFatVolume& v, uint32_t first) {
    return v.opened() && first >= 2 && first <= v.lastCluster();
}

}  // namespace

DataCondition FatDataCondition(const CFatVolume& v, const FatFoundFile& rec) {
    if (rec.size == 0) return DataCondition::Intact;
    const uint32_t first = rec.firstCluster;
    if (!FirstClusterValid(v, first)) return DataCondition::Unknown;
    const bool taken = FirstClusterTaken(v, first);
    if (rec.origin != FatRecordOrigin::LostFolderScan)
        return taken ? DataCondition::Overwritten : DataCondition::Intact;
    const uint64_t count = std::min<uint64_t>((uint64_t{rec.size} + v.clusterBytes() - 1) / v.clusterBytes(),
                                              uint64_t{v.lastCluster()} - first + 1);
    const uint64_t end = first + count;
    if (taken) {
        // A live file's own chain, laid out as the run: nothing overwritten.
        uint64_t c = first;
        while (c + 1 < end && v.fatEntry(static_cast<uint32_t>(c)) == c + 1) ++c;
        const bool own = c + 1 == end && v.isEndOfChain(v.fatEntry(static_cast<uint32_t>(c)));
        return own ? DataCondition::Intact : DataCondition::Overwritten;
    }
    // The rest of the run, counted in the free-cluster index; clusters past
    // the FAT copy read as free.
    const uint64_t inFat = std::min<uint64_t>(end, v.fatEntryCount());
    if (inFat <= uint64_t{first} + 1) return DataCondition::Intact;
    const std::span<const uint32_t> free = v.freeClustersAfter(first);
    const uint64_t freeInRun = static_cast<uint64_t>(
        std::lower_bound(free.begin(), free.end(), inFat) - free.begin());
    return freeInRun == inFat - first - 1 ? DataCondition::Intact : DataCondition::PartlyOverwritten;
}

FatDataLayout LocateFatFileData(const CFatVolume& v, const FatFoundFile& rec) {
    FatDataLayout layout;
    if (rec.size == 0) return layout;
    const uint32_t first = rec.firstCluster;
    if (!FirstClusterValid(v, first)) {
        layout.badFirstCluster = true;
        return layout;
    }
    const uint64_t cb = v.clusterBytes();
    uint64_t remaining = rec.size;
    if (rec.origin == FatRecordOrigin::LostFolderScan) {
        // The old FAT is gone: the file is taken as one run from its first cluster.
        const uint64_t off = v.clusterOffset(first);
        const uint64_t dataEnd = v.clusterOffset(v.lastCluster()) + cb;
        uint64_t len = remaining;
        if (off + len > dataEnd) {
            len = dataEnd - off;
            layout.cutAtVolumeEnd = true;
        }
        layout.extents.push_back({off, len});
        layout.bytes = len;
        return layout;
    }
    // The FAT is intact: after the first cluster, the file can only have
    // lived in clusters that no live chain holds now.
    layout.overwritten = FirstClusterTaken(v, first);
    uint64_t n = std::min(remaining, cb);
    takeCluster(v, first, n, layout);
    remaining -= n;
    for (uint32_t c : v.freeClustersAfter(first)) {
        if (remaining == 0) break;
        n = std::min(remaining, cb);
        takeCluster(v, c, n, layout);
        remaining -= n;
    }
    // Clusters past the FAT copy have no entry and read as free.
    for (uint64_t c = std::max<uint64_t>(uint64_t{first} + 1, v.fatEntryCount());
         remaining > 0 && c <= v.lastCluster(); ++c) {
        n = std::min(remaining, cb);
        takeCluster(v, static_cast<uint32_t>(c), n, layout);
        remaining -= n;
    }
    if (remaining > 0) layout.cutAtVolumeEnd = true;
    return layout;
}

uint32_t CountSelectedFatFiles(const FolderTree& tree) {
    uint32_t count = 0;
    tree.walk([&](FolderNode& node) {
        if (!node.checked) return false;
        if (const auto* files = node.dataAs<FatFolderFiles>())
            for (const auto& f : files->files)
                if (f->selected) ++count;
        return true;
    });
    return count;
}

std::string FatRecoveryResult::failureSummary() const {
    std::string text;
    for (const auto& line : failures) {
        text += line;
        text += '\n';
    }
    return text;
}

namespace {

class Writer {
public:
    Writer(const CFatVolume& v, UserPrompt& p, ProgressFields& pr, std::atomic<bool>& r, bool hash)
        : vol_(v), prompt_(p), progress_(pr), running_(r), hash_(hash), guard_(p) {}

    FatRecoveryResult run(const FolderTree& tree, const std::string& destination);

private:
    void copyOne(const FatFoundFile& rec, const std::string& folder, const std::string& relFolder);
    void fail(const std::string& line) {
        result_.failures.push_back(line);
        ++result_.failed;
    }
    RecoveredFileRecord& record(const FatFoundFile& rec, std::string path) {
        RecoveredFileRecord& r = result_.files.emplace_back();
        r.path = std::move(path);
        r.source = &rec;
        r.size = rec.size;
        r.condition = FatDataCondition(vol_, rec);
        return r;
    }

    const CFatVolume& vol_;
    UserPrompt& prompt_;
    ProgressFields& progress_;
    std::atomic<bool>& running_;
    bool hash_;
    OverwriteGuard guard_;
    FatRecoveryResult result_;
    std::optional<RecoveryProgress> steps_;
    std::vector<std::byte> buf_;
};

FatRecoveryResult Writer::run(const FolderTree& tree, const std::string& destination) {
    result_.total = CountSelectedFatFiles(tree);
    uint64_t bytes = 0;
    tree.walk([&](FolderNode& node) {
        if (!node.checked) return false;
        if (const auto* files = node.dataAs<FatFolderFiles>())
            for (const auto& f : files->files)
                if (f->selected) bytes += f->size;
        return true;
    });
    steps_.emplace(progress_, result_.total, bytes);
    guard_.startRun();

    enum class Parent { NotMade, Made, Failed };
    struct Item {
        const FolderNode* node;
        std::string rel;  // folder path below the destination, "/"-separated
        Parent parent = Parent::NotMade;
    };
    std::deque<Item> queue;
    if (tree.root()) queue.push_back({tree.root(), {}});
    while (!queue.empty() && running_.load()) {
        Item item = std::move(queue.front());
        queue.pop_front();
        if (!item.node->checked) continue;  // nothing below an unchecked node is visited
        const auto* files = item.node->dataAs<FatFolderFiles>();
        const std::string folder = item.rel.empty() ? destination : JoinPath(destination, item.rel);
        // Every checked folder is made, also one whose files were not ticked.
        // Below a folder just made one mkdir does; below one that could not
        // be made nothing can be, and a deep tree must not cost a mkdir per
        // level for every folder.
        bool folderOk = false;
        if (files) {
            if (item.parent == Parent::Made) folderOk = CreateFolder(folder) == kSuccess;
            else if (item.parent == Parent::NotMade) folderOk = CreateFolderPath(folder) == kSuccess;
        }
        const Parent state = !files ? Parent::NotMade : folderOk ? Parent::Made : Parent::Failed;
        for (const auto& child : item.node->children()) {
            std::string rel = item.rel.empty() ? SafeFileName(child->text)
                                               : item.rel + "/" + SafeFileName(child->text);
            queue.push_back({child.get(), std::move(rel), state});
        }
        if (!files) continue;
        for (const auto& f : files->files) {
            if (!f->selected) continue;
            if (!running_.load()) break;
            if (!folderOk) {
                const std::string rel = item.rel.empty() ? f->nameText() : item.rel + "/" + f->nameText();
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
    if (!result_.failures.empty())
        prompt_.message(result_.failureSummary(), "Notice", MessageIcon::Information);
    return result_;
}

void Writer::copyOne(const FatFoundFile& rec, const std::string& folder, const std::string& relFolder) {
    const std::string name = SafeFileName(rec.nameText());
    const std::string target = JoinPath(folder, name);
    const std::string rel = relFolder.empty() ? name : relFolder + "/" + name;

    switch (guard_.check(target, rec.nameText())) {
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
    case OverwriteDecision::Write:
        break;
    }
    progress_.setText(rec.nameText());
    steps_->beginFile(rec.size);

    RecoveredFileRecord& r = record(rec, rel);
    RecoveredFile out(&running_, &*steps_, hash_);
    if (out.create(target) != kSuccess) {
        fail("Can not create file '" + rel + "'.");
        r.status = RecoveredStatus::Failed;
        r.reason = "the file could not be created";
        steps_->endFile();
        return;
    }
    const FatDataLayout layout = LocateFatFileData(vol_, rec);
    const uint64_t start = uint64_t{vol_.partitionStart()} * 512;
    for (const FatExtent& x : layout.extents) r.runs.push_back({start + x.offset, x.length});
    ErrorCode err = readLayout(vol_, layout, layout.bytes, &running_, buf_,
                               [&](ByteSpan piece) { return out.write(piece); });
    // An overwritten file is whole in size and is kept under its name, as it
    // always was; one cut short is not.
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

FatRecoveryResult RecoverFatFiles(const CFatVolume& volume, const FolderTree& tree,
                                  const std::string& destination, UserPrompt& prompt,
                                  ProgressFields& progress, std::atomic<bool>& running, bool hash) {
    if (!volume.opened()) {
        FatRecoveryResult r;
        r.deviceError = volume.openError() ? volume.openError() : kErrInvalidDrive;
        prompt.message(kFatCannotReadDevice, "Error", MessageIcon::Error);
        return r;
    }
    Writer w(volume, prompt, progress, running, hash);
    return w.run(tree, destination);
}

FatRecoveryResult RecoverFatFiles(const PartitionRecord& record, int fatKind, const FolderTree& tree,
                                  const std::string& destination, UserPrompt& prompt,
                                  ProgressFields& progress, std::atomic<bool>& running, bool hash) {
    DevicePtr dev;
    if (ErrorCode err = DeviceTable::Global().openDrive(record.diskIndex, Access::Read, dev); err != kSuccess) {
        FatRecoveryResult r;
        r.deviceError = err;
        prompt.message(kFatCannotOpenDevice, "Error", MessageIcon::Error);
        return r;
    }
    if (uint64_t{record.startSector} * 512 >= dev->size()) {
        FatRecoveryResult r;
        r.deviceError = kErrSeek;
        prompt.message(kFatCannotAccessDevice, "Error", MessageIcon::Error);
        return r;
    }
    const auto volume = OpenFatVolume(dev, record.startSector, record.driveLetter, fatKind);
    return RecoverFatFiles(*volume, tree, destination, prompt, progress, running, hash);
}

ErrorCode ReadFatFileHead(const CFatVolume& volume, const FatFoundFile& record, uint64_t maxBytes,
                          std::vector<std::byte>& out, FatDataLayout* layoutOut) {
    out.clear();
    if (!volume.opened()) return volume.openError() ? volume.openError() : kErrInvalidDrive;
    const FatDataLayout layout = LocateFatFileData(volume, record);
    if (layoutOut) *layoutOut = layout;
    // A picture preview reads the whole file; a hostile size must not allocate without bound.
    const uint64_t limit = std::min<uint64_t>({maxBytes, record.size, kMaxPicturePreviewBytes});
    out.reserve(static_cast<size_t>(std::min(limit, layout.bytes)));
    std::vector<std::byte> buf;
    return readLayout(volume, layout, limit, nullptr, buf, [&](ByteSpan piece) {
        out.insert(out.end(), piece.begin(), piece.end());
        return kSuccess;
    });
}

}  // namespace vantor
