#pragma once
// What every engine's recovery writer shares: one recovered file on its way
// to the destination (written under NAME.partial until it is whole, hashed
// while written, holes for sparse runs, stopped by the run's flag), the run's
// progress counted by bytes, and the record of each file for the report.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/data_condition.h"
#include "dialogs/progress_fields.h"
#include "platform/output_file.h"
#include "platform/sha256.h"

namespace vantor {

// Bytes of the scanned drive a file was read from (drive-relative).
struct DeviceRun {
    uint64_t offset = 0;
    uint64_t length = 0;
};

enum class RecoveredStatus { Written, Skipped, Failed, Overwritten, CutAtVolumeEnd };
// "written", "skipped", "failed", "overwritten", "cut at the volume end".
const char* RecoveredStatusName(RecoveredStatus status);

// One selected file as a recovery run handled it.
struct RecoveredFileRecord {
    std::string path;        // below the destination, "/"-separated, as meant to be named
    std::string keptAs;      // below the destination when it lies under another name (NAME.partial)
    const void* source = nullptr;  // the engine's found record, for its session
    std::string id;          // the session's entry id
    std::string sourcePath;  // the session's folder path and name in the found tree
    uint64_t size = 0;       // as found
    uint64_t bytesWritten = 0;
    std::string sha256;      // of the bytes written; empty when not hashed or nothing written
    RecoveredStatus status = RecoveredStatus::Written;
    std::string reason;      // why, for failed, overwritten and cut files
    std::vector<DeviceRun> runs;
    bool resident = false;   // the bytes lay inside a file-system record, not in runs of their own
    DataCondition condition = DataCondition::Unknown;  // what the current allocation left of the data
};

// A run's progress in steps: one per file plus one per unit of its bytes,
// so a big file moves the bar while it is written and small files count as
// before. The position reaches the total when every file has ended.
class RecoveryProgress {
public:
    RecoveryProgress(ProgressFields& fields, uint64_t files, uint64_t bytes);
    void beginFile(uint64_t size);
    void advance(uint64_t bytes);
    // The file is done with (written, skipped or failed).
    void endFile();

private:
    void store(uint64_t pos);

    ProgressFields& fields_;
    uint64_t unit_ = 1;
    uint64_t total_ = 0;
    uint64_t base_ = 0;       // steps of the files already ended
    uint64_t fileSteps_ = 1;  // steps of the current file
    uint64_t fileDone_ = 0;   // its bytes so far
    bool inFile_ = false;
};

// The suffix a file cut short carries.
inline constexpr const char* kPartialSuffix = ".partial";

class RecoveredFile final : public ByteSink {
public:
    // running: the run's flag (writes fail with kErrCancelled once it is
    // false); progress may be null; hash: compute the SHA-256 of the bytes.
    RecoveredFile(const std::atomic<bool>* running, RecoveryProgress* progress, bool hash)
        : running_(running), progress_(progress), hash_(hash) {}
    ~RecoveredFile() override;
    RecoveredFile(const RecoveredFile&) = delete;
    RecoveredFile& operator=(const RecoveredFile&) = delete;

    // Creates target's NAME.partial; the file takes target's own name only
    // when finish() is told it is whole.
    ErrorCode create(const std::string& target);
    ErrorCode write(ByteSpan bytes) override;
    ErrorCode skip(uint64_t n) override;
    // Closes the file: a whole one is renamed to its own name (replacing what
    // the user agreed to overwrite), anything else stays NAME.partial. A
    // failure to close or rename is returned, and the file is then not whole.
    ErrorCode finish(bool whole);

    uint64_t bytes() const { return bytes_; }
    bool keptPartial() const { return keptPartial_; }
    // Hex SHA-256 of the bytes written (after finish; empty when not hashed).
    const std::string& sha256() const { return digest_; }

private:
    const std::atomic<bool>* running_;
    RecoveryProgress* progress_;
    bool hash_;
    OutputFile out_;
    Sha256 sha_;
    std::string target_;
    std::string partial_;  // empty when the name was too long for the suffix
    uint64_t bytes_ = 0;
    bool keptPartial_ = false;
    std::string digest_;
};

// The failure line's tail for a file kept under its .partial name.
std::string KeptAsPartialText(const std::string& name);

// How the write of one cluster-mapped file ended.
struct FileWriteEnd {
    ErrorCode error = kSuccess;
    bool badFirstCluster = false;  // its data would start outside the volume
    bool cutAtVolumeEnd = false;   // its clusters ran past the volume's end
};

// Fills the record from the closed file (bytes, digest, kept name, status,
// reason; r.condition is already set) and returns the failure summary's line
// for it, or "" when the file came back whole. rel is its path below the
// destination, name its file name.
std::string EndRecoveredFile(RecoveredFileRecord& r, const RecoveredFile& out, const std::string& rel,
                             const std::string& name, const FileWriteEnd& end);

}  // namespace vantor
