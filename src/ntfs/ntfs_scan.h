#pragma once
// The NTFS engine as a result page drives it: CNtfsVolume owns the device,
// the geometry, the in-memory MFT images and the found items; it runs the
// deleted-file and formatted-drive scans, reads items for preview and copies
// the selection out. Found items reach the page through NtfsItemSink, called
// synchronously: the page has placed an item before the scan goes on.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dialogs/filter_criteria.h"
#include "dialogs/progress_fields.h"
#include "dialogs/user_prompt.h"
#include "ntfs/ntfs_found_item.h"
#include "platform/block_device.h"
#include "platform/error_codes.h"
#include "dialogs/recovered_file.h"
#include "platform/output_file.h"

namespace vantor {

// What the page does with WM_NTFS_FOUND_ITEM. Calls never overlap (the two
// threads of the formatted scan take turns), arrive in index order, and come
// from a scan thread: the implementation must not call back into the
// volume's scan functions. The volume's lock is not held during a call, so
// a page that hands the item to its own thread may call the volume there.
class NtfsItemSink {
public:
    virtual ~NtfsItemSink() = default;
    // item stays owned by the volume; index is its place in foundItems().
    virtual void onFoundItem(NtfsFoundItem* item, uint32_t index) = 0;
};

inline constexpr const char* kNtfsDeletedProgressFormat = "Found Deleted Files : %d";
inline constexpr const char* kNtfsFormattedProgressFormat = "Found Formated Files : %d";
inline constexpr const char* kNtfsRecoveryTitle = "Recoverying Deleted Files ...";
inline constexpr const char* kNtfsNothingSelectedText = "Please select file to recover!";
inline constexpr const char* kNtfsOtherDriveText = "Select anoter drive folder.";

// Name filters the page passes in the photo and mail recovery modes.
inline constexpr const char* kNtfsPhotoNameFilter =
    ".bmp .gif .jpg .png .mng .ico .tif .tga .pcx .wbmp .wmf .j2k .jbg .jp2 .jpc .pgx .pnm .ras";
inline constexpr const char* kNtfsMailNameFilter = ".dbx .pst .box";

// Memory the formatted scan gives the records it finds outside the MFT;
// past it they are counted but not listed, and the scan says so.
inline constexpr uint64_t kNtfsLostRecordBudget = uint64_t{256} << 20;
inline constexpr const char* kNtfsLostRecordsCutFormat =
    "%u records found outside the MFT were not kept (memory limit); scan a smaller range to list them.";

// Largest buffer ReadItemData hands back (preview and thumbnails).
inline constexpr uint64_t kNtfsReadItemCap = uint64_t{256} << 20;

// Where the scanned volume lies on the file a destination is compared with:
// the image or block-device path and the volume's bytes on it.
struct NtfsVolumeExtent {
    std::string path;
    uint64_t startByte = 0;
    uint64_t lengthBytes = 0;
};

struct NtfsRecoveryReport {
    uint32_t written = 0;
    uint32_t skipped = 0;   // "No" to the overwrite question, or a '"' name
    uint32_t failed = 0;
    bool cancelled = false;  // Cancel in the overwrite question or the stop flag
    std::string summary;     // the failure lines, as shown at the end; grows as needed
    std::vector<std::string> failures;  // the same lines one by one
    std::vector<RecoveredFileRecord> files;  // every selected item reached, in order
};

class CNtfsVolume {
public:
    CNtfsVolume();
    ~CNtfsVolume();
    CNtfsVolume(const CNtfsVolume&) = delete;
    CNtfsVolume& operator=(const CNtfsVolume&) = delete;

    // --- device and geometry -------------------------------------------
    // Opens "\\.\<name>" (isPhysical, e.g. "PhysicalDrive0") or "\\.\<letter>:"
    // through the device table, read-only. Closes any open device first.
    bool OpenDevice(const std::string& name, bool isPhysical);
    // An already opened device (tests, benches); filePath, when known, is the
    // image or block-device file the destination check compares against.
    void AttachDevice(DevicePtr device, std::string filePath = {});
    // Partition start on the opened device, the sector size (512), and the
    // partition's length in bytes (0: to the end of the device).
    void SetPartitionStart(uint32_t startSector, uint32_t bytesPerSector, uint64_t lengthBytes = 0);
    // Sector range relative to the partition start for the formatted scan;
    // lastSector is the first sector after the range.
    void SetScanRange(uint32_t firstSector, uint32_t lastSector);
    // Reads the boot sector into buffer (512 bytes). 0 and isNtfs set when it
    // says "NTFS"; 15 when not or no device; else the read error.
    ErrorCode CheckBootSector(MutableByteSpan buffer);
    // Loads the whole $MFT (record 0's $DATA) as a new image. 0, 12 (no
    // device), 87 (bad geometry), 1200 (record 0 is not $MFT) or a read error.
    // The scans pass their m_bRunning: a stop while the MFT loads gives 1223.
    ErrorCode LoadMft(uint64_t mftLcn, const std::atomic<bool>* keepGoing = nullptr);
    // Frees images and items, closes the device, empties the selection.
    void Reset();

    // --- scan settings ---------------------------------------------------
    void SetSink(NtfsItemSink* sink) { sink_ = sink; }
    void SetProgress(ProgressFields* progress) { progress_ = progress; }
    // The recovery mode (AppState::fileTypeGroup: 3 photos, 6 mail) and the
    // application-wide criteria applied to every decoded item.
    void SetScanCriteria(int fileTypeGroup, const FilterCriteria& criteria);
    // Name-pattern list and folder-path filter ("C:\dir\..."), trimmed.
    void SetFilters(const std::string& nameFilter, const std::string& folderFilter);

