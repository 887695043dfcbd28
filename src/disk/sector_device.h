#pragma once
// The reading contract every scan engine carries in its own copy: open the
// partition's drive (or its volume letter), read whole units at
// partition start x 512 + unit x unit size, copy units out to a file.
// Opens are read-only: nothing here ever writes to a scanned drive.
#include <cstdint>
#include <string>

#include "disk/partition_record.h"
#include "platform/block_device.h"
#include "platform/output_file.h"

namespace vantor {

class CSectorDevice {
public:
    // Opens "\\.\PhysicalDrive%d" of record.diskIndex and takes the record's
    // start sector as the partition base.
    ErrorCode openDrive(const PartitionRecord& record);
    // Opens "\\.\%c:" (base 0: the volume view starts at the partition).
    ErrorCode openVolume(char letter);
    // Any device name or path, with an explicit base in bytes.
    ErrorCode openName(const std::string& name, uint64_t baseBytes);
    // An already open device (tests, fuzzers).
    void attach(DevicePtr device, uint64_t baseBytes);
    void close();

    bool isOpen() const { return device_ != nullptr; }
    uint64_t baseBytes() const { return base_; }
    uint64_t deviceSize() const { return device_ ? device_->size() : 0; }
    // Bytes from the base to the device's end.
    uint64_t bytesAfterBase() const;

    // Reads buf.size() bytes at base + unit * unitSize; the whole count or a failure.
    ErrorCode read(uint64_t unit, uint32_t unitSize, MutableByteSpan buf) const;
    // Reads at base + byte offset.
    ErrorCode readBytes(uint64_t offset, MutableByteSpan buf) const;
    // Copies byteCount bytes from base + offset to out in large chunks.
    ErrorCode copyTo(uint64_t offset, uint64_t byteCount, OutputFile& out) const;

    const DevicePtr& device() const { return device_; }

private:
    DevicePtr device_;
    uint64_t base_ = 0;
};

}  // namespace vantor
