#pragma once
// A file the recovery writers create below the user's destination folder,
// with Win32-style error codes, plus the folder and existence helpers the
// writers need (CreateDirectoryA, the overwrite probe, same-device check).
#include <cstdint>
#include <string>

#include "platform/byte_order.h"
#include "platform/error_codes.h"

namespace vantor {

// Where a file's recovered bytes go, in order.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual ErrorCode write(ByteSpan bytes) = 0;
    // n zero bytes that hold no data on the source (a sparse run).
    virtual ErrorCode skip(uint64_t n) = 0;
};

class OutputFile final : public ByteSink {
public:
    OutputFile() = default;
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates path for writing.
    ErrorCode create(const std::string& path);
    ErrorCode write(ByteSpan bytes) override;
    // Seeks past n bytes, leaving a hole where the file system makes one
    // (elsewhere it fills zeros); the file's size still counts them.
    ErrorCode skip(uint64_t n) override;
    // Flushes and closes; a failure here means the data may not be on disk.
    ErrorCode close();
    bool isOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    bool holeAtEnd_ = false;  // a skip was the last thing done: the size is set at close
    uint64_t position_ = 0;
};

// True when path names an existing file that can be opened for reading.
bool FileExistsForReading(const std::string& path);
// Creates one folder; success when it exists already.
ErrorCode CreateFolder(const std::string& path);
// Creates every missing folder of path.
ErrorCode CreateFolderPath(const std::string& path);
// Joins with '/', never doubling it.
std::string JoinPath(const std::string& folder, const std::string& name);
// Makes a found name safe as one path component here: no '/', no NUL, not
// "." or "..", so a hostile name cannot escape the destination.
std::string SafeFileName(const std::string& name);
// True when path lies on the same device (st_dev) as the given image or
// block device file, e.g. a destination inside the scanned volume.
bool SameFileSystemDevice(const std::string& path, const std::string& devicePath);
// The same for one partition of devicePath, the bytes [startByte,
// startByte + lengthBytes) of it: true when the file system holding path
// (its nearest existing folder) lives on a block device that overlaps them:
// the disk itself, a partition of that disk (/dev/sda1 while sda is
// scanned), or a loop device (or its partitions) backed by the image file.
// sysRoot is where sysfs is mounted (tests give a fake one).
bool SameFileSystemDevice(const std::string& path, const std::string& devicePath, uint64_t startByte,
                          uint64_t lengthBytes, const std::string& sysRoot = "/sys");

}  // namespace vantor
