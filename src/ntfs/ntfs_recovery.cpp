// The recovery writer: every selected item is written below the
// destination with its folder path rebuilt, asking before replacing files,
// and one summary of the failures at the end.
#include <algorithm>
#include <unordered_set>

#include "dialogs/destination.h"
#include "dialogs/overwrite.h"
#include "ntfs/ntfs_volume_impl.h"

namespace vantor {

void CNtfsVolume::AddToSelection(NtfsFoundItem* item) {
    if (item == nullptr) return;
    if (impl_->selected.insert(item).second) selection_.push_back(item);
}

void CNtfsVolume::ClearSelection() {
    selection_.clear();
    impl_->selected.clear();
}

bool CNtfsVolume::StartRecovery(const std::string& destination, char scannedLetter, UserPrompt& prompt) {
    if (selection_.empty()) {
        prompt.message(kNtfsNothingSelectedText, kNoticeCaption, MessageIcon::Information);
        return false;
    }
    bool sameVolume = DestinationOnDriveLetter(destination, scannedLetter);
    if (!sameVolume && !devicePath_.empty()) {
        const uint64_t start = NtfsVolumeAccess::partitionOffset(*this);
        const uint64_t length = device_ && device_->size() > start ? device_->size() - start : 0;
        sameVolume = SameFileSystemDevice(destination, devicePath_, start, length);
    }
    if (sameVolume) {
        prompt.message(kNtfsOtherDriveText, kNoticeCaption, MessageIcon::Information);
        return false;
    }
    return true;
}

NtfsRecoveryReport CNtfsVolume::RecoverSelection(const std::string& destination, UserPrompt& prompt,
                                                 std::atomic<bool>& keepGoing) {
    NtfsRecoveryReport report;
    if (selection_.empty()) return report;
    if (progress_ != nullptr) {
        progress_->setText("Recoverying Files : 0");
        progress_->m_nProgressTotal = static_cast<uint32_t>(selection_.size());
        progress_->m_nProgressPos = 0;
    }
    std::unordered_set<std::string> madeFolders;
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
        if (name.substr(0, 3).find('"') != std::string::npos) {
            ++report.skipped;
            continue;
        }
        if (progress_ != nullptr) {
            progress_->m_nProgressPos = static_cast<uint32_t>(i);
            progress_->setText("Recoverying Files : " + name);
        }
        std::string path = destination;
        for (auto it = item.pathNames.rbegin(); it != item.pathNames.rend(); ++it) {
            path = JoinPath(path, SafeFileName(*it));
            // Files of one folder come in runs; each folder is made once per run.
            if (madeFolders.insert(path).second) CreateFolder(path);
        }
        const std::string target = JoinPath(path, SafeFileName(name));
        switch (guard.check(target, name)) {
            case OverwriteDecision::Write: break;
            case OverwriteDecision::Skip: ++report.skipped; continue;
            case OverwriteDecision::Stop:
                ++report.skipped;
                report.cancelled = true;
                keepGoing = false;
                continue;
        }
        OutputFile out;
        if (out.create(target) != kSuccess) {
            fail("Can not create file '" + name + "'.\n");
            continue;
        }
        ErrorCode rc = CopyItemData(out, item);
        const ErrorCode closed = out.close();
        if (rc == kSuccess) rc = closed;
        if (rc != kSuccess)
            fail("Can not recovery file '" + name + "'.\n");
        else
            ++report.written;
    }
    if (progress_ != nullptr) progress_->m_nProgressPos = static_cast<uint32_t>(selection_.size());
    if (!report.summary.empty()) prompt.message(report.summary, kNoticeCaption, MessageIcon::Information);
    return report;
}

}  // namespace vantor
