// A found file's condition: its data runs against the current $Bitmap. A
// cluster that a deleted file's run names and the bitmap marks allocated
// belongs to some live file now.
#include <bit>
#include <cstring>

#include "ntfs/ntfs_volume_impl.h"

namespace vantor {

namespace {

// $Bitmap is 1/32768 of a 4 KiB-cluster volume; past this (a 4 TiB volume)
// the clusters beyond are not judged.
constexpr uint64_t kMaxBitmapBytes = uint64_t{128} << 20;
constexpr uint64_t kBitmapRecord = 6;

// Set bits of bitmap in [first, first + count); the caller keeps the range inside.
uint64_t CountAllocated(const std::vector<std::byte>& bitmap, uint64_t first, uint64_t count) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(bitmap.data());
    uint64_t n = 0;
    uint64_t c = first;
    const uint64_t end = first + count;
    for (; c < end && (c & 63) != 0; ++c) n += (bytes[c >> 3] >> (c & 7)) & 1;
    for (; c + 64 <= end; c += 64) {
        uint64_t word;
        std::memcpy(&word, bytes + (c >> 3), sizeof(word));
        n += static_cast<uint64_t>(std::popcount(word));
    }
    for (; c < end; ++c) n += (bytes[c >> 3] >> (c & 7)) & 1;
    return n;
}

}  // namespace

void NtfsVolumeAccess::loadBitmap(CNtfsVolume& v, size_t image) {
    v.impl_->bitmap.clear();
    const ByteSpan bytes = record(v, image, kBitmapRecord);
    if (bytes.empty() || !v.device_ || v.clusterSize_ == 0) return;
    CMftRecordParser parser;
    if (parser.SetGeometry(partitionOffset(v), v.recordSize_, v.clusterSize_) != kSuccess) return;
    parser.Attach(v.device_.get(), nullptr);
    prepareParser(v, parser, image, kBitmapRecord);
    const uint64_t clusters = volumeBytes(v) / v.clusterSize_;
    parser.SetMemoryLimit(std::min(kMaxBitmapBytes, (clusters + 7) / 8));
    if (parser.ParseRecord(bytes, true) != kSuccess || parser.fileNameText() != "$Bitmap") return;
    std::vector<std::byte> bitmap = parser.takeData();
    // Whole bytes for the counter's 64-bit reads.
    bitmap.resize((bitmap.size() + 7) / 8 * 8, std::byte{0});
    v.impl_->bitmap = std::move(bitmap);
}

DataCondition NtfsVolumeAccess::condition(const CNtfsVolume& v, const NtfsFoundItem& item,
                                          const NtfsDataStream& stream) {
    // A live file of the current MFT owns its clusters.
    if (item.imageIndex == 0 && !item.isDeleted()) return DataCondition::Intact;
    if (!stream.present || stream.resident || stream.realSize == 0) return DataCondition::Intact;
    const std::vector<std::byte>& bitmap = v.impl_->bitmap;
    if (bitmap.empty() || v.clusterSize_ == 0) return DataCondition::Unknown;
    const uint64_t bits = uint64_t{bitmap.size()} * 8;
    // Only the clusters that hold the file's bytes; a run list longer than
    // the volume is not this file's.
    const uint64_t wanted = (stream.realSize - 1) / v.clusterSize_ + 1;
    uint64_t judged = 0;
    uint64_t taken = 0;
    uint64_t listed = 0;
    for (const NtfsRun& run : stream.runs) {
        if (run.vcn >= wanted) break;
        const uint64_t length = std::min(run.length, wanted - run.vcn);
        if (run.sparse) continue;
        listed += length;
        if (listed > bits) return DataCondition::Unknown;
        if (run.lcn >= bits) continue;
        const uint64_t inside = std::min(length, bits - run.lcn);
        judged += inside;
        taken += CountAllocated(bitmap, run.lcn, inside);
    }
    if (listed == 0) return DataCondition::Intact;  // all sparse: nothing on disk to lose
    if (judged == 0) return DataCondition::Unknown;
    if (taken == 0) return DataCondition::Intact;
    return taken == judged ? DataCondition::Overwritten : DataCondition::PartlyOverwritten;
}

}  // namespace vantor
