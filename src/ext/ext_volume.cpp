#include "ext/ext_volume.h"

#include <algorithm>
#include <cstdio>

#include "platform/device_table.h"

namespace vantor {

namespace {

// A real descriptor table is a few MiB at most (16 TiB of 4 KiB blocks
// need 8 MiB); more cannot come from a sane superblock.
constexpr uint64_t kMaxDescriptorBytes = 64ull << 20;
constexpr uint32_t kIncompatMetaBg = 0x10;
constexpr size_t kCopyChunk = 4u << 20;

}  // namespace

DevicePtr ExtOpenRecordDrive(const PartitionRecord& record) {
    DevicePtr dev;
    if (DeviceTable::Global().openDrive(record.diskIndex, Access::Read, dev) != kSuccess) return nullptr;
    return dev;
}

void CExtVolume::refuseOpen(std::string why) {
    opened_ = false;
    openError_ = kErrInvalidDrive;
    openReason_ = std::move(why);
}

std::string ExtFoundProgressText(uint32_t count) {
    char text[64];
    std::snprintf(text, sizeof text, "%s %u", "Found Deleted Files : ", count);
    return text;
}

std::string ExtInodeFileName(uint32_t inodeNumber) {
    char text[32];
    std::snprintf(text, sizeof text, "inode_%08X.tmp", inodeNumber);
    return text;
}

CExtVolume::CExtVolume(DevicePtr device, uint64_t startByte, uint64_t lengthBytes, std::string label)
    : device_(std::move(device)), startByte_(startByte), lengthBytes_(lengthBytes), label_(std::move(label)) {}

void CExtVolume::open() {
    opened_ = false;
    groups_.clear();
    if (!device_) {
        openError_ = kErrNoImage;
        openReason_ = "the drive cannot be opened";
        return;
    }
    const uint64_t devSize = device_->size();
    if (startByte_ >= devSize) {
        openError_ = kErrHandleEof;
        openReason_ = "the partition starts past the end of the drive";
        return;
    }
    if (lengthBytes_ == 0 || lengthBytes_ > devSize - startByte_) lengthBytes_ = devSize - startByte_;
    std::vector<std::byte> raw(kExtSuperblockSize);
    if (lengthBytes_ < kExtSuperblockOffset + kExtSuperblockSize) {
        openError_ = kErrInvalidDrive;
        openReason_ = "partition too small for a superblock";
        return;
    }
    if (ErrorCode err = device_->readAt(startByte_ + kExtSuperblockOffset, raw); err != kSuccess) {
        openError_ = err;
        openReason_ = "the superblock cannot be read";
        return;
    }
    openError_ = ParseExtSuperblock(raw, lengthBytes_, sb_, openReason_);
    if (openError_ == kSuccess && (readLe32(raw, 96) & kIncompatMetaBg)) {
        // meta_bg spreads the descriptors over the groups; not read here.
        openError_ = kErrInvalidDrive;
        openReason_ = "meta_bg group descriptors are not supported";
    }
    if (openError_ == kSuccess) openError_ = readGroupDescriptors();
    if (openError_ != kSuccess) {
        groups_.clear();
        return;
    }
    if (label_.empty()) label_ = sb_.volumeName;
    opened_ = true;
}

ErrorCode CExtVolume::readGroupDescriptors() {
    const uint64_t bytes = uint64_t{sb_.groupCount} * sb_.descSize;
    const uint64_t tableBlock = uint64_t{sb_.firstDataBlock} + 1;
    const uint64_t tableBlocks = (bytes + sb_.blockSize - 1) / sb_.blockSize;
    if (bytes > kMaxDescriptorBytes || tableBlock + tableBlocks > sb_.blocksCount) {
        openReason_ = "group descriptor table does not fit the volume";
        return kErrInvalidDrive;
    }
    std::vector<std::byte> raw(static_cast<size_t>(tableBlocks * sb_.blockSize));
    if (ErrorCode err = ReadBlocks(tableBlock, tableBlocks, raw); err != kSuccess) {
        openReason_ = "the group descriptor table cannot be read";
        return err;
    }
    groups_.resize(sb_.groupCount);
    const uint64_t tableLen = (uint64_t{sb_.inodesPerGroup} * sb_.inodeSize + sb_.blockSize - 1) / sb_.blockSize;
    for (uint32_t g = 0; g < sb_.groupCount; ++g) {
        groups_[g] = DecodeExtGroupDesc(ByteSpan(raw).subspan(size_t{g} * sb_.descSize, sb_.descSize), sb_.descSize);
        // A table outside the volume is kept but every read of it fails.
        if (groups_[g].inodeTable + tableLen > sb_.blocksCount) groups_[g].inodeTable = sb_.blocksCount;
    }
    return kSuccess;
}

ErrorCode CExtVolume::ReadBlocks(uint64_t first, uint64_t count, MutableByteSpan out) const {
    if (!device_) return kErrNoImage;
    if (first >= sb_.blocksCount || count > sb_.blocksCount - first) return kErrInvalidParameter;
    if (out.size() != count * sb_.blockSize) return kErrInsufficientBuffer;
    return device_->readAt(startByte_ + first * sb_.blockSize, out);
}

ErrorCode CExtVolume::ReadBlock(uint64_t block, std::vector<std::byte>& out) const {
    out.resize(sb_.blockSize);
    return ReadBlocks(block, 1, out);
}

ErrorCode CExtVolume::ReadInodeBitmap(uint32_t group, std::vector<std::byte>& out) const {
    if (group >= groups_.size()) return kErrInvalidParameter;
    return ReadBlock(groups_[group].inodeBitmap, out);
}

ErrorCode CExtVolume::ReadInodeRecords(uint32_t group, uint32_t firstIndex, uint32_t count,
                                       std::vector<std::byte>& out) const {
    if (group >= groups_.size() || firstIndex >= sb_.inodesPerGroup || count > sb_.inodesPerGroup - firstIndex)
        return kErrInvalidParameter;
    const uint64_t table = groups_[group].inodeTable;
    if (table >= sb_.blocksCount) return kErrInvalidParameter;
    out.resize(size_t{count} * sb_.inodeSize);
    return device_->readAt(startByte_ + table * sb_.blockSize + uint64_t{firstIndex} * sb_.inodeSize, out);
}

ErrorCode CExtVolume::ReadInode(uint32_t n, std::vector<std::byte>& out) const {
    if (!opened_) return kErrNoImage;
    if (n == 0 || n > sb_.inodesCount) return kErrInvalidParameter;
    return ReadInodeRecords((n - 1) / sb_.inodesPerGroup, (n - 1) % sb_.inodesPerGroup, 1, out);
}

ErrorCode CExtVolume::ReadData(const ExtFoundFile& record, uint64_t limit, const std::atomic<bool>* running,
                               const std::function<ErrorCode(ByteSpan)>& sink) const {
    if (!opened_) return kErrNoImage;
    const uint64_t size = std::min(record.size(), limit);
    if (size == 0) return kSuccess;
    const uint64_t B = sb_.blockSize;
    std::vector<std::byte> buf;
    uint64_t done = 0;
    return WalkBlocks(record.inode, size, [&](const ExtRun& run) -> ErrorCode {
        uint64_t left = std::min(run.count * B, size - done);
        uint64_t at = run.physical;
        while (left > 0) {
            if (running && !running->load()) return kErrCancelled;
            const uint64_t n = std::min<uint64_t>(left, kCopyChunk);
            buf.resize(static_cast<size_t>(n));
            if (run.zero) {
                std::fill(buf.begin(), buf.end(), std::byte{0});
            } else {
                const uint64_t blocks = (n + B - 1) / B;
                buf.resize(static_cast<size_t>(blocks * B));
                if (ErrorCode err = ReadBlocks(at, blocks, buf); err != kSuccess) return err;
                at += blocks;
            }
            if (ErrorCode err = sink(ByteSpan(buf).first(static_cast<size_t>(n))); err != kSuccess) return err;
            left -= n;
            done += n;
        }
        return kSuccess;
    });
}

ErrorCode CExtVolume::ExtractToFile(const ExtFoundFile& record, const std::string& path) {
    if (!opened_) return kErrNoImage;
    OutputFile out;
    if (ErrorCode err = out.create(path); err != kSuccess) return err;
    ErrorCode err = ReadData(record, UINT64_MAX, &m_bRunning, [&](ByteSpan piece) { return out.write(piece); });
    const ErrorCode closed = out.close();
    return err != kSuccess ? err : closed;
}

ErrorCode CExtVolume::ReadToBuffer(const ExtFoundFile& record, uint64_t length, std::vector<std::byte>& out) const {
    out.clear();
    length = std::min(length, kExtReadBufferCap);
    out.reserve(static_cast<size_t>(std::min<uint64_t>({record.size(), length, 64ull << 20})));
    return ReadData(record, length, nullptr, [&](ByteSpan piece) {
        out.insert(out.end(), piece.begin(), piece.end());
        return kSuccess;
    });
}

CExt2Volume::CExt2Volume(const PartitionRecord& record)
    : CExtVolume(ExtOpenRecordDrive(record), uint64_t{record.startSector} * 512, record.totalBytes, record.label()) {
    open();
}

CExt2Volume::CExt2Volume(DevicePtr device, uint64_t startByte, uint64_t lengthBytes, std::string label)
    : CExtVolume(std::move(device), startByte, lengthBytes, std::move(label)) {
    open();
}

}  // namespace vantor
