#include "recovery/raw_session.h"

#include "dialogs/destination.h"
#include "ntfs/ntfs_page_model.h"

namespace vantor {

RawSession::RawSession(const PartitionRecord& record, RawSessionOptions options)
    : record_(record), options_(std::move(options)) {}

ErrorCode RawSession::scan(ScanKind, AppState& state, std::atomic<bool>& running) {
    model_.reset();
    reason_.clear();
    note_.clear();
    scanned_ = false;
    state.progress.reset();
    RawSignatureTable& table = this->table();
    if (table.empty()) {
        std::vector<std::string> warnings;
        const std::string path = options_.signatureFile.empty() ? FindSignatureFile() : options_.signatureFile;
        if (!LoadSignatures(path, table, reason_, &warnings)) return kErrFileNotFound;
        for (const auto& w : warnings) note_ += (note_.empty() ? "rp.dat: " : "; ") + w;
    }
    if (!options_.types.empty()) {
        const auto unknown = table.enableOnly(options_.types);
        if (!unknown.empty()) {
            reason_ = "no signature for the type";
            for (const auto& u : unknown) reason_ += " '" + u + "'";
            return kErrInvalidParameter;
        }
    }
    if (!options_.sharedTable) table.formatEnds = options_.formatEnds;
    const bool byLetter = record_.driveLetter >= 'A' && record_.driveLetter <= 'Z';
    const ErrorCode opened = byLetter ? scanner_.OpenDevice(std::string(1, record_.driveLetter), false)
                                      : scanner_.OpenDevice("PhysicalDrive" + std::to_string(record_.diskIndex), true);
    if (opened != kSuccess) {
        reason_ = "the drive cannot be opened";
        return opened;
    }
    scanner_.SetPartitionStart(byLetter ? 0 : record_.startSector, 512);
    const uint64_t first = state.rawRangeStart > record_.startSector ? state.rawRangeStart - record_.startSector : 0;
    const uint64_t last = state.rawRangeEnd > record_.startSector ? state.rawRangeEnd - record_.startSector : 0;
    scanner_.SetScanRange(first, last);
    scanner_.SetMaxSize(options_.maxSizeKB ? options_.maxSizeKB : options_.sharedTable ? table.maxSizeKB : 0);
    scanner_.SetTable(&table);
    scanner_.m_bRunning = true;
    scanner_.SetPageFlag(&running);
    const int rc = scanner_.Scan(state.progress);
    scanner_.SetPageFlag(nullptr);
    if (rc != 0) {
        reason_ = scanner_.loadError();
        return kErrInvalidParameter;
    }
    onModelThread([&] { model_.build(record_.driveLetter, scanner_.items()); });
    scanned_ = true;
    return kSuccess;
}

std::vector<FoundEntry> RawSession::entries() const {
    std::vector<FoundEntry> out;
    const FolderTree& tree = model_.tree();
    if (!tree.root()) return out;
    FolderPaths paths(tree);
    const auto& items = scanner_.items();
    for (const auto& child : tree.root()->children()) {
        const auto* list = child->dataAs<RawNodeItems>();
        if (!list) continue;
        const std::string folder = paths.pathOf(child.get());
        for (uint32_t i : list->items) {
            const RawFoundItem& it = *items[i];
            if (model_.filterEnabled() && !model_.passesFilter(it)) continue;
            FoundEntry e;
            e.id = it.name;
            e.folderPath = folder;
            e.name = it.name;
            e.size = it.size;
            e.sizeText = NtfsSizeText(it.size);
            e.selected = it.selected != 0;
            e.deleted = true;
            e.extra["startSector"] = std::to_string(it.startSector);
            e.extra["ext"] = it.extension;
            e.extra["end"] = RawCutName(it.cut);
            out.push_back(std::move(e));
        }
    }
    return out;
}

bool RawSession::setChecked(const std::string& idOrFolderPath, bool on) {
    for (const auto& it : scanner_.items())
        if (it->name == idOrFolderPath) {
            model_.setItemChecked(*it, on);
            return true;
        }
    FolderNode* node = FindFolderByPath(model_.tree(), idOrFolderPath);
    if (!node) return false;
    model_.setFolderChecked(node, on);
    return true;
}

DestinationCheck RawSession::checkDestination(const std::string& destination) {
    return DestinationOnScannedVolume(destination, record_) ? DestinationCheck::SameVolume : DestinationCheck::Ok;
}

RecoveryOutcome RawSession::recover(const std::string& destination, UserPrompt& prompt, AppState& state,
                                    std::atomic<bool>& running) {
    RecoveryOutcome out;
    if (!scanned_ || !scanner_.device().isOpen()) {
        out.deviceError = kErrNoImage;
        prompt.message("Can not read data from this physical device!!", "Error", MessageIcon::Error);
        return out;
    }
    bool any = false;
    for (const auto& it : scanner_.items()) any = any || it->selected;
    if (!any) {
        prompt.message("Please select file to recover!", kNoticeCaption, MessageIcon::Information);
        out.refused = true;
        return out;
    }
    if (DestinationOnScannedVolume(destination, record_)) {
        prompt.message(kSelectOtherDriveText, kNoticeCaption, MessageIcon::Information);
        out.refused = true;
        return out;
    }
    RawRecoveryResult r = RecoverRawFiles(scanner_, destination, prompt, state.progress, running, hashWritten());
    // The report names each file by its place in the found tree.
    for (RecoveredFileRecord& f : r.files) {
        const auto* item = static_cast<const RawFoundItem*>(f.source);
        f.sourcePath = item->description + "/" + item->name;
    }
    out.files = std::move(r.files);
    TakeWriterCounts(out, r);
    return out;
}

ErrorCode RawSession::readRow(size_t row, uint64_t maxBytes, std::vector<std::byte>& out) {
    out.clear();
    const RawFoundItem* item = model_.rowItem(row);
    if (!item) return kErrInvalidParameter;
    const int rc = scanner_.ReadItem(item, out, maxBytes);
    return rc == 0 ? kSuccess : rc < 0 ? kErrInvalidParameter : static_cast<ErrorCode>(rc);
}

PartitionRecord RawWholeDriveRecord(const PhysicalDriveInfo& drive) {
    PartitionRecord r;
    r.diskIndex = static_cast<int32_t>(drive.driveIndex);
    r.slotKind = 1;
    r.totalBytes = static_cast<uint64_t>(drive.sizeBytes) / 512 * 512;
    r.setFileSystem("Whole Disk");
    return r;
}

std::unique_ptr<EngineSession> CreateRawSession(const PartitionRecord& record, RawSessionOptions options) {
    return std::make_unique<RawSession>(record, std::move(options));
}

}  // namespace vantor
