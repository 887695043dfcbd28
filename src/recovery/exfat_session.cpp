#include "recovery/exfat_session.h"

#include <cstdio>
#include <unordered_map>

#include "dialogs/destination.h"
#include "exfat/exfat_writer.h"
#include "fat/fat_dirent.h"
#include "fat/fat_page_model.h"
#include "fat/fat_writer.h"

namespace vantor {

namespace {

std::string IdOf(const ExfatFoundFile& r) {
    char text[32];
    std::snprintf(text, sizeof text, "x%llx", static_cast<unsigned long long>(r.entryOffset));
    return text;
}

}  // namespace

ExfatSession::ExfatSession(const PartitionRecord& record) : record_(record) {}

ErrorCode ExfatSession::scan(ScanKind kind, AppState& state, std::atomic<bool>& running) {
    // A fresh page for every scan; the page filter and its switch stay.
    onModelThread([&] { model_.restart(kind == ScanKind::Formatted ? kFatPageModeFormatted : kFatPageModeDeleted); });
    found_.clear();
    byOffset_.clear();
    state.progress.reset();
    reason_.clear();
    lastScan_ = {};
    volume_ = std::make_unique<CExfatVolume>(record_);
    if (!volume_->opened()) {
        reason_ = volume_->openReason();
        lastScan_.error = volume_->openError();
        return lastScan_.error;
    }
    // The tree is filled here; a view draws it only once the scan is over.
    FolderTree& tree = model_.tree();
    lastScan_ = kind == ScanKind::Formatted
                    ? ScanExfatFormatted(*volume_, tree, &state.criteria, state.progress, running, record_.driveLetter)
                    : ScanExfatDeleted(*volume_, tree, &state.criteria, state.progress, running, record_.driveLetter);
    onModelThread([&] { model_.scanFinished(); });
    tree.walk([this](FolderNode& node) {
        if (auto* files = node.dataAs<ExfatFolderFiles>())
            for (auto& f : files->files) {
                byOffset_.emplace(f->entryOffset, found_.size());
                found_.push_back({&node, f.get()});
            }
        return true;
    });
    return lastScan_.error;
}

std::string ExfatSession::scanNote() const {
    std::string note;
    if (volume_ && volume_->bootChecksumMismatch()) note = "The boot checksum sector does not match the boot sector.";
    if (lastScan_.recordsCut) {
        if (!note.empty()) note += " ";
        note += "Only the first " + std::to_string(kExfatMaxRecords) + " entries are listed.";
    }
    return note;
}

std::vector<FoundEntry> ExfatSession::entries() const {
    std::vector<FoundEntry> out;
    out.reserve(found_.size());
    FolderPaths paths(model_.tree());
    for (const Found& f : found_) {
        const ExfatFoundFile& r = *f.record;
        if (model_.filterEnabled() && !model_.passesFilter(r)) continue;
        FoundEntry e;
        e.id = IdOf(r);
        e.folderPath = paths.pathOf(f.node);
        e.name = r.name;
        e.size = r.size();
        e.sizeText = FatSizeText(e.size);
        e.attributes = FatAttributeText(static_cast<uint8_t>(r.set.attributes));
        e.modified = ExfatTimeText(r.set.modified);
        e.created = ExfatTimeText(r.set.created);
        e.accessed = ExfatTimeText(r.set.accessed);
        e.deleted = r.deleted || r.inDeletedFolder;
        e.selected = r.selected != 0;
        e.condition = r.condition;
        e.extra["ext"] = r.ext;
        e.extra["firstCluster"] = std::to_string(r.set.firstCluster);
        e.extra["validDataLength"] = std::to_string(r.set.validLength);
        e.extra["noFatChain"] = r.set.noFatChain() ? "1" : "0";
        e.extra["entryDeleted"] = r.deleted ? "1" : "0";
        e.extra["inDeletedFolder"] = r.inDeletedFolder ? "1" : "0";
        e.extra["modifiedUtc"] = ExfatTimeIso(r.set.modified);
        e.extra["createdUtc"] = ExfatTimeIso(r.set.created);
        e.extra["accessedUtc"] = ExfatTimeIso(r.set.accessed);
        e.extra["scan"] = r.formatted ? "formatted" : "deleted";
        out.push_back(std::move(e));
    }
    return out;
}

bool ExfatSession::setChecked(const std::string& idOrFolderPath, bool on) {
    // "x<hex>": the entry's volume offset.
    if (idOrFolderPath.size() > 1 && idOrFolderPath.size() <= 17 && idOrFolderPath[0] == 'x' &&
        idOrFolderPath.find_first_not_of("0123456789abcdef", 1) == std::string::npos) {
        auto it = byOffset_.find(std::stoull(idOrFolderPath.substr(1), nullptr, 16));
        if (it != byOffset_.end()) {
            const Found& f = found_[it->second];
            model_.setFileChecked(f.node, f.record, on);
            return true;
        }
    }
    FolderNode* node = FindFolderByPath(model_.tree(), idOrFolderPath);
    if (!node) return false;
    model_.setFolderChecked(node, on);
    return true;
}

DestinationCheck ExfatSession::checkDestination(const std::string& destination) {
    return DestinationOnScannedVolume(destination, record_) ? DestinationCheck::SameVolume : DestinationCheck::Ok;
}

ErrorCode ExfatSession::readRow(size_t row, uint64_t maxBytes, std::vector<std::byte>& out) {
    out.clear();
    const ExfatFoundFile* r = model_.rowRecord(row);
    if (!volume_ || !r) return kErrInvalidParameter;
    return ReadExfatFileHead(*volume_, *r, maxBytes, out);
}

RecoveryOutcome ExfatSession::recover(const std::string& destination, UserPrompt& prompt, AppState& state,
                                      std::atomic<bool>& running) {
    RecoveryOutcome out;
    if (!volume_ || !volume_->opened()) {
        out.deviceError = volume_ ? volume_->openError() : kErrNoImage;
        prompt.message(kFatCannotReadDevice, "Error", MessageIcon::Error);
        return out;
    }
    if (checkDestination(destination) != DestinationCheck::Ok) {
        prompt.message(kSelectOtherDriveText, kNoticeCaption, MessageIcon::Information);
        out.refused = true;
        return out;
    }
    ExfatRecoveryResult r = RecoverExfatFiles(*volume_, model_.tree(), StoredDestination(destination), prompt,
                                              state.progress, running, hashWritten());
    std::unordered_map<const void*, const Found*> index;
    for (const Found& f : found_) index.emplace(f.record, &f);
    FolderPaths paths(model_.tree());
    for (RecoveredFileRecord& f : r.files) {
        auto it = index.find(f.source);
        if (it == index.end()) continue;
        const std::string folder = paths.pathOf(it->second->node);
        f.id = IdOf(*it->second->record);
        f.sourcePath = folder.empty() ? it->second->record->name : folder + "/" + it->second->record->name;
    }
    out.files = std::move(r.files);
    TakeWriterCounts(out, r);
    out.deviceError = r.deviceError;
    return out;
}

std::unique_ptr<EngineSession> CreateExfatSession(const PartitionRecord& record) {
    return std::make_unique<ExfatSession>(record);
}

}  // namespace vantor
