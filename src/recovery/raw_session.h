#pragma once
// The RAW carving scan behind the EngineSession interface: the scanner over
// the record's drive (or its volume by letter) and the AppState's raw range,
// the tree by type description, and the writer into one folder per
// extension.
#include <memory>
#include <string>
#include <vector>

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
};

class RawSession final : public EngineSession {
public:
    RawSession(const PartitionRecord& record, RawSessionOptions options);

    std::string engineName() const override { return "RAW"; }
    // Any kind: the raw scan does not look at a file system.
    ErrorCode scan(ScanKind kind, AppState& state, std::atomic<bool>& running) override;
    std::string scanErrorText() const override { return reason_; }
    std::string scanNote() const override { return note_; }
    const FolderTree& tree() const override { return tree_; }
    FilterCriteria& pageFilter() override { return filter_; }
    void setFilterEnabled(bool on) override { filterOn_ = on; }
    std::vector<FoundEntry> entries() const override;
    bool setChecked(const std::string& idOrFolderPath, bool on) override;
    void checkAll(bool on) override;
    RecoveryOutcome recover(const std::string& destination, UserPrompt& prompt, AppState& state,
                            std::atomic<bool>& running) override;
    ErrorCode readRow(size_t row, uint64_t maxBytes, std::vector<std::byte>& out) override;

    CRawScanner& scanner() { return scanner_; }
    RawSignatureTable& table() { return table_; }

private:
    PartitionRecord record_;
    RawSessionOptions options_;
    RawSignatureTable table_;
    CRawScanner scanner_;
    FolderTree tree_;
    FilterCriteria filter_;
    bool filterOn_ = false;
    bool scanned_ = false;
    std::string reason_;
    std::string note_;
};

std::unique_ptr<EngineSession> CreateRawSession(const PartitionRecord& record, RawSessionOptions options);

}  // namespace vantor