    // --- scans -----------------------------------------------------------
    // Deleted-file scan over the loaded MFT: 0 when done or cancelled, -1 when
    // there is not exactly one MFT image, or the error of LoadMft.
    int ScanDeletedRecords();
    // Formatted-drive scan: lists the current MFT on a second thread while
    // searching the scan range for "FILE0" records outside it; those are
    // listed at the end under "Lost Files1". 0, or the error of LoadMft.
    int ScanFormatted();
    // The listing thread's body: every record of currentImage from 30 on
    // (from 0 for images other than the first), in use or not.
    void ListMftRecords();

    // Fills item from one record and applies the mode and criteria filters:
    // 0 = accepted. item.imageIndex must be set; item.recordIndex is kept.
    int DecodeItem(ByteSpan record, NtfsFoundItem& item);
    // Fills the item's path lists from the parent chain in its image.
    void BuildPath(NtfsFoundItem& item, uint64_t parent);
    // The name-pattern and folder test; true = accepted.
    bool MatchNameAndFolder(const NtfsFoundItem& item) const;

    // --- data --------------------------------------------------------------
    // The item's file content (decompressed when the file is compressed),
    // at most maxBytes. 0, 12 (image missing), 87, or a read error.
    ErrorCode ReadItemData(const NtfsFoundItem& item, std::vector<std::byte>& out,
                           uint64_t maxBytes = kNtfsReadItemCap);
    // Writes the item's whole content into out, exactly its size long.
    ErrorCode CopyItemData(OutputFile& out, const NtfsFoundItem& item);

    // --- recovery ----------------------------------------------------------
    // Adds an item to the selection unless it is there already.
    void AddToSelection(NtfsFoundItem* item);
    void ClearSelection();
    const std::vector<NtfsFoundItem*>& Selection() const { return selection_; }
    // The checks before a run: an empty selection gives "Please select file
    // to recover!" (Notice), a destination on the scanned volume (its drive
    // letter, or the same device) "Select anoter drive folder."; true = go.
    bool StartRecovery(const std::string& destination, char scannedLetter, UserPrompt& prompt);
    // The destination rule alone: its drive letter, or the same device.
    bool OnScannedVolume(const std::string& destination, char scannedLetter) const;
    // Writes every selected item below destination, rebuilding its folders,
    // asking before replacing files; shows the failure summary once at the
    // end (Notice). Runs while keepGoing is set; Cancel clears it.
    // A file that does not come back whole stays as NAME.partial; hash: the
    // report's records carry the SHA-256 of each file written.
    NtfsRecoveryReport RecoverSelection(const std::string& destination, UserPrompt& prompt,
                                        std::atomic<bool>& keepGoing, bool hash = false);

    // --- state for pages and tests ----------------------------------------
    std::atomic<bool> m_bRunning{false};
    bool isNtfs() const { return isNtfs_; }
    uint32_t clusterSize() const { return clusterSize_; }
    uint32_t recordSize() const { return recordSize_; }
    uint64_t mftLcn() const { return mftLcn_; }
    uint64_t mftImageLength() const { return mftImageLength_; }
    size_t imageCount() const;
    uint32_t recordCount(size_t image) const;
    // Records found outside the current MFT by the last formatted scan.
    uint32_t formattedFoundCount() const { return formattedFound_; }
    // Of those, the ones not kept because the memory for them ran out.
    uint32_t formattedDroppedCount() const { return formattedDropped_; }
    // Memory the records found outside the MFT may take (their bytes).
    void SetLostRecordBudget(uint64_t bytes) { lostRecordBudget_ = bytes; }
    // Owned items; read after a scan, or from the sink.
    const std::vector<std::unique_ptr<NtfsFoundItem>>& foundItems() const { return foundItems_; }
    uint32_t folderCounter() const { return folderCounter_; }
    // What the destination check compares with; an empty path when the
    // device has no file (in-memory devices).
    NtfsVolumeExtent scannedExtent() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;

    DevicePtr device_;
    std::string devicePath_;
    // Where the opened device starts on devicePath_ (a lettered volume is a
    // view into its drive).
    uint64_t deviceStartByte_ = 0;
    uint64_t partitionLength_ = 0;
    bool isNtfs_ = false;
    uint32_t partitionStartSector_ = 0;
    uint32_t bytesPerSector_ = 512;
    uint32_t scanFirstSector_ = 0;
    uint32_t scanLastSector_ = 0;
    uint32_t clusterSize_ = 0;
    uint32_t recordSize_ = 0;
    uint64_t mftLcn_ = 0;
    uint64_t mftImageLength_ = 0;
    uint32_t formattedFound_ = 0;
    uint32_t formattedDropped_ = 0;
    uint64_t lostRecordBudget_ = kNtfsLostRecordBudget;
    uint64_t bootVolumeBytes_ = 0;  // the boot sector's size of the volume, 0 when unknown

    NtfsItemSink* sink_ = nullptr;
    ProgressFields* progress_ = nullptr;
    int fileTypeGroup_ = 0;
    FilterCriteria criteria_;
    std::string nameFilter_;
    std::string folderFilter_;

    // Shared by the formatted scan's two threads.
    mutable std::mutex lock_;
    // Held around each call of the sink, never together with lock_ held.
    std::mutex deliveryLock_;
    uint32_t folderCounter_ = 0;
    std::vector<std::unique_ptr<NtfsFoundItem>> foundItems_;
    std::vector<NtfsFoundItem*> selection_;

    friend struct NtfsVolumeAccess;
};

}  // namespace vantor
