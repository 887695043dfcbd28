// The formatted-drive scan: the current MFT is listed on a second thread
// while the scan range is searched for "FILE0" records outside it; those are
// listed at the end as a second image under "Lost Files1".
#include <algorithm>
#include <cstdio>
#include <thread>

#include "ntfs/ntfs_volume_impl.h"

namespace vantor {

namespace {

// Reads go in large requests; the search still steps record by record.
constexpr uint64_t kReadBytes = uint64_t{1} << 20;
// A window of large clusters is still read in pieces of at most this.
constexpr uint64_t kMaxReadBytes = uint64_t{8} << 20;

std::string FoundText(uint64_t n) {
    char text[64];
    std::snprintf(text, sizeof(text), kNtfsFormattedProgressFormat, static_cast<int>(n));
    return text;
}

}  // namespace

void CNtfsVolume::ListMftRecords() {
    size_t image;
    {
        std::lock_guard lock(lock_);
        if (impl_->currentImage >= impl_->images.size()) return;
        image = impl_->currentImage;
    }
    const uint32_t count = recordCount(image);
    const uint32_t first = (isNtfs_ && image == 0) ? kNtfsFirstUserRecord : 0;
    for (uint32_t j = first; j < count && m_bRunning.load(); ++j) {
        auto item = std::make_unique<NtfsFoundItem>();
        item->imageIndex = static_cast<int32_t>(image);
        item->recordIndex = j;
        if (DecodeItem(NtfsVolumeAccess::record(*this, image, j), *item) != 0) continue;
        const bool send = !item->isFolder();
        NtfsVolumeAccess::appendItem(*this, std::move(item), send);
    }
}

int CNtfsVolume::ScanFormatted() {
    std::vector<std::byte> boot(512);
    std::thread lister;
    bool haveMft = false;
    if (CheckBootSector(boot) == kSuccess) {
        NtfsVolumeAccess::takeGeometry(*this, boot);
        // A stop while the MFT loads ends the scan as a stop does later on.
        if (ErrorCode rc = LoadMft(mftLcn_, &m_bRunning)) return rc == kErrCancelled ? 0 : static_cast<int>(rc);
        {
            std::lock_guard lock(lock_);
            impl_->currentImage = impl_->images.size() - 1;
        }
        haveMft = true;
        lister = std::thread([this] {
            NtfsVolumeAccess::loadBitmap(*this, impl_->currentImage);
            ListMftRecords();
        });
    }
    if (clusterSize_ == 0) clusterSize_ = bytesPerSector_ * 8;
    if (recordSize_ == 0 || recordSize_ > kNtfsMaxRecordSize || (recordSize_ & 1)) {
        recordSize_ = kNtfsDefaultRecordSize;
        mftLcn_ = ~uint64_t{0};
    }
    if (!haveMft) {
        std::lock_guard lock(lock_);
        impl_->mftExtents.clear();
        impl_->bitmap.clear();
    }

    const uint64_t base = NtfsVolumeAccess::partitionOffset(*this);
    const uint64_t available = device_ && device_->size() > base ? device_->size() - base : 0;
    const uint64_t rs = recordSize_;
    // Records lie at whole multiples of the record size from the partition
    // start, wherever the chosen range begins.
    const uint64_t start = uint64_t{scanFirstSector_} * bytesPerSector_ / rs * rs;
    const uint64_t end = std::min<uint64_t>(uint64_t{scanLastSector_} * bytesPerSector_, available);
    const uint64_t window = uint64_t{clusterSize_} * 100;
    // Whole records per read; each record position of the range is looked at once.
    const uint64_t chunk = std::min(std::max(window, kReadBytes), kMaxReadBytes) / rs * rs;
    // A read that fails is retried in windows of whole records.
    const uint64_t retry = std::max<uint64_t>(rs, std::min(window, chunk) / rs * rs);
    const uint64_t mftStart = mftLcn_ != ~uint64_t{0} && mftLcn_ < (~uint64_t{0} >> 1) / clusterSize_
                                  ? mftLcn_ * clusterSize_ : ~uint64_t{0};
    const std::vector<std::pair<uint64_t, uint64_t>> extents = impl_->mftExtents;

    MftImage lost;
    lost.lost = true;
    uint64_t found = 0;
    formattedFound_ = 0;
    formattedDropped_ = 0;
    uint64_t dropped = 0;
    const uint64_t keep = std::min<uint64_t>(lostRecordBudget_ / rs, end > start ? (end - start) / rs : 0);
    if (progress_ != nullptr) {
        progress_->m_nProgressTotal = static_cast<uint32_t>(std::min<uint64_t>(end > start ? (end - start) / window : 0, 0xFFFFFFFFu));
        progress_->m_nProgressPos = 0;
        progress_->setText(FoundText(0));
    }
    std::vector<std::byte> buffer;
    size_t extent = 0;
    std::string name;
    CMftRecordParser parser;
    parser.SetGeometry(0, recordSize_, clusterSize_);
    // Looks at every record of bytes, read from partition offset position.
    auto examine = [&](uint64_t position, ByteSpan bytes) {
        for (uint64_t g = 0; g + rs <= bytes.size(); g += rs) {
            const uint64_t at = position + g;
            while (extent < extents.size() && extents[extent].second <= at) ++extent;
            if (extent < extents.size() && extents[extent].first <= at) {
                // The current MFT is listed from memory by the other thread.
                if (at == mftStart) found += mftImageLength_ / rs;
                continue;
            }
            const ByteSpan record = bytes.subspan(static_cast<size_t>(g), rs);
            if (parser.ParseRecordName(record, &name) != kSuccess || name.empty()) continue;
            const uint32_t own = readLe32(record, 0x2C);
            // The volume's own files (and $MFTMirr's copies of them) are no finds.
            if (own < kNtfsFirstUserRecord) continue;
            ++found;
            // Every position is looked at once, so a number seen again is
            // another record: an older MFT's file of that number.
            if (lost.recordCount < keep) {
                lost.bytes.insert(lost.bytes.end(), record.begin(), record.end());
                lost.byNumber[own].push_back(lost.recordCount);
                ++lost.recordCount;
            } else {
                ++dropped;
            }
        }
    };
    for (uint64_t position = start; device_ && position + rs <= end && m_bRunning.load();) {
        const uint64_t length = std::min(chunk, (end - position) / rs * rs);
        if (progress_ != nullptr) {
            progress_->m_nProgressPos = static_cast<uint32_t>(std::min<uint64_t>((position - start) / window, 0xFFFFFFFFu));
            progress_->setText(FoundText(found));
        }
        buffer.resize(static_cast<size_t>(length));
        if (device_->readAt(base + position, buffer) == kSuccess) {
            examine(position, buffer);
        } else {
            // Around a bad sector the readable windows are still searched.
            for (uint64_t w = 0; w < length && m_bRunning.load(); w += retry) {
                const MutableByteSpan piece =
                    MutableByteSpan(buffer).subspan(static_cast<size_t>(w), static_cast<size_t>(std::min(retry, length - w)));
                if (device_->readAt(base + position + w, piece) == kSuccess) examine(position + w, piece);
            }
        }
        position += length;
    }
    if (lister.joinable()) lister.join();
    formattedFound_ = static_cast<uint32_t>(std::min<uint64_t>(found, 0xFFFFFFFFu));
    formattedDropped_ = static_cast<uint32_t>(std::min<uint64_t>(dropped, 0xFFFFFFFFu));
    if (progress_ != nullptr) progress_->setText(FoundText(found));

    size_t lostImage;
    {
        std::lock_guard lock(lock_);
        // Keep image 0 for the current MFT even when there is none, so the
        // found records are always image 1 ("Lost Files1").
        if (impl_->images.empty()) impl_->images.emplace_back();
        lostImage = impl_->images.size();
        impl_->images.push_back(std::move(lost));
    }
    const uint32_t lostCount = recordCount(lostImage);
    for (uint32_t j = 0; j < lostCount && m_bRunning.load(); ++j) {
        auto item = std::make_unique<NtfsFoundItem>();
        item->imageIndex = static_cast<int32_t>(lostImage);
        item->recordIndex = j;
        if (DecodeItem(NtfsVolumeAccess::record(*this, lostImage, j), *item) != 0) continue;
        const bool send = !item->isFolder();
        NtfsVolumeAccess::appendItem(*this, std::move(item), send);
    }
    return 0;
}

}  // namespace vantor
