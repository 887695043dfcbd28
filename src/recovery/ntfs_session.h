#pragma once
// The NTFS engine behind the generic scan/recover front ends: one
// CNtfsVolume and the NTFS page model, driven the way the result page does.
#include <atomic>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ntfs/ntfs_page_model.h"
#include "ntfs/ntfs_scan.h"
#include "recovery/engine_session.h"

namespace vantor {

class NtfsSession : public EngineSession {
public:
    explicit NtfsSession(const PartitionRecord& record);
    ~NtfsSession() override;

    std::string engineName() const override { return "NTFS"; }
    ErrorCode scan(ScanKind kind, AppState& state, std::atomic<bool>& running) override;
    const FolderTree& tree() const override { return model_.tree(); }
    std::string scanNote() const override;
    FilterCriteria& pageFilter() override { return model_.pageFilter(); }
    void setFilterEnabled(bool on) override { model_.setFilterEnabled(on); }
    std::vector<FoundEntry> entries() const override;
    bool setChecked(const std::string& idOrFolderPath, bool on) override;
    void checkAll(bool on) override { model_.checkAll(on); }
    RecoveryOutcome recover(const std::string& destination, UserPrompt& prompt, AppState& state,
                            std::atomic<bool>& running) override;

    ResultPageModel* pageModel() override { return &model_; }
    DestinationCheck checkDestination(const std::string& destination) override;
    ErrorCode readRow(size_t row, uint64_t maxBytes, std::vector<std::byte>& out) override;

    NtfsPageModel& model() { return model_; }
    const NtfsPageModel& model() const { return model_; }
    CNtfsVolume& volume() { return volume_; }

    // An item's id in entries(): its record number for the volume's MFT,
    // "L<n>" (its place in the found list) for records found outside it.
    static std::string EntryId(const NtfsFoundItem& item, uint32_t index);

private:
    // Hands each found item to the model on the model's thread.
    class Relay final : public NtfsItemSink {
    public:
        explicit Relay(NtfsSession& session) : session_(session) {}
        void onFoundItem(NtfsFoundItem* item, uint32_t index) override;

    private:
        NtfsSession& session_;
    };

    bool openDevice();
    void indexIds();

    PartitionRecord record_;
    CNtfsVolume volume_;
    NtfsPageModel model_;
    Relay relay_{*this};
    std::unordered_map<std::string, uint32_t> ids_;
};

std::unique_ptr<EngineSession> CreateNtfsSession(const PartitionRecord& record);

}  // namespace vantor
