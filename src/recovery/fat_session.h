#pragma once
// The FAT engine behind the EngineSession interface: one scan fills the
// FAT page model's tree, selection goes through the model's check
// propagation, and recovery runs the FAT writer on the ticked files.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fat/fat_page_model.h"
#include "fat/fat_volume.h"
#include "recovery/engine_session.h"

namespace vantor {

class FatSession final : public EngineSession {
public:
    // fatKind 2 = FAT32, anything else FAT16 (as the page picks the engine).
    FatSession(const PartitionRecord& record, int fatKind);

    std::string engineName() const override;
    ErrorCode scan(ScanKind kind, AppState& state, std::atomic<bool>& running) override;
    const FolderTree& tree() const override { return model_->tree(); }
    FilterCriteria& pageFilter() override { return model_->pageFilter(); }
    void setFilterEnabled(bool on) override { model_->setFilterEnabled(on); }
    std::vector<FoundEntry> entries() const override;
    bool setChecked(const std::string& idOrFolderPath, bool on) override;
    void setFolderChecked(FolderNode* node, bool on) override { model_->setFolderChecked(node, on); }
    void checkAll(bool on) override { model_->checkAll(on); }
    RecoveryOutcome recover(const std::string& destination, UserPrompt& prompt, AppState& state,
                            std::atomic<bool>& running) override;
    ResultPageModel* pageModel() override { return model_.get(); }
    DestinationCheck checkDestination(const std::string& destination) override;
    ErrorCode readRow(size_t row, uint64_t maxBytes, std::vector<std::byte>& out) override;
    // The last scan's result (stopped, error).
    const FatScanResult& lastScan() const { return lastScan_; }

    // The page model the GUI's FAT page draws.
    FatPageModel& model() { return *model_; }
    const FatPageModel& model() const { return *model_; }
    const PartitionRecord& record() const { return record_; }

    // Preview and thumbnails: the first min(size, maxBytes) bytes of a record,
    // read by the recovery rule through the partition's drive (no drive
    // letter needed). The volume is opened on first use and kept.
    ErrorCode readHead(const FatFoundFile& record, uint64_t maxBytes, std::vector<std::byte>& out);
    int fatKind() const { return fatKind_; }

private:
    struct Found {
        FolderNode* node;
        FatFoundFile* record;
    };
    void indexRecords();

    PartitionRecord record_;
    int fatKind_;
    std::unique_ptr<FatPageModel> model_;
    std::unique_ptr<CFatVolume> previewVolume_;
    FatScanResult lastScan_;
    std::vector<Found> found_;  // tree order; the id of found_[i] is "f<i+1>"
};

std::unique_ptr<EngineSession> CreateFatSession(const PartitionRecord& record, int fatKind);

}  // namespace vantor
