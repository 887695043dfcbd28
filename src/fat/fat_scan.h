#pragma once
// The two FAT scans. Both fill a FolderTree whose nodes own FatFolderFiles
// lists (fat_records.h), report through ProgressFields and stop when running
// goes false. The deleted-file scan walks the directory tree from the root;
// the lost-folder scan reads a cluster range and rebuilds folders from the
// directory clusters it recognises (formatted or damaged volumes).
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/filter_criteria.h"
#include "dialogs/folder_tree.h"
#include "dialogs/progress_fields.h"
#include "fat/fat_records.h"
#include "fat/fat_volume.h"
#include "platform/error_codes.h"

namespace vantor {

// Tree images: root 0, live and lost folders 1/2, deleted folders 3/4.
inline constexpr int kFatImageRoot = 0;
inline constexpr int kFatImageLive = 1;
inline constexpr int kFatImageLiveSelected = 2;
inline constexpr int kFatImageDeleted = 3;
inline constexpr int kFatImageDeletedSelected = 4;
inline constexpr const char* kFatLostDirText = "LostDIR";
// The deepest folder level the scans build. A deeper path passes the 4096
// bytes a destination path can hold (two bytes a level at least), and a
// hostile image nesting a million folders must not make every later walk of
// the tree and its paths quadratic.
inline constexpr uint32_t kFatMaxFolderDepth = 2048;

// The file-type choice of the scan settings (AppState::fileTypeGroup).
inline constexpr int kFatTypePictures = 3;
inline constexpr int kFatTypeMail = 6;

// The mask texts the page hands to the deleted-file scan for a type choice.
inline constexpr const char* kFatPictureMaskText =
    ".bmp .gif .jpg .png .mng .ico .tif .tga .pcx .wbmp .wmf .j2k .jbg .jp2 .jpc .pgx .pnm .ras";
inline constexpr const char* kFat16MailMaskText = ".dbx .pst .box .stg .bak .ADC .INDX .uidl";
inline constexpr const char* kFat32MailMaskText = ".dbx .pst .box";
// Pictures/mail mask for the type choice and engine kind; otherwise ownMask.
std::string FatMaskTextForType(int fileTypeGroup, FatKind kind, const std::string& ownMask);

struct FatNameMask {
    std::string name;  // lower case, may be empty (any name)
    std::string ext;   // lower case, may be empty (any extension)
};
// "C:\a\b" -> {"a", "b"}: drive part dropped, lowered, empty pieces dropped.
std::vector<std::string> ParseFatPathFilter(const std::string& pathFilter);
// Split at blanks, commas, semicolons; an empty text gives one empty mask.
std::vector<FatNameMask> ParseFatMaskText(const std::string& maskText);
// True when some mask admits the lowered name and extension.
bool FatMasksMatch(const std::vector<FatNameMask>& masks, const std::string& lowerName,
                   const std::string& lowerExt);

struct FatScanOptions {
    std::string pathFilter;  // deleted-file scan: "X:\folder\sub", empty = whole tree
    std::string maskText;    // deleted-file scan: name masks, empty = every name
    int fileTypeGroup = 0;   // lost-folder scan: 3 pictures, 6 mail, else the criteria
    // Lost-folder scan range, sectors relative to the partition start; when
    // rangeEnd is 0 the whole volume is scanned.
    uint32_t rangeStart = 0;
    uint32_t rangeEnd = 0;
    // Year the date rules count from; 0 = the current local year.
    int currentYear = 0;
};

struct FatScanResult {
    ErrorCode error = kSuccess;  // a directory read that failed ends the scan with it
    bool stopped = false;        // running went false before the walk ended
    uint32_t recordsMade = 0;    // every record made (the "Found ... : %d" counter)
    uint32_t recordsListed = 0;  // records that passed the criteria and are in the tree
    uint32_t folders = 0;        // folders read (deleted scan) / candidates (lost-folder scan)
    // What the system's bool result says: no read failure, and for the
    // lost-folder scan at least one candidate folder.
    bool ok = false;
};

// Walks the directory tree breadth first from the root; lists deleted files
// of live folders and every file of deleted folders; folders below
// kFatMaxFolderDepth are not entered. criteria may be null
// (everything passes). The tree is replaced; pruned and root expanded at the end.
FatScanResult ScanDeleted(const CFatVolume& volume, FolderTree& tree, const FilterCriteria* criteria,
                          ProgressFields& progress, const std::atomic<bool>& running,
                          const FatScanOptions& options = {});

// Reads the options' cluster range straight on, finds directory clusters,
// rebuilds folders below the root and "LostDIR", lists live and deleted files.
// A folder whose parent sits at kFatMaxFolderDepth goes to "LostDIR".
FatScanResult ScanLostFolders(const CFatVolume& volume, FolderTree& tree,
                              const FilterCriteria* criteria, ProgressFields& progress,
                              const std::atomic<bool>& running, const FatScanOptions& options = {});

// Prunes folders whose subtree lists no file, then selects and expands the root.
void FinishFatTree(FolderTree& tree);

}  // namespace vantor
