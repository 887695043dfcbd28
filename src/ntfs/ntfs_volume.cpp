// Device, geometry, the in-memory MFT, and reading items back.
#include <algorithm>

#include "ntfs/ntfs_volume_impl.h"
#include "platform/device_table.h"

namespace vantor {

namespace {

// No MFT on a disk this engine reads comes near this; a hostile size must
// not make it allocate more.
constexpr uint64_t kMaxMftBytes = uint64_t{4} << 30;
// The largest cluster NTFS formats; a boot sector claiming more is damaged.
constexpr uint32_t kMaxClusterBytes = uint32_t{2} << 20;

}  // namespace

CNtfsVolume::CNtfsVolume() : impl_(std::make_unique<Impl>()) {}
CNtfsVolume::~CNtfsVolume() = default;

bool CNtfsVolume::OpenDevice(const std::string& name, bool isPhysical) {
    device_.reset();
    devicePath_.clear();
    deviceStartByte_ = 0;
    DeviceTable& table = DeviceTable::Global();
    std::string path;
    if (isPhysical) {
        path = "\\\\.\\" + name;
        if (auto number = ParsePhysicalDriveName(path))
            if (auto drive = table.drive(*number)) devicePath_ = drive->path;
    } else {
        if (name.empty()) return false;
        path = VolumeName(name[0]);
        if (auto volume = table.volume(name[0]))
            if (auto drive = table.drive(volume->driveNumber)) {
                devicePath_ = drive->path;
                deviceStartByte_ = volume->startByte;
            }
    }
    DevicePtr device;
    if (table.open(path, Access::Read, device) != kSuccess || !device) {
        devicePath_.clear();
        deviceStartByte_ = 0;
        return false;
    }
    device_ = std::move(device);
    return true;
}

void CNtfsVolume::AttachDevice(DevicePtr device, std::string filePath) {
    device_ = std::move(device);
    devicePath_ = std::move(filePath);
    deviceStartByte_ = 0;
}

void CNtfsVolume::SetPartitionStart(uint32_t startSector, uint32_t bytesPerSector, uint64_t lengthBytes) {
    partitionStartSector_ = startSector;
    bytesPerSector_ = bytesPerSector;
    partitionLength_ = lengthBytes;
}

NtfsVolumeExtent CNtfsVolume::scannedExtent() const {
    NtfsVolumeExtent extent;
    extent.path = devicePath_;
    const uint64_t start = NtfsVolumeAccess::partitionOffset(*this);
    extent.startByte = deviceStartByte_ + start;
    extent.lengthBytes = partitionLength_;
    if (extent.lengthBytes == 0 && device_ && device_->size() > start) extent.lengthBytes = device_->size() - start;
    return extent;
}

void CNtfsVolume::SetScanRange(uint32_t firstSector, uint32_t lastSector) {
    scanFirstSector_ = firstSector;
    scanLastSector_ = lastSector;
}

ErrorCode CNtfsVolume::CheckBootSector(MutableByteSpan buffer) {
    isNtfs_ = false;
    if (!device_) return kErrInvalidDrive;
    if (buffer.size() < 512) return kErrInvalidParameter;
    if (ErrorCode rc = device_->readAt(NtfsVolumeAccess::partitionOffset(*this), buffer.first(512))) return rc;
    if (!IsNtfsBootSector(buffer)) return kErrInvalidDrive;
    isNtfs_ = true;
    return kSuccess;
}

void NtfsVolumeAccess::takeGeometry(CNtfsVolume& v, ByteSpan boot) {
    const NtfsBootGeometry g = DecodeNtfsBoot(boot);
    // 0 makes the geometry bad (87) rather than every window huge.
    v.clusterSize_ = g.clusterSize <= kMaxClusterBytes ? g.clusterSize : 0;
    v.recordSize_ = g.recordSize;
    v.mftLcn_ = g.mftLcn;
    v.bootVolumeBytes_ = g.totalSectors < (~uint64_t{0} >> 17) ? (g.totalSectors + 1) * g.bytesPerSector : 0;
}

uint64_t NtfsVolumeAccess::volumeBytes(const CNtfsVolume& v) {
    const uint64_t base = partitionOffset(v);
    uint64_t bytes = v.device_ && v.device_->size() > base ? v.device_->size() - base : 0;
    if (v.partitionLength_ != 0) bytes = std::min(bytes, v.partitionLength_);
    if (v.bootVolumeBytes_ != 0) bytes = std::min(bytes, v.bootVolumeBytes_);
    return bytes;
}

ErrorCode CNtfsVolume::LoadMft(uint64_t mftLcn, const std::atomic<bool>* keepGoing) {
    if (!device_) return kErrNoImage;
    CMftRecordParser parser;
    const uint64_t base = NtfsVolumeAccess::partitionOffset(*this);
    if (ErrorCode rc = parser.SetGeometry(base, recordSize_, clusterSize_)) return rc;
    if (mftLcn > (~uint64_t{0} - base) / clusterSize_) return kErrHandleEof;
    const uint64_t mftStart = base + mftLcn * clusterSize_;
    std::vector<std::byte> record0(recordSize_);
    if (ErrorCode rc = device_->readAt(mftStart, record0)) return rc;

    parser.Attach(device_.get(), nullptr);
    parser.SetRecordNumber(0);
    // $MFT's own extension records lie in its first extent.
    parser.SetRecordFetcher([this, mftStart](uint64_t n, std::vector<std::byte>& out) {
        if (n == 0 || n > 0xFFFF) return false;
        out.resize(recordSize_);
        return device_->readAt(mftStart + n * recordSize_, out) == kSuccess;
    });
    ErrorCode rc = parser.ParseRecord(record0, false);
    if (rc != kSuccess && rc != kErrHandleEof) return rc;
    const std::u16string& name = parser.fileName().name;
    if (name.size() < 4 || name.compare(0, 4, u"$MFT") != 0) return kErrBadMftRecord;

    // The runs are read straight into the image, which is most of a scan's time.
    // The image holds no more than the volume and $MFT's own runs can: a
    // hostile length must not allocate gigabytes on a large disk.
    const NtfsDataStream& stream = parser.dataStream();
    uint64_t length = stream.size();
    if (!stream.resident && stream.allocatedSize != 0) length = std::min(length, stream.allocatedSize);
    const uint64_t volume = NtfsVolumeAccess::volumeBytes(*this);
    if (!stream.resident) {
        uint64_t mapped = 0;
        for (const NtfsRun& run : stream.runs)
            if (!run.sparse) mapped = std::min(volume, mapped + std::min(run.length, volume / clusterSize_) * clusterSize_);
        length = std::min(length, mapped);
    }
    length = std::min(length, std::min(kMaxMftBytes, volume));
    MftImage image;
    image.bytes.resize(static_cast<size_t>(length));
    if (stream.resident) {
        std::copy_n(stream.residentValue.begin(), image.bytes.size(), image.bytes.begin());
    } else if (stream.present) {
        rc = ReadNtfsStreamInto(*device_, base, clusterSize_, stream, image.bytes, keepGoing);
        if (rc == kErrCancelled) return rc;
        if (rc != kSuccess && rc != kErrHandleEof) return rc;
    }
    image.recordCount = static_cast<uint32_t>(std::min<uint64_t>(image.bytes.size() / recordSize_, 0xFFFFFFFFu));
    mftImageLength_ = image.bytes.size();
    std::vector<std::pair<uint64_t, uint64_t>> extents;
    uint64_t covered = 0;
    for (const NtfsRun& run : parser.dataStream().runs) {
        if (covered >= mftImageLength_) break;
        const uint64_t take = std::min(std::min(run.length, mftImageLength_) * clusterSize_, mftImageLength_ - covered);
        if (!run.sparse && run.lcn < (~uint64_t{0} >> 1) / clusterSize_)
            extents.emplace_back(run.lcn * clusterSize_, run.lcn * clusterSize_ + take);
        covered += take;
    }
    // The formatted scan walks the disk upwards: a later run may lie earlier.
    std::sort(extents.begin(), extents.end());
    mftLcn_ = mftLcn;
    std::lock_guard lock(lock_);
    impl_->mftExtents = std::move(extents);
    impl_->images.push_back(std::move(image));
    return kSuccess;
}

void CNtfsVolume::Reset() {
    std::lock_guard lock(lock_);
    impl_ = std::make_unique<Impl>();
    device_.reset();
    devicePath_.clear();
    deviceStartByte_ = 0;
    foundItems_.clear();
    selection_.clear();
    folderCounter_ = 0;
    mftImageLength_ = 0;
    formattedFound_ = 0;
    formattedDropped_ = 0;
    bootVolumeBytes_ = 0;
    isNtfs_ = false;
}

size_t CNtfsVolume::imageCount() const {
    std::lock_guard lock(lock_);
    return impl_->images.size();
}

uint32_t CNtfsVolume::recordCount(size_t image) const {
    std::lock_guard lock(lock_);
    return image < impl_->images.size() ? impl_->images[image].recordCount : 0;
}

ByteSpan NtfsVolumeAccess::record(const CNtfsVolume& v, size_t image, uint64_t index) {
    if (image >= v.impl_->images.size() || v.recordSize_ == 0) return {};
    const MftImage& img = v.impl_->images[image];
    if (index >= img.recordCount) return {};
    return ByteSpan(img.bytes).subspan(static_cast<size_t>(index) * v.recordSize_, v.recordSize_);
}

NtfsRecordFetcher NtfsVolumeAccess::fetcher(const CNtfsVolume& v, size_t image, uint64_t base) {
    return [&v, image, base](uint64_t number, std::vector<std::byte>& out) {
        if (image >= v.impl_->images.size()) return false;
        const MftImage& img = v.impl_->images[image];
        uint64_t index = number;
        if (img.lost) {
            const auto found = img.nearest(number, static_cast<uint32_t>(std::min<uint64_t>(base, UINT32_MAX)));
            if (!found) return false;
            index = *found;
        }
        const ByteSpan bytes = record(v, image, index);
        if (bytes.empty()) return false;
        out.assign(bytes.begin(), bytes.end());
        return true;
    };
}

void NtfsVolumeAccess::prepareParser(const CNtfsVolume& v, CMftRecordParser& parser, size_t image, uint64_t index) {
    if (image < v.impl_->images.size() && !v.impl_->images[image].lost) parser.SetRecordNumber(index);
    parser.SetRecordFetcher(fetcher(v, image, index));
}

uint32_t NtfsVolumeAccess::nextFolderNumber(CNtfsVolume& v) {
    std::lock_guard lock(v.lock_);
    return v.folderCounter_++;
}

uint32_t NtfsVolumeAccess::appendItem(CNtfsVolume& v, std::unique_ptr<NtfsFoundItem> item, bool send) {
    send = send && v.sink_ != nullptr;
    // The delivery lock is taken before the item gets its index, so items
    // reach the sink one at a time and in index order; the volume's lock is
    // let go before the sink runs, so a page that waits on its own thread
    // calling the volume cannot deadlock.
    std::unique_lock delivery(v.deliveryLock_, std::defer_lock);
    if (send) delivery.lock();
    NtfsFoundItem* raw = item.get();
    uint32_t index;
    {
        std::lock_guard lock(v.lock_);
        index = static_cast<uint32_t>(v.foundItems_.size());
        v.foundItems_.push_back(std::move(item));
    }
    if (send) v.sink_->onFoundItem(raw, index);
    return index;
}

namespace {

// The drive's bytes a stream's content was read from: its allocated runs
// within the stream's length.
void DataRuns(uint64_t base, uint64_t cs, const NtfsDataStream& stream, RecoveredFileRecord& record) {
    record.runs.clear();
    record.resident = stream.present && stream.resident;
    if (!stream.present || stream.resident) return;
    const uint64_t length = stream.allocatedSize != 0 ? std::min(stream.realSize, stream.allocatedSize) : stream.realSize;
    constexpr uint64_t kMax = ~uint64_t{0};
    for (const NtfsRun& run : stream.runs) {
        if (run.sparse || cs == 0 || run.vcn > kMax / cs || run.lcn > (kMax - base) / cs) continue;
        const uint64_t from = run.vcn * cs;
        if (from >= length) continue;
        const uint64_t bytes = run.length > (length - from) / cs ? length - from : run.length * cs;
        record.runs.push_back({base + run.lcn * cs, bytes});
    }
}

}  // namespace

ErrorCode NtfsVolumeAccess::readItem(CNtfsVolume& v, const NtfsFoundItem& item, ByteSink* out,
                                     std::vector<std::byte>* data, uint64_t maxBytes, BlockDevice* via,
                                     RecoveredFileRecord* found) {
    if (item.imageIndex < 0) return kErrNoImage;
    const size_t image = static_cast<size_t>(item.imageIndex);
    const ByteSpan bytes = record(v, image, item.recordIndex);
    if (bytes.empty()) return kErrNoImage;
    if (!v.device_) return kErrNoImage;
    CMftRecordParser parser;
    if (ErrorCode rc = parser.SetGeometry(partitionOffset(v), v.recordSize_, v.clusterSize_)) return rc;
    parser.Attach(via != nullptr ? via : v.device_.get(), out);
    prepareParser(v, parser, image, item.recordIndex);
    parser.SetMemoryLimit(maxBytes);
    // Sparse and compressed files may be larger than the disk, but not by
    // more than the compression ratio; a hostile size stops there.
    parser.SetCopyLimit(std::max<uint64_t>(v.device_->size(), uint64_t{1} << 26) * 16);
    const ErrorCode rc = parser.ParseRecord(bytes, true);
    if (data != nullptr) *data = parser.takeData();
    if (found != nullptr) DataRuns(v.deviceStartByte_ + partitionOffset(v), v.clusterSize_, parser.dataStream(), *found);
    return rc;
}

ErrorCode CNtfsVolume::ReadItemData(const NtfsFoundItem& item, std::vector<std::byte>& out, uint64_t maxBytes) {
    out.clear();
    return NtfsVolumeAccess::readItem(*this, item, nullptr, &out, maxBytes);
}

ErrorCode CNtfsVolume::CopyItemData(OutputFile& out, const NtfsFoundItem& item) {
    return NtfsVolumeAccess::readItem(*this, item, &out, nullptr, 0);
}

}  // namespace vantor
