#include "fat/fat_writer.h"

namespace vantor {

FatDataLayout LocateFatFileData(const CFatVolume&, const FatFoundFile&) { return {}; }
uint32_t CountSelectedFatFiles(const FolderTree&) { return 0; }
std::string FatRecoveryResult::failureSummary() const { return {}; }

FatRecoveryResult RecoverFatFiles(const CFatVolume&, const FolderTree&, const std::string&, UserPrompt&,
                                  ProgressFields&, std::atomic<bool>&) {
    FatRecoveryResult r;
    r.deviceError = kErrNotSupported;
    return r;
}
FatRecoveryResult RecoverFatFiles(const PartitionRecord&, int, const FolderTree&, const std::string&,
                                  UserPrompt&, ProgressFields&, std::atomic<bool>&) {
    FatRecoveryResult r;
    r.deviceError = kErrNotSupported;
    return r;
}
ErrorCode ReadFatFileHead(const CFatVolume&, const FatFoundFile&, uint64_t, std::vector<std::byte>&,
                          FatDataLayout*) {
    return kErrNotSupported;
}

}  // namespace vantor
