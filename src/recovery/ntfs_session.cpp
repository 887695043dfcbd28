#include "recovery/ntfs_session.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "dialogs/destination.h"
#include "platform/device_table.h"
#include "platform/output_file.h"

namespace vantor {

namespace {

constexpr uint32_t kSectorBytes = 512;

// The caller's stop flag is the page's continue flag; the engine polls its
// own m_bRunning, so a stop is handed on while the scan runs.
class StopRelay {
public:
    StopRelay(const std::atomic<bool>& running, std::atomic<bool>& engineRunning)
        : thread_([this, &running, &engineRunning] {
              std::unique_lock lock(mutex_);
              while (!done_) {
                  if (!running.load()) engineRunning = false;
                  wake_.wait_for(lock, std::chrono::milliseconds(20));
              }
          }) {}
    ~StopRelay() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

std::string NameFilterFor(const AppState& state) {
    if (state.fileTypeGroup == 3) return kNtfsPhotoNameFilter;
    if (state.fileTypeGroup == 6) return kNtfsMailNameFilter;
    return state.currentFolder;
}

std::string ItemPath(const NtfsFoundItem& item) {
    std::string path;
    for (auto it = item.pathNames.rbegin(); it != item.pathNames.rend(); ++it) path += *it + "/";
    return path + item.nameText();
}

}  // namespace

NtfsSession::NtfsSession(const PartitionRecord& record) : record_(record) {}

NtfsSession::~NtfsSession() {
    // The model points into the volume's items: drop the tree first.
    model_.tree().clear();
    volume_.Reset();
}

std::string NtfsSession::EntryId(const NtfsFoundItem& item, uint32_t index) {
    if (item.imageIndex == 0) return std::to_string(item.recordIndex);
    return "L" + std::to_string(index);
}

bool NtfsSession::openDevice() {
    // A partition without a letter is read through its physical drive, from
    // its start sector; a lettered volume starts at sector 0 of its view
    // (the volume knows where that view lies on the drive).
    if (record_.driveLetter == '*' || record_.driveLetter == '\0') {
        if (!volume_.OpenDevice("PhysicalDrive" + std::to_string(record_.diskIndex), true)) return false;
        volume_.SetPartitionStart(record_.startSector, kSectorBytes, record_.totalBytes);
    } else {
        if (!volume_.OpenDevice(std::string(1, record_.driveLetter), false)) return false;
        volume_.SetPartitionStart(0, kSectorBytes, record_.totalBytes);
    }
    return true;
}

void NtfsSession::Relay::onFoundItem(NtfsFoundItem* item, uint32_t index) {
    session_.onModelThread([&] { session_.model_.onFoundItem(item, index); });
}

ErrorCode NtfsSession::scan(ScanKind kind, AppState& state, std::atomic<bool>& running) {
    ids_.clear();
    onModelThread([&] {
        model_.setScanKind(kind == ScanKind::Formatted ? kNtfsPageModeFormatted : kNtfsPageModeDeleted);
        model_.begin(record_.driveLetter);  // before the items it points to go
    });
    volume_.Reset();
    state.progress.reset();

    if (!openDevice()) {
        onModelThread([&] { model_.finishScan(); });
        return kErrNoImage;
    }
    // The chosen range is in device sectors; the volume counts from the
    // partition start. A state without a range scans the whole partition.
    const uint64_t start = record_.startSector;
    const uint64_t end = record_.endSector();
    uint64_t first = state.rangeEnd > state.rangeStart ? state.rangeStart : start;
    uint64_t last = state.rangeEnd > state.rangeStart ? state.rangeEnd : end;
    first = first > start ? first - start : 0;
    last = last > start ? last - start : 0;
    volume_.SetScanRange(static_cast<uint32_t>(std::min<uint64_t>(first, UINT32_MAX)),
                         static_cast<uint32_t>(std::min<uint64_t>(last, UINT32_MAX)));
    volume_.SetSink(&relay_);
    volume_.SetProgress(&state.progress);
    volume_.SetScanCriteria(state.fileTypeGroup, state.criteria);

    int rc = 0;
    volume_.m_bRunning = running.load();
    {
        StopRelay relay(running, volume_.m_bRunning);
        if (kind == ScanKind::Deleted) {
            state.progress.setText("Found Deleted Files : 0");
            volume_.SetFilters(NameFilterFor(state), state.currentRoot);
            rc = volume_.ScanDeletedRecords();
        } else {
            state.progress.setText("Found Formated Files : 0");
            rc = volume_.ScanFormatted();
        }
    }
    volume_.m_bRunning = false;
    onModelThread([&] { model_.finishScan(); });
    indexIds();
    // -1: no single MFT image, i.e. the boot sector is not NTFS.
    if (rc < 0) return kErrInvalidDrive;
    return static_cast<ErrorCode>(rc);
}

std::string NtfsSession::scanNote() const {
    const uint32_t dropped = volume_.formattedDroppedCount();
    if (dropped == 0) return {};
    char text[160];
    std::snprintf(text, sizeof(text), kNtfsLostRecordsCutFormat, dropped);
    return text;
}

void NtfsSession::indexIds() {
    ids_.clear();
    for (uint32_t i = 0; i < model_.itemSlots(); ++i)
        if (const NtfsFoundItem* it = model_.item(i)) ids_.emplace(EntryId(*it, i), i);
}

std::vector<FoundEntry> NtfsSession::entries() const {
    std::vector<FoundEntry> out;
    model_.tree().walk([&](FolderNode& node) {
        const NtfsNodeData* data = NtfsPageModel::nodeData(&node);
        if (!data) return true;
        const std::string folder = FolderPathOf(&node);
        for (uint32_t index : data->items) {
            const NtfsFoundItem* it = model_.item(index);
            if (!it || (model_.filterEnabled() && !model_.passesPageFilter(*it))) continue;
            const auto texts = model_.rowTexts(*it);
            FoundEntry e;
            e.id = EntryId(*it, index);
            e.folderPath = folder;
            e.name = texts[0];
            e.size = it->size;
            e.sizeText = texts[1];
            e.attributes = texts[3];
            e.modified = texts[4];
            e.created = texts[5];
            e.accessed = texts[6];
            e.deleted = it->isDeleted();
            e.selected = it->selected != 0;
            e.condition = it->condition;
            e.extra["record"] = std::to_string(it->imageIndex == 0 ? uint64_t{it->recordIndex} : it->recordNumber);
            e.extra["image"] = std::to_string(it->imageIndex);
            e.extra["path"] = ItemPath(*it);
            e.extra["deleted"] = it->isDeleted() ? "true" : "false";
            e.extra["type"] = texts[2];
            out.push_back(std::move(e));
        }
        return true;
    });
    return out;
}

bool NtfsSession::setChecked(const std::string& idOrFolderPath, bool on) {
    if (auto it = ids_.find(idOrFolderPath); it != ids_.end()) return model_.setItemChecked(it->second, on);
    FolderNode* node = FindFolderByPath(model_.tree(), idOrFolderPath);
    if (!node) return false;
    model_.setNodeChecked(node, on);
    return true;
}

DestinationCheck NtfsSession::checkDestination(const std::string& destination) {
    return volume_.OnScannedVolume(destination, record_.driveLetter) ? DestinationCheck::SameVolume
                                                                     : DestinationCheck::Ok;
}

ErrorCode NtfsSession::readRow(size_t row, uint64_t maxBytes, std::vector<std::byte>& out) {
    out.clear();
    const NtfsFoundItem* item = model_.rowItem(row);
    if (!item) return kErrInvalidParameter;
    return volume_.ReadItemData(*item, out, maxBytes);
}

RecoveryOutcome NtfsSession::recover(const std::string& destination, UserPrompt& prompt, AppState& state,
                                     std::atomic<bool>& running) {
    RecoveryOutcome outcome;
    volume_.ClearSelection();
    for (NtfsFoundItem* it : model_.collectSelection()) volume_.AddToSelection(it);
    volume_.SetProgress(&state.progress);
    state.progress.reset();
    if (!volume_.StartRecovery(destination, record_.driveLetter, prompt)) {
        // Refused before anything was written: nothing selected, or the
        // destination lies on the scanned volume.
        outcome.refused = true;
        return outcome;
    }
    if (CreateFolderPath(destination) != kSuccess) {
        outcome.failed = static_cast<uint32_t>(volume_.Selection().size());
        outcome.failures.push_back("Can not create folder '" + destination + "'.\n");
        return outcome;
    }
    NtfsRecoveryReport report = volume_.RecoverSelection(destination, prompt, running, hashWritten());
    // Ids and found-tree paths as entries() gives them, filter or not.
    std::unordered_map<const void*, std::pair<std::string, std::string>> names;
    model_.tree().walk([&](FolderNode& node) {
        const NtfsNodeData* data = NtfsPageModel::nodeData(&node);
        if (!data) return true;
        const std::string folder = FolderPathOf(&node);
        for (uint32_t index : data->items)
            if (const NtfsFoundItem* it = model_.item(index)) {
                const std::string name = model_.rowTexts(*it)[0];
                names.emplace(it, std::make_pair(EntryId(*it, index), folder.empty() ? name : folder + "/" + name));
            }
        return true;
    });
    for (RecoveredFileRecord& f : report.files)
        if (auto it = names.find(f.source); it != names.end()) {
            f.id = it->second.first;
            f.sourcePath = it->second.second;
        }
    outcome.files = std::move(report.files);
    TakeWriterCounts(outcome, report);
    return outcome;
}

std::unique_ptr<EngineSession> CreateNtfsSession(const PartitionRecord& record) {
    return std::make_unique<NtfsSession>(record);
}

}  // namespace vantor
