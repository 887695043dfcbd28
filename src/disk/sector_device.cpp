#include "disk/sector_device.h"

#include <algorithm>
#include <vector>

#include "platform/device_table.h"

namespace vantor {

ErrorCode CSectorDevice::openDrive(const PartitionRecord& record) {
    close();
    DevicePtr dev;
    ErrorCode rc = DeviceTable::Global().openDrive(record.diskIndex, Access::Read, dev);
    if (rc != kSuccess) return rc;
    attach(std::move(dev), uint64_t{record.startSector} * 512);
    return kSuccess;
}

ErrorCode CSectorDevice::openVolume(char letter) {
    close();
    DevicePtr dev;
    ErrorCode rc = DeviceTable::Global().openVolume(letter, Access::Read, dev);
    if (rc != kSuccess) return rc;
    attach(std::move(dev), 0);
    return kSuccess;
}

ErrorCode CSectorDevice::openName(const std::string& name, uint64_t baseBytes) {
    close();
    DevicePtr dev;
    ErrorCode rc = DeviceTable::Global().open(name, Access::Read, dev);
    if (rc != kSuccess) return rc;
    attach(std::move(dev), baseBytes);
    return kSuccess;
}

void CSectorDevice::attach(DevicePtr device, uint64_t baseBytes) {
    device_ = std::move(device);
    base_ = baseBytes;
}

void CSectorDevice::close() {
    device_.reset();
    base_ = 0;
}

uint64_t CSectorDevice::bytesAfterBase() const {
    uint64_t size = deviceSize();
    return size > base_ ? size - base_ : 0;
}

ErrorCode CSectorDevice::read(uint64_t unit, uint32_t unitSize, MutableByteSpan buf) const {
    if (unitSize != 0 && unit > UINT64_MAX / unitSize) return kErrInvalidParameter;
    return readBytes(unit * unitSize, buf);
}

ErrorCode CSectorDevice::readBytes(uint64_t offset, MutableByteSpan buf) const {
    if (!device_) return kErrInvalidHandle;
    if (offset > UINT64_MAX - base_) return kErrInvalidParameter;
    return device_->readAt(base_ + offset, buf);
}

ErrorCode CSectorDevice::copyTo(uint64_t offset, uint64_t byteCount, OutputFile& out) const {
    if (!device_) return kErrInvalidHandle;
    constexpr uint64_t kChunk = 1 << 20;
    std::vector<std::byte> buf(static_cast<size_t>(std::min(byteCount, kChunk)));
    uint64_t done = 0;
    while (done < byteCount) {
        size_t n = static_cast<size_t>(std::min(kChunk, byteCount - done));
        MutableByteSpan part(buf.data(), n);
        ErrorCode rc = readBytes(offset + done, part);
        if (rc != kSuccess) return rc;
        rc = out.write(part);
        if (rc != kSuccess) return rc;
        done += n;
    }
    return kSuccess;
}

}  // namespace vantor
