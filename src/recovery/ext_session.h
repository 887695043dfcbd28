#pragma once
// The EXT engines behind the EngineSession interface: the journal engine for
// volumes with a journal, the inode-table one for the rest,
// the EXT page model's tree and check marks, and the EXT writer.
#include <memory>
#include <string>
#include <vector>

#include "ext/ext_page_model.h"
#include "ext/ext_volume.h"
#include "recovery/engine_session.h"

namespace vantor {

class ExtSession final : public EngineSession {
public:
    explicit ExtSession(const PartitionRecord& record);

    // The partition's name ("EXT2", "EXT3", "EXT4").
    std::string engineName() const override { return record_.fileSystemName(); }
    // Deleted files only; a formatted scan gives kErrNotSupported.
    ErrorCode scan(ScanKind kind, AppState& state, std::atomic<bool>& running) override;
    std::string scanErrorText() const override;
    // Why the journal gave nothing, when it did not.
    std::string scanNote() const override { return volume_ ? volume_->journalNote() : std::string(); }
    const FolderTree& tree() const override { return model_.tree(); }
    FilterCriteria& pageFilter() override { return model_.pageFilter(); }
    void setFilterEnabled(bool on) override { model_.setFilterEnabled(on); }
    std::vector<FoundEntry> entries() const override;
    bool setChecked(const std::string& idOrFolderPath, bool on) override;
    void setFolderChecked(FolderNode* node, bool on) override { model_.setFolderChecked(node, on); }
    void checkAll(bool on) override { model_.checkAll(on); }
    ResultPageModel* pageModel() override { return &model_; }
    DestinationCheck checkDestination(const std::string& destination) override;
    // The model's list row, read as the recovery reads it (holes as zeros).
    ErrorCode readRow(size_t row, uint64_t maxBytes, std::vector<std::byte>& out) override;
    RecoveryOutcome recover(const std::string& destination, UserPrompt& prompt, AppState& state,
                            std::atomic<bool>& running) override;

    CExtVolume* volume() { return volume_.get(); }
    ExtPageModel& model() { return model_; }

private:
    struct Found {
        FolderNode* node;
        ExtFoundFile* record;
    };

    PartitionRecord record_;
    std::unique_ptr<CExtVolume> volume_;
    ExtPageModel model_;
    std::string reason_;  // why the last scan did not start
    std::vector<Found> found_;  // tree order; the id is the inode number
};

std::unique_ptr<EngineSession> CreateExtSession(const PartitionRecord& record);

}  // namespace vantor
