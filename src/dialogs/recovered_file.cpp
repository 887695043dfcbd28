#include "dialogs/recovered_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/error_codes.h"

namespace vantor {

const char* RecoveredStatusName(RecoveredStatus status) {
    switch (status) {
        case RecoveredStatus::Written: return "written";
        case RecoveredStatus::Skipped: return "skipped";
        case RecoveredStatus::Failed: return "failed";
        case RecoveredStatus::Overwritten: return "overwritten";
        case RecoveredStatus::CutAtVolumeEnd: return "cut at the volume end";
    }
    return "failed";
}

namespace {

constexpr uint64_t kStepBytes = uint64_t{1} << 20;
constexpr uint64_t kMaxSteps = uint64_t{1} << 31;

}  // namespace

RecoveryProgress::RecoveryProgress(ProgressFields& fields, uint64_t files, uint64_t bytes) : fields_(fields) {
    unit_ = std::max(kStepBytes, bytes / kMaxSteps + 1);
    total_ = std::min<uint64_t>(files + bytes / unit_, UINT32_MAX);
    fields_.m_nProgressTotal.store(static_cast<uint32_t>(total_));
    fields_.m_nProgressPos.store(0);
}

void RecoveryProgress::store(uint64_t pos) {
    fields_.m_nProgressPos.store(static_cast<uint32_t>(std::min(pos, total_)));
}

void RecoveryProgress::beginFile(uint64_t size) {
    inFile_ = true;
    fileSteps_ = 1 + size / unit_;
    fileDone_ = 0;
    store(base_);
}

void RecoveryProgress::advance(uint64_t bytes) {
    if (!inFile_) return;
    const uint64_t before = fileDone_ / unit_;
    fileDone_ += bytes;
    const uint64_t now = std::min(fileDone_ / unit_, fileSteps_ - 1);
    if (now != before) store(base_ + now);
}

void RecoveryProgress::endFile() {
    base_ += inFile_ ? fileSteps_ : 1;
    inFile_ = false;
    store(base_);
}

RecoveredFile::~RecoveredFile() {
    if (out_.isOpen()) finish(false);
}

ErrorCode RecoveredFile::create(const std::string& target) {
    target_ = target;
    partial_ = target + kPartialSuffix;
    bytes_ = 0;
    keptPartial_ = false;
    digest_.clear();
    sha_.reset();
    // What stands under the name and cannot be replaced by a file (a
    // folder) fails the file now, not after it was read.
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return kErrAccessDenied;
    ErrorCode rc = out_.create(partial_);
    // A name at the length limit has no room for the suffix: it is written
    // under its own name and removed when it does not come back whole.
    if (rc == kErrFilenameTooLong || rc == kErrInvalidName) {
        partial_.clear();
        rc = out_.create(target);
    }
    return rc;
}

ErrorCode RecoveredFile::write(ByteSpan bytes) {
    if (running_ && !running_->load()) return kErrCancelled;
    if (ErrorCode rc = out_.write(bytes)) return rc;
    if (hash_) sha_.update(bytes);
    bytes_ += bytes.size();
    if (progress_) progress_->advance(bytes.size());
    return kSuccess;
}

ErrorCode RecoveredFile::skip(uint64_t n) {
    if (running_ && !running_->load()) return kErrCancelled;
    if (ErrorCode rc = out_.skip(n)) return rc;
    if (hash_) sha_.updateZeros(n);
    bytes_ += n;
    if (progress_) progress_->advance(n);
    return kSuccess;
}

ErrorCode RecoveredFile::finish(bool whole) {
    if (!out_.isOpen()) return kErrInvalidHandle;
    ErrorCode rc = out_.close();
    if (hash_ && bytes_ > 0) digest_ = sha_.finishHex();
    if (whole && rc == kSuccess && !partial_.empty() && std::rename(partial_.c_str(), target_.c_str()) != 0)
        rc = ErrorFromErrno(errno);
    if (whole && rc == kSuccess) return kSuccess;
    if (partial_.empty()) std::remove(target_.c_str());
    else keptPartial_ = true;
    return rc;
}

std::string KeptAsPartialText(const std::string& name) {
    return " Kept as '" + name + kPartialSuffix + "'.";
}

std::string EndRecoveredFile(RecoveredFileRecord& r, const RecoveredFile& out, const std::string& rel,
                             const std::string& name, const FileWriteEnd& end) {
    r.bytesWritten = out.bytes();
    r.sha256 = out.sha256();
    if (out.keptPartial()) r.keptAs = rel + kPartialSuffix;
    const std::string kept = out.keptPartial() ? KeptAsPartialText(name) : std::string();
    const std::string head = "Can not recovery file '" + rel + "'";
    auto failed = [&](RecoveredStatus status, std::string reason, const std::string& line) {
        r.status = status;
        r.reason = std::move(reason);
        return line + kept;
    };
    if (end.error == kErrCancelled)
        return failed(RecoveredStatus::Failed, "stopped before the end", head + ": stopped before the end.");
    if (end.error != kSuccess) return failed(RecoveredStatus::Failed, ErrorText(end.error), head + ".");
    if (end.badFirstCluster)
        return failed(RecoveredStatus::Failed, "first cluster outside the volume",
                      head + ": first cluster outside the volume.");
    if (r.condition == DataCondition::Overwritten || r.condition == DataCondition::PartlyOverwritten)
        return failed(RecoveredStatus::Overwritten,
                      r.condition == DataCondition::Overwritten ? "live files hold its clusters now"
                                                                : "live files hold some of its clusters now",
                      head + ": " + std::string(DataConditionText(r.condition)) + ".");
    if (end.cutAtVolumeEnd)
        return failed(RecoveredStatus::CutAtVolumeEnd, "cut at the end of the volume",
                      head + ": cut at the end of the volume.");
    return {};
}

}  // namespace vantor
