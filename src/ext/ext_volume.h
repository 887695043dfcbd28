#pragma once
// An EXT2/3/4 partition read below the file system: the checked superblock,
// the group descriptors, block and inode reads, and the data of an inode
// through its block map or extent tree. CExt2Volume adds the inode-table
// scan for deleted files (ext2_scan.cpp). Opening never throws; opened()
// and openReason() tell.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/progress_fields.h"
#include "disk/partition_record.h"
#include "ext/ext_layout.h"
#include "ext/ext_records.h"
#include "platform/block_device.h"
#include "platform/error_codes.h"
#include "platform/output_file.h"

namespace vantor {

// Largest buffer ReadToBuffer fills (previews); a hostile size cannot ask more.
inline constexpr uint64_t kExtReadBufferCap = uint64_t{256} << 20;

// One stretch of a file in block order: count blocks from logical on, at
// physical on the volume, or zeros (a hole, an uninitialised extent).
struct ExtRun {
    uint64_t logical = 0;
    uint64_t physical = 0;
    uint64_t count = 0;
    bool zero = false;
};
using ExtRunVisitor = std::function<ErrorCode(const ExtRun&)>;

class CExtVolume {
public:
    virtual ~CExtVolume() = default;
    CExtVolume(const CExtVolume&) = delete;
    CExtVolume& operator=(const CExtVolume&) = delete;

    bool opened() const { return opened_; }
    // 12 no drive, 15 not a sane EXT superblock (openReason() says why),
    // else the read error.
    ErrorCode openError() const { return openError_; }
    const std::string& openReason() const { return openReason_; }

    const ExtSuperblock& superblock() const { return sb_; }
    uint32_t blockSize() const { return sb_.blockSize; }
    uint64_t blocksCount() const { return sb_.blocksCount; }
    uint32_t groupCount() const { return sb_.groupCount; }
    uint32_t inodeSize() const { return sb_.inodeSize; }
    const ExtGroupDesc& group(uint32_t g) const { return groups_[g]; }
    const std::string& volumeLabel() const { return label_; }
    uint64_t partitionStartByte() const { return startByte_; }
    uint64_t partitionBytes() const { return lengthBytes_; }
    const DevicePtr& device() const { return device_; }

    // Whole blocks [first, first + count) into out (count x B bytes); 87 when
    // any lies at or past s_blocks_count.
    ErrorCode ReadBlocks(uint64_t first, uint64_t count, MutableByteSpan out) const;
    ErrorCode ReadBlock(uint64_t block, std::vector<std::byte>& out) const;
    ErrorCode ReadInodeBitmap(uint32_t group, std::vector<std::byte>& out) const;
    // Inodes [firstIndex, firstIndex + count) of a group's table, inode-size
    // records back to back, in one request.
    ErrorCode ReadInodeRecords(uint32_t group, uint32_t firstIndex, uint32_t count, std::vector<std::byte>& out) const;
    // The whole inode n (1-based), s_inode_size bytes.
    ErrorCode ReadInode(uint32_t n, std::vector<std::byte>& out) const;

    // The data blocks of an inode covering length bytes, in file order,
    // holes and uninitialised extents as zero runs; merged runs, the whole
    // range covered. 87 for a corrupt map (block out of range, an indirect
    // block or tree node met twice, a bad extent header or depth).
    ErrorCode WalkBlocks(ByteSpan inode, uint64_t length, const ExtRunVisitor& visit) const;

    // The record's data to a new file: 0, kErrCancelled when m_bRunning was
    // cleared (the part written stays), or the read/write error.
    ErrorCode ExtractToFile(const ExtFoundFile& record, const std::string& path);
    // The same into out: the first min(size, length, kExtReadBufferCap) bytes.
    ErrorCode ReadToBuffer(const ExtFoundFile& record, uint64_t length, std::vector<std::byte>& out) const;
    // Data of the record to a sink, up to limit bytes; cut tells when the
    // map ended before the file did.
    ErrorCode ReadData(const ExtFoundFile& record, uint64_t limit, const std::atomic<bool>* running,
                       const std::function<ErrorCode(ByteSpan)>& sink) const;

