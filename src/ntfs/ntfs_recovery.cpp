// The recovery writer: every selected item is written below the
// destination with its folder path rebuilt, asking before replacing files,
// and one summary of the failures at the end.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <unordered_set>

#include "dialogs/destination.h"
#include "dialogs/overwrite.h"
#include "ntfs/ntfs_volume_impl.h"
#include "platform/codepage.h"

namespace vantor {

namespace {

constexpr uint64_t kReadAhead = uint64_t{1} << 20;

// Small recovered files often lie one after another on the disk. A small
// read that follows the last one closely is served from a 1 MiB read-ahead,
// so such a stretch costs one request instead of one per file.
class ReadAheadDevice final : public BlockDevice {
public:
    explicit ReadAheadDevice(BlockDevice& base) : base_(base) {}
    uint64_t size() const override { return base_.size(); }
    bool writable() const override { return false; }
    ErrorCode writeAt(uint64_t, ByteSpan) override { return kErrAccessDenied; }

    ErrorCode readAt(uint64_t offset, MutableByteSpan buf) override {
        const uint64_t n = buf.size();
        if (n == 0) return base_.readAt(offset, buf);
        if (offset >= start_ && offset - start_ <= block_.size() && block_.size() - (offset - start_) >= n) {
            std::memcpy(buf.data(), block_.data() + (offset - start_), buf.size());
            lastEnd_ = offset + n;
            return kSuccess;
        }
        const bool follows = offset >= lastEnd_ && offset - lastEnd_ <= kReadAhead;
        lastEnd_ = offset + n;
        // A stretch that failed once is not read ahead again: on a failing
        // disk every retry of a bad sector is slow.
        const bool nearBad = offset < badEnd_ && offset + kReadAhead > badStart_;
        if (!follows || nearBad || n >= kReadAhead / 4 || offset >= size() || size() - offset < n)
            return base_.readAt(offset, buf);
        block_.resize(static_cast<size_t>(std::min(kReadAhead, size() - offset)));
        if (base_.readAt(offset, block_) != kSuccess) {
            badStart_ = offset;
            badEnd_ = offset + block_.size();
            block_.clear();
            return base_.readAt(offset, buf);
        }
        start_ = offset;
        std::memcpy(buf.data(), block_.data(), buf.size());
        return kSuccess;
    }

private:
    BlockDevice& base_;
    std::vector<std::byte> block_;
    uint64_t start_ = 0;
    uint64_t lastEnd_ = 0;
    uint64_t badStart_ = 0;
    uint64_t badEnd_ = 0;
};

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

void CNtfsVolume::AddToSelection(NtfsFoundItem* item) {
    if (item == nullptr) return;
    if (impl_->selected.insert(item).second) selection_.push_back(item);
}

void CNtfsVolume::ClearSelection() {
    selection_.clear();
    impl_->selected.clear();
}

bool CNtfsVolume::OnScannedVolume(const std::string& destination, char scannedLetter) const {
    if (DestinationOnDriveLetter(destination, scannedLetter)) return true;
    if (devicePath_.empty()) return false;
    const NtfsVolumeExtent extent = scannedExtent();
    return SameFileSystemDevice(destination, extent.path, extent.startByte, extent.lengthBytes);
}

bool CNtfsVolume::StartRecovery(const std::string& destination, char scannedLetter, UserPrompt& prompt) {
    if (selection_.empty()) {
        prompt.message(kNtfsNothingSelectedText, kNoticeCaption, MessageIcon::Information);
        return false;
    }
    if (OnScannedVolume(destination, scannedLetter)) {
        prompt.message(kNtfsOtherDriveText, kNoticeCaption, MessageIcon::Information);
        return false;
    }
    return true;
}

NtfsRecoveryReport CNtfsVolume::RecoverSelection(const std::string& destination, UserPrompt& prompt,
                                                 std::atomic<bool>& keepGoing, bool hash) {
    NtfsRecoveryReport report;
    if (selection_.empty()) return report;
    ProgressFields unused;
    uint64_t bytes = 0;
    for (const NtfsFoundItem* item : selection_) bytes += item->size;
    RecoveryProgress steps(progress_ != nullptr ? *progress_ : unused, selection_.size(), bytes);
    if (progress_ != nullptr) progress_->setText("Recoverying Files : 0");
    std::unordered_set<std::string> madeFolders;
    // Folders this run created were empty: a file there exists only when
    // this run wrote it, so the existence probe is skipped for the others.
    std::unordered_set<std::string> freshFolders;
    std::unordered_set<std::string> writtenInFresh;
    std::optional<ReadAheadDevice> ahead;
    if (device_) ahead.emplace(*device_);
    OverwriteGuard guard(prompt);
    guard.startRun();
    auto fail = [&report](std::string line) {
        report.summary += line;
        report.failures.push_back(std::move(line));
        ++report.failed;
    };
    for (size_t i = 0; i < selection_.size(); ++i) {
        if (!keepGoing.load()) {
            report.cancelled = true;
            break;
        }
        const NtfsFoundItem& item = *selection_[i];
        const std::string name = item.nameText();
        std::string rel;
        for (auto it = item.pathNames.rbegin(); it != item.pathNames.rend(); ++it) rel += SafeFileName(*it) + "/";
        rel += SafeFileName(name);
        RecoveredFileRecord& record = report.files.emplace_back();
        record.path = rel;
        record.source = &item;
        record.size = item.size;
        record.condition = item.condition;
        if (name.substr(0, 3).find('"') != std::string::npos) {
            ++report.skipped;
            record.status = RecoveredStatus::Skipped;
            record.reason = "not a file name";
            steps.endFile();
            continue;
        }
        if (progress_ != nullptr) progress_->setText("Recoverying Files : " + name);
        std::string path = destination;
        for (auto it = item.pathNames.rbegin(); it != item.pathNames.rend(); ++it) {
            path = JoinPath(path, SafeFileName(*it));
            // Files of one folder come in runs; each folder is made once per run.
            if (madeFolders.insert(path).second) {
                std::error_code ec;
                if (std::filesystem::create_directory(path, ec)) freshFolders.insert(path);
            }
        }
        const std::string target = JoinPath(path, SafeFileName(name));
        // Names compare as a case-insensitive destination sees them; names
        // outside ASCII may fold in ways not known here, so they are probed.
        const bool fresh = freshFolders.count(path) != 0 && IsAscii(target) &&
                           writtenInFresh.insert(AsciiLower(target)).second;
        switch (fresh ? OverwriteDecision::Write : guard.check(target, name)) {
            case OverwriteDecision::Write: break;
            case OverwriteDecision::Skip:
                ++report.skipped;
                record.status = RecoveredStatus::Skipped;
                record.reason = "the file exists";
                steps.endFile();
                continue;
            case OverwriteDecision::Stop:
                ++report.skipped;
                record.status = RecoveredStatus::Skipped;
                record.reason = "cancelled";
                report.cancelled = true;
                keepGoing = false;
                steps.endFile();
                continue;
        }
        steps.beginFile(item.size);
        RecoveredFile out(&keepGoing, &steps, hash);
        if (out.create(target) != kSuccess) {
            fail("Can not create file '" + name + "'.\n");
            record.status = RecoveredStatus::Failed;
            record.reason = "the file could not be created";
            steps.endFile();
            continue;
        }
        ErrorCode rc = NtfsVolumeAccess::readItem(*this, item, &out, nullptr, 0, ahead ? &*ahead : nullptr, &record);
        const ErrorCode closed = out.finish(rc == kSuccess);
        if (rc == kSuccess) rc = closed;
        record.bytesWritten = out.bytes();
        record.sha256 = out.sha256();
        if (out.keptPartial()) record.keptAs = rel + kPartialSuffix;
        if (rc != kSuccess) {
            const std::string kept = out.keptPartial() ? KeptAsPartialText(SafeFileName(name)) : std::string();
            fail("Can not recovery file '" + name + "'." + kept + "\n");
            record.status = RecoveredStatus::Failed;
            record.reason = rc == kErrCancelled ? "stopped before the end" : ErrorText(rc);
            if (rc == kErrCancelled) report.cancelled = true;
        } else if (item.condition == DataCondition::Overwritten ||
                   item.condition == DataCondition::PartlyOverwritten) {
            // What the user ticked is written; a file whose clusters others
            // hold now is not counted as come back.
            fail("Can not recovery file '" + name + "': " + std::string(DataConditionText(item.condition)) + ".\n");
            record.status = RecoveredStatus::Overwritten;
            record.reason = item.condition == DataCondition::Overwritten ? "live files hold its clusters now"
                                                                        : "live files hold some of its clusters now";
        } else {
            ++report.written;
        }
        steps.endFile();
    }
    if (!report.summary.empty()) prompt.message(report.summary, kNoticeCaption, MessageIcon::Information);
    return report;
}

}  // namespace vantor
