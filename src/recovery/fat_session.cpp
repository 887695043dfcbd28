#include "recovery/fat_session.h"

#include <cstdlib>
#include <unordered_map>

#include "dialogs/destination.h"
#include "fat/fat_scan.h"
#include "fat/fat_volume.h"
#include "fat/fat_writer.h"

namespace vantor {

namespace {

FatKind KindOf(int fatKind) { return fatKind == 2 ? FatKind::Fat32 : FatKind::Fat16; }

// "f12" -> 11; npos for anything else.
size_t IndexOfId(const std::string& id, size_t count) {
    if (id.size() < 2 || id[0] != 'f' || id[1] < '1' || id[1] > '9') return std::string::npos;
    size_t n = 0;
    for (size_t i = 1; i < id.size(); ++i) {
        if (id[i] < '0' || id[i] > '9' || n > count) return std::string::npos;
        n = n * 10 + static_cast<size_t>(id[i] - '0');
    }
    return n >= 1 && n <= count ? n - 1 : std::string::npos;
}

}  // namespace

FatSession::FatSession(const PartitionRecord& record, int fatKind)
    : record_(record), fatKind_(fatKind),
      model_(std::make_unique<FatPageModel>(kFatPageModeDeleted, KindOf(fatKind))) {}

std::string FatSession::engineName() const { return fatKind_ == 2 ? "FAT32" : "FAT16"; }

ErrorCode FatSession::scan(ScanKind kind, AppState& state, std::atomic<bool>& running) {
    // A fresh page for every scan; the page filter and its switch stay.
    onModelThread([&] { model_->restart(kind == ScanKind::Formatted ? kFatPageModeFormatted : kFatPageModeDeleted); });
    found_.clear();
    lastScan_ = {};

    std::unique_ptr<CFatVolume> volume = OpenFatVolume(record_, fatKind_);
    // A partition the engine cannot open leaves an empty tree.
    if (!volume || !volume->opened()) {
        lastScan_.error = volume ? volume->openError() : kErrNoImage;
        return lastScan_.error;
    }
    const FatScanOptions options =
        model_->scanOptions(state.currentRoot, state.currentFolder, state.fileTypeGroup, state.rangeStart,
                            state.rangeEnd, record_.startSector);
    // The tree is filled here; a view draws it only once the scan is over.
    lastScan_ = kind == ScanKind::Formatted
                    ? ScanLostFolders(*volume, model_->tree(), &state.criteria, state.progress, running, options)
                    : ScanDeleted(*volume, model_->tree(), &state.criteria, state.progress, running, options);
    onModelThread([&] { model_->scanFinished(); });
    indexRecords();
    // Kept for previews and thumbnails: opening reads the whole FAT, which
    // is done here on the scan's thread rather than at the first double click.
    previewVolume_ = std::move(volume);
    return lastScan_.error;
}

void FatSession::indexRecords() {
    found_.clear();
    model_->tree().walk([this](FolderNode& node) {
        if (auto* files = node.dataAs<FatFolderFiles>())
            for (auto& rec : files->files) found_.push_back({&node, rec.get()});
        return true;
    });
}

std::vector<FoundEntry> FatSession::entries() const {
    std::vector<FoundEntry> out;
    out.reserve(found_.size());
    FolderPaths paths(model_->tree());
    for (size_t i = 0; i < found_.size(); ++i) {
        const FatFoundFile& r = *found_[i].record;
        if (model_->filterEnabled() && !model_->passesFilter(r)) continue;
        FoundEntry e;
        e.id = "f" + std::to_string(i + 1);
        e.folderPath = paths.pathOf(found_[i].node);
        e.name = r.nameText();
        e.size = r.size;
        e.sizeText = FatSizeText(r.size);
        e.attributes = r.attributesText();
        e.modified = FatDateTimeText(r.writeDate, r.writeTime);
        e.created = FatDateTimeText(r.creationDate, r.creationTime);
        e.accessed = FatAccessDateText(r.accessDate);
        e.deleted = r.deleted || r.inDeletedFolder;
        e.selected = r.selected != 0;
        e.condition = r.condition;
        e.extra["ext"] = r.extText();
        e.extra["firstCluster"] = std::to_string(r.firstCluster);
        e.extra["entryDeleted"] = r.deleted ? "1" : "0";
        e.extra["inDeletedFolder"] = r.inDeletedFolder ? "1" : "0";
        e.extra["scan"] = r.origin == FatRecordOrigin::LostFolderScan ? "lost-folder" : "deleted";
        out.push_back(std::move(e));
    }
    return out;
}

bool FatSession::setChecked(const std::string& idOrFolderPath, bool on) {
    const size_t i = IndexOfId(idOrFolderPath, found_.size());
    if (i != std::string::npos) {
        model_->setFileChecked(found_[i].node, found_[i].record, on);
        return true;
    }
    FolderNode* node = FindFolderByPath(model_->tree(), idOrFolderPath);
    if (!node) return false;
    model_->setFolderChecked(node, on);
    return true;
}

DestinationCheck FatSession::checkDestination(const std::string& destination) {
    return DestinationOnScannedVolume(destination, record_) ? DestinationCheck::SameVolume : DestinationCheck::Ok;
}

ErrorCode FatSession::readRow(size_t row, uint64_t maxBytes, std::vector<std::byte>& out) {
    const FatFoundFile* record = model_->rowRecord(row);
    if (!record) {
        out.clear();
        return kErrInvalidParameter;
    }
    return readHead(*record, maxBytes, out);
}

RecoveryOutcome FatSession::recover(const std::string& destination, UserPrompt& prompt, AppState& state,
                                    std::atomic<bool>& running) {
    RecoveryOutcome out;
    const DestinationCheck check = model_->checkDestination(destination, record_);
    if (check != DestinationCheck::Ok) {
        prompt.message(DestinationMessage(check), kNoticeCaption, MessageIcon::Information);
        out.refused = true;
        return out;
    }
    FatRecoveryResult r = RecoverFatFiles(record_, fatKind_, model_->tree(), StoredDestination(destination),
                                          prompt, state.progress, running, hashWritten());
    std::unordered_map<const void*, size_t> index;
    for (size_t i = 0; i < found_.size(); ++i) index.emplace(found_[i].record, i);
    FolderPaths paths(model_->tree());
    for (RecoveredFileRecord& f : r.files) {
        auto it = index.find(f.source);
        if (it == index.end()) continue;
        const Found& found = found_[it->second];
        const std::string folder = paths.pathOf(found.node);
        f.id = "f" + std::to_string(it->second + 1);
        f.sourcePath = folder.empty() ? found.record->nameText() : folder + "/" + found.record->nameText();
    }
    out.files = std::move(r.files);
    TakeWriterCounts(out, r);
    out.deviceError = r.deviceError;
    return out;
}

ErrorCode FatSession::readHead(const FatFoundFile& record, uint64_t maxBytes, std::vector<std::byte>& out) {
    out.clear();
    if (!previewVolume_ || !previewVolume_->opened()) previewVolume_ = OpenFatVolume(record_, fatKind_);
    if (!previewVolume_ || !previewVolume_->opened())
        return previewVolume_ ? previewVolume_->openError() : kErrNoImage;
    return ReadFatFileHead(*previewVolume_, record, maxBytes, out);
}

std::unique_ptr<EngineSession> CreateFatSession(const PartitionRecord& record, int fatKind) {
    return std::make_unique<FatSession>(record, fatKind);
}

}  // namespace vantor