    // Scans the inode tables of the groups and table blocks inside
    // [firstBlock, lastBlock] (clamped, swapped when reversed) for deleted
    // files (the journal engine adds the inode copies of its journal), then
    // names them from directory entries and rebuilds their folder paths.
    // Stops early when m_bRunning goes false; what was found is kept, in
    // ascending inode order. now: Unix seconds (0: the clock).
    ErrorCode ScanDeleted(ProgressFields& progress, uint64_t firstBlock = 0, uint64_t lastBlock = UINT64_MAX,
                          int64_t now = 0);
    const std::vector<std::unique_ptr<ExtFoundFile>>& found() const { return found_; }
    std::vector<std::unique_ptr<ExtFoundFile>>& found() { return found_; }
    // Why the journal gave nothing ("" when it was read, or there is none).
    const std::string& journalNote() const { return journalNote_; }

    std::atomic<bool> m_bRunning{false};
    // A second stop flag polled with m_bRunning (the page's continue flag); null for none.
    void SetPageFlag(const std::atomic<bool>* flag) { pageFlag_ = flag; }
    bool running() const { return m_bRunning.load() && (!pageFlag_ || pageFlag_->load()); }

    struct ScanState;

protected:
    // startByte/lengthBytes: where the partition lies on device (0 length: to its end).
    CExtVolume(DevicePtr device, uint64_t startByte, uint64_t lengthBytes, std::string label);
    void open();
    // The journal engine's part of a scan, before the inode tables are read.
    virtual void collectJournal(ScanState&, ProgressFields&, uint64_t, uint64_t) {}

    void refuseOpen(std::string why);

    std::string journalNote_;

private:
    ErrorCode readGroupDescriptors();
    void judgeConditions();
    void nameFound(ScanState& st);

    DevicePtr device_;
    uint64_t startByte_ = 0;
    uint64_t lengthBytes_ = 0;
    std::string label_;
    bool opened_ = false;
    ErrorCode openError_ = kErrNoImage;
    std::string openReason_;
    ExtSuperblock sb_;
    std::vector<ExtGroupDesc> groups_;
    const std::atomic<bool>* pageFlag_ = nullptr;
    std::vector<std::unique_ptr<ExtFoundFile>> found_;
};

// The inode-table engine: an inode free in its bitmap that still holds its
// block map is a deleted file (EXT2, and volumes deleted from without the
// kernel).
class CExt2Volume final : public CExtVolume {
public:
    // Opens "\\.\PhysicalDrive%d" of the record read-only; the label comes from the record.
    explicit CExt2Volume(const PartitionRecord& record);
    CExt2Volume(DevicePtr device, uint64_t startByte, uint64_t lengthBytes, std::string label = {});
};

// Block kinds of ClassifyBlock.
enum class ExtBlockKind { OutOfRange = -1, Superblock = 0, Descriptors = 1, BlockBitmap = 2, InodeBitmap = 3,
                          InodeTable = 4, Data = 5 };

// The journal engine (EXT3, EXT4): the inode-table scan, plus the inode
// copies that the journal still holds of files whose inode the kernel has
// cleared since, and names from every journal copy of a directory block.
class CExt3Volume final : public CExtVolume {
public:
    explicit CExt3Volume(const PartitionRecord& record);
    CExt3Volume(DevicePtr device, uint64_t startByte, uint64_t lengthBytes, std::string label = {});

    ExtBlockKind ClassifyBlock(uint64_t block) const;
    // The first inode an inode-table block holds; 0 when it is not one.
    uint32_t FirstInodeOfBlock(uint64_t block) const;

private:
    struct Table {
        uint64_t first = 0, end = 0;
        uint32_t group = 0;
    };
    void finishOpen();
    void collectJournal(ScanState& st, ProgressFields& progress, uint64_t firstBlock, uint64_t lastBlock) override;
    const Table* tableOf(uint64_t block) const;

    std::vector<Table> tables_;          // sorted by first block
    std::vector<uint64_t> bitmapsBlock_;  // sorted
    std::vector<uint64_t> bitmapsInode_;  // sorted
};

// The engine a volume needs: the journal one when the superblock has a
// journal, else the inode-table one. Never null; opened() tells.
std::unique_ptr<CExtVolume> OpenExtVolume(DevicePtr device, uint64_t startByte, uint64_t lengthBytes,
                                          std::string label = {});
std::unique_ptr<CExtVolume> OpenExtVolume(const PartitionRecord& record);

// The drive of a record, opened for reading; null when it cannot be.
DevicePtr ExtOpenRecordDrive(const PartitionRecord& record);

// "Found Deleted Files : " and "%s %d": two blanks before the count.
std::string ExtFoundProgressText(uint32_t count);
// "inode_%p.tmp": the number as eight upper-case hexadecimal digits.
std::string ExtInodeFileName(uint32_t inodeNumber);

}  // namespace vantor
