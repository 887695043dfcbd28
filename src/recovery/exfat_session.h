#pragma once
// The exFAT engine behind the EngineSession interface: the deleted and
// formatted scans fill the exFAT page model's tree, selection goes through
// the model's check propagation, and recovery runs the exFAT writer on the
// ticked files.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "exfat/exfat_page_model.h"
#include "exfat/exfat_scan.h"
#include "exfat/exfat_volume.h"
#include "recovery/engine_session.h"

namespace vantor {

class ExfatSession final : public EngineSession {
public:
    explicit ExfatSession(const PartitionRecord& record);

    std::string engineName() const override { return "exFAT"; }
    ErrorCode scan(ScanKind kind, AppState& state, std::atomic<bool>& running) override;
    std::string scanErrorText() const override { return reason_; }
    std::string scanNote() const override;
    const FolderTree& tree() const override { return model_.tree(); }
    FilterCriteria& pageFilter() override { return model_.pageFilter(); }
    void setFilterEnabled(bool on) override { model_.setFilterEnabled(on); }
    std::vector<FoundEntry> entries() const override;
    bool setChecked(const std::string& idOrFolderPath, bool on) override;
    void setFolderChecked(FolderNode* node, bool on) override { model_.setFolderChecked(node, on); }
    void checkAll(bool on) override { model_.checkAll(on); }
    RecoveryOutcome recover(const std::string& destination, UserPrompt& prompt, AppState& state,
                            std::atomic<bool>& running) override;
    ResultPageModel* pageModel() override { return &model_; }
    DestinationCheck checkDestination(const std::string& destination) override;
    // The model's list row, read as the recovery reads it.
    ErrorCode readRow(size_t row, uint64_t maxBytes, std::vector<std::byte>& out) override;

    const CExfatVolume* volume() const { return volume_.get(); }
    const ExfatScanResult& lastScan() const { return lastScan_; }
    ExfatPageModel& model() { return model_; }

private:
    struct Found {
        FolderNode* node;
        ExfatFoundFile* record;
    };
    PartitionRecord record_;
    std::unique_ptr<CExfatVolume> volume_;
    ExfatPageModel model_;
    std::string reason_;
    ExfatScanResult lastScan_;
    std::vector<Found> found_;  // tree order; the id is "x" + the entry's volume offset in hex
    std::unordered_map<uint64_t, size_t> byOffset_;  // entry offset -> index in found_
};

std::unique_ptr<EngineSession> CreateExfatSession(const PartitionRecord& record);

}  // namespace vantor
