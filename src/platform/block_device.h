#pragma once
// A device or image addressed by 64-bit byte offsets. Every engine reads
// through this contract: a read succeeds only when the whole count arrives.
// File-backed devices are opened read-only unless a writer asked for write
// access explicitly; the memory device backs tests and fuzzers.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_order.h"
#include "platform/error_codes.h"

namespace vantor {

class BlockDevice {
public:
    virtual ~BlockDevice() = default;
    virtual uint64_t size() const = 0;
    // Reads exactly buf.size() bytes at offset; anything less is a failure
    // (kErrHandleEof past the end, else the mapped system error).
    virtual ErrorCode readAt(uint64_t offset, MutableByteSpan buf) = 0;
    // Writes exactly buf.size() bytes; kErrAccessDenied on a read-only open.
    virtual ErrorCode writeAt(uint64_t offset, ByteSpan buf) = 0;
    virtual bool writable() const = 0;
};

using DevicePtr = std::shared_ptr<BlockDevice>;

class FileDevice final : public BlockDevice {
public:
    ~FileDevice() override;
    // Opens a regular file or a block device. write=false gives O_RDONLY.
    static ErrorCode open(const std::string& path, bool write, std::shared_ptr<FileDevice>& out);
    uint64_t size() const override { return size_; }
    ErrorCode readAt(uint64_t offset, MutableByteSpan buf) override;
    ErrorCode writeAt(uint64_t offset, ByteSpan buf) override;
    bool writable() const override { return write_; }
    const std::string& path() const { return path_; }

private:
    FileDevice(int fd, uint64_t size, bool write, std::string path)
        : fd_(fd), size_(size), write_(write), path_(std::move(path)) {}
    int fd_;
    uint64_t size_;
    bool write_;
    std::string path_;
};

class MemoryDevice final : public BlockDevice {
public:
    explicit MemoryDevice(std::vector<std::byte> bytes, bool write = false)
        : bytes_(std::move(bytes)), write_(write) {}
    uint64_t size() const override { return bytes_.size(); }
    ErrorCode readAt(uint64_t offset, MutableByteSpan buf) override;
    ErrorCode writeAt(uint64_t offset, ByteSpan buf) override;
    bool writable() const override { return write_; }
    std::vector<std::byte>& bytes() { return bytes_; }

private:
    std::vector<std::byte> bytes_;
    bool write_;
};

// A window [start, start + length) of another device: a volume's view of its
// partition, as "\\.\C:" gives on Windows.
class SliceDevice final : public BlockDevice {
public:
    SliceDevice(DevicePtr base, uint64_t start, uint64_t length);
    uint64_t size() const override { return length_; }
    ErrorCode readAt(uint64_t offset, MutableByteSpan buf) override;
    ErrorCode writeAt(uint64_t offset, ByteSpan buf) override;
    bool writable() const override { return base_->writable(); }

private:
    DevicePtr base_;
    uint64_t start_;
    uint64_t length_;
};

}  // namespace vantor
