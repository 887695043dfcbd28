#pragma once
// The RAW carving scan behind the EngineSession interface: the scanner over
// the record's drive (or its volume by letter) and the AppState's raw range,
// the tree by type description, and the writer into one folder per
// extension.
#include <memory>
#include <string>
#include <vector>

#include "disk/disk_inventory.h"
#include "raw/raw_page_model.h"
#include "raw/raw_scanner.h"
#include "raw/raw_signature.h"
#include "raw/raw_writer.h"
#include "recovery/engine_session.h"

namespace vantor {

struct RawSessionOptions {
    uint32_t maxSizeKB = 0;            // 0: the scanner's default (512000)
    std::vector<std::string> types;    // extensions to look for; empty: every row
    bool formatEnds = true;
    std::string signatureFile;         // empty: FindSignatureFile()
    // The application's table, whose ticks, maximal size and format-end
    // switch the raw options dialog edits; null: the session's own, set
    // from the fields above.
    RawSignatureTable* sharedTable = nullptr;
};

class RawSession final : public EngineSession {
public:
    RawSession(const PartitionRecord& record, RawSessionOptions options);

    std::string engineName() const override { return "RAW"; }
    // Any kind: the raw scan does not look at a file system.
    ErrorCode scan(ScanKind kind, AppState& state, std::atomic<bool>& running) override;
    std::string scanErrorText() const override { return reason_; }
    std::string scanNote() const override { return note_; }
    const FolderTree& tree() const override { return model_.tree(); }
    FilterCriteria& pageFilter() override { return model_.pageFilter(); }
    void setFilterEnabled(bool on) override { model_.setFilterEnabled(on); }
    std::vector<FoundEntry> entries() const override;
    bool setChecked(const std::string& idOrFolderPath, bool on) override;
    void setFolderChecked(FolderNode* node, bool on) override { model_.setFolderChecked(node, on); }
    void checkAll(bool on) override { model_.checkAll(on); }
    ResultPageModel* pageModel() override { return &model_; }
    DestinationCheck checkDestination(const std::string& destination) override;
    RecoveryOutcome recover(const std::string& destination, UserPrompt& prompt, AppState& state,
                            std::atomic<bool>& running) override;
    // The model's list row, as ReadItem gives it.
    ErrorCode readRow(size_t row, uint64_t maxBytes, std::vector<std::byte>& out) override;

    CRawScanner& scanner() { return scanner_; }
    RawSignatureTable& table() { return options_.sharedTable ? *options_.sharedTable : table_; }
    RawPageModel& model() { return model_; }

private:
    PartitionRecord record_;
    RawSessionOptions options_;
    RawSignatureTable table_;
    CRawScanner scanner_;
    RawPageModel model_;
    bool scanned_ = false;
    std::string reason_;
    std::string note_;
};

// A whole drive as one record, read by its drive number: what a raw scan of
// a drive rather than a partition runs on.
PartitionRecord RawWholeDriveRecord(const PhysicalDriveInfo& drive);

std::unique_ptr<EngineSession> CreateRawSession(const PartitionRecord& record, RawSessionOptions options);

}  // namespace vantor
