#include "fat/fat_scan.h"

namespace vantor {

std::string FatMaskTextForType(int, FatKind, const std::string& ownMask) { return ownMask; }
std::vector<std::string> ParseFatPathFilter(const std::string&) { return {}; }
std::vector<FatNameMask> ParseFatMaskText(const std::string&) { return {FatNameMask{}}; }
bool FatMasksMatch(const std::vector<FatNameMask>&, const std::string&, const std::string&) { return true; }

FatScanResult ScanDeleted(const CFatVolume&, FolderTree&, const FilterCriteria*, ProgressFields&,
                          const std::atomic<bool>&, const FatScanOptions&) {
    FatScanResult r;
    r.error = kErrNotSupported;
    return r;
}
FatScanResult ScanLostFolders(const CFatVolume&, FolderTree&, const FilterCriteria*, ProgressFields&,
                              const std::atomic<bool>&, const FatScanOptions&) {
    FatScanResult r;
    r.error = kErrNotSupported;
    return r;
}
void FinishFatTree(FolderTree&) {}

}  // namespace vantor
