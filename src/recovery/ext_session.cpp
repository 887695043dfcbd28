#include "recovery/ext_session.h"

#include <unordered_map>

#include "dialogs/destination.h"
#include "ext/ext_writer.h"
#include "platform/time_util.h"

namespace vantor {

namespace {

const char* SourceText(ExtNameSource s) {
    switch (s) {
        case ExtNameSource::LiveEntry: return "entry";
        case ExtNameSource::Slack: return "slack";
        case ExtNameSource::DeletedFolder: return "deleted folder";
        case ExtNameSource::Journal: return "journal";
        case ExtNameSource::None: break;
    }
    return "none";
}

}  // namespace

ExtSession::ExtSession(const PartitionRecord& record) : record_(record) {}

ErrorCode ExtSession::scan(ScanKind kind, AppState& state, std::atomic<bool>& running) {
    // The model points into the old volume's records: let go of them first.
    onModelThread([this] {
        found_.clear();
        model_.reset();
    });
    state.progress.reset();
    reason_.clear();
    if (kind != ScanKind::Deleted) {
        reason_ = "EXT partitions have a deleted-file scan only";
        return kErrNotSupported;
    }
    volume_ = OpenExtVolume(record_);
    if (!volume_->opened()) {
        reason_ = volume_->openReason();
        return volume_->openError();
    }
    volume_->m_bRunning = true;
    volume_->SetPageFlag(&running);
    const ErrorCode err = volume_->ScanDeleted(state.progress);
    volume_->SetPageFlag(nullptr);
    volume_->m_bRunning = false;
    // The application-wide criteria narrow what a scan lists, as on the other pages.
    auto& found = volume_->found();
    std::erase_if(found, [&](const std::unique_ptr<ExtFoundFile>& r) {
        return !MatchesCriteria(state.criteria, r->extensionText(), r->nameText(), r->size(),
                                DosDateFromUnix(r->view().ctime()));
    });
    onModelThread([&] {
        model_.build(record_.fileSystemName(), record_.label(), found);
        model_.tree().walk([this](FolderNode& node) {
            if (auto* files = node.dataAs<ExtNodeFiles>())
                for (ExtFoundFile* f : files->files) found_.push_back({&node, f});
            return true;
        });
    });
    return err;
}

std::string ExtSession::scanErrorText() const { return reason_; }

DestinationCheck ExtSession::checkDestination(const std::string& destination) {
    // No letter to compare: the destination's file system must not live on
    // the scanned partition's bytes.
    return DestinationOnScannedVolume(destination, record_) ? DestinationCheck::SameVolume : DestinationCheck::Ok;
}

ErrorCode ExtSession::readRow(size_t row, uint64_t maxBytes, std::vector<std::byte>& out) {
    out.clear();
    const ExtFoundFile* r = model_.rowRecord(row);
    if (!volume_ || !r) return kErrInvalidParameter;
    return volume_->ReadToBuffer(*r, maxBytes, out);
}

std::vector<FoundEntry> ExtSession::entries() const {
    std::vector<FoundEntry> out;
    out.reserve(found_.size());
    FolderPaths paths(model_.tree());
    for (const Found& f : found_) {
        const ExtFoundFile& r = *f.record;
        if (model_.filterEnabled() && !model_.passesFilter(r)) continue;
        const ExtInodeView v = r.view();
        FoundEntry e;
        e.id = std::to_string(r.inodeNumber);
        e.folderPath = paths.pathOf(f.node);
        e.name = r.nameText();
        e.size = r.size();
        e.sizeText = ExtSizeText(e.size);
        e.attributes = ExtAttributesText(v.mode());
        e.modified = ExtTimeText(v.mtime());
        e.created = ExtTimeText(v.ctime());
        e.accessed = ExtTimeText(v.atime());
        e.deleted = true;
        e.selected = r.selected != 0;
        e.extra["inode"] = e.id;
        e.extra["ext"] = r.extensionText();
        e.extra["nameFrom"] = SourceText(r.nameSource);
        e.extra["deleted"] = ExtTimeText(v.dtime());
        e.condition = r.condition;
        out.push_back(std::move(e));
    }
    return out;
}

bool ExtSession::setChecked(const std::string& idOrFolderPath, bool on) {
    for (const Found& f : found_)
        if (std::to_string(f.record->inodeNumber) == idOrFolderPath) {
            model_.setFileChecked(f.node, f.record, on);
            return true;
        }
    FolderNode* node = FindFolderByPath(model_.tree(), idOrFolderPath);
    if (!node) return false;
    model_.setFolderChecked(node, on);
    return true;
}

RecoveryOutcome ExtSession::recover(const std::string& destination, UserPrompt& prompt, AppState& state,
                                    std::atomic<bool>& running) {
    RecoveryOutcome out;
    if (!volume_ || !volume_->opened()) {
        out.deviceError = volume_ ? volume_->openError() : kErrNoImage;
        prompt.message("Can not read data from this physical device!!", "Error", MessageIcon::Error);
        return out;
    }
    if (checkDestination(destination) != DestinationCheck::Ok) {
        prompt.message(kSelectOtherDriveText, kNoticeCaption, MessageIcon::Information);
        out.refused = true;
        return out;
    }
    ExtRecoveryResult r =
        RecoverExtFiles(*volume_, model_.tree(), destination, prompt, state.progress, running, hashWritten(),
                        [this](const ExtFoundFile& f) { return !model_.filterEnabled() || model_.passesFilter(f); });
    std::unordered_map<const void*, const Found*> index;
    for (const Found& f : found_) index.emplace(f.record, &f);
    FolderPaths paths(model_.tree());
    for (RecoveredFileRecord& f : r.files) {
        auto it = index.find(f.source);
        if (it == index.end()) continue;
        const std::string folder = paths.pathOf(it->second->node);
        f.id = std::to_string(it->second->record->inodeNumber);
        f.sourcePath = folder.empty() ? it->second->record->nameText() : folder + "/" + it->second->record->nameText();
    }
    out.files = std::move(r.files);
    TakeWriterCounts(out, r);
    return out;
}

std::unique_ptr<EngineSession> CreateExtSession(const PartitionRecord& record) {
    return std::make_unique<ExtSession>(record);
}

}  // namespace vantor
