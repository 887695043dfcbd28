#include "platform/block_device.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantor {

FileDevice::~FileDevice() {
    if (fd_ >= 0) ::close(fd_);
}

ErrorCode FileDevice::open(const std::string& path, bool write, std::shared_ptr<FileDevice>& out) {
    int fd = ::open(path.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) return ErrorFromErrno(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        return ErrorFromErrno(e);
    }
    uint64_t size = 0;
    if (S_ISBLK(st.st_mode)) {
        if (::ioctl(fd, BLKGETSIZE64, &size) != 0) size = 0;
    } else if (S_ISREG(st.st_mode)) {
        size = static_cast<uint64_t>(st.st_size);
    } else {
        ::close(fd);
        return kErrInvalidParameter;
    }
    out.reset(new FileDevice(fd, size, write, path));
    return kSuccess;
}

ErrorCode FileDevice::readAt(uint64_t offset, MutableByteSpan buf) {
    size_t done = 0;
    while (done < buf.size()) {
        ssize_t n = ::pread(fd_, buf.data() + done, buf.size() - done,
                            static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return ErrorFromErrno(errno);
        }
        if (n == 0) return kErrHandleEof;
        done += static_cast<size_t>(n);
    }
    return kSuccess;
}

ErrorCode FileDevice::writeAt(uint64_t offset, ByteSpan buf) {
    if (!write_) return kErrAccessDenied;
    size_t done = 0;
    while (done < buf.size()) {
        ssize_t n = ::pwrite(fd_, buf.data() + done, buf.size() - done,
                             static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return ErrorFromErrno(errno);
        }
        if (n == 0) return kErrWriteFault;
        done += static_cast<size_t>(n);
    }
    if (offset + buf.size() > size_) size_ = offset + buf.size();
    return kSuccess;
}

ErrorCode MemoryDevice::readAt(uint64_t offset, MutableByteSpan buf) {
    if (offset > bytes_.size() || bytes_.size() - offset < buf.size()) return kErrHandleEof;
    if (!buf.empty()) std::memcpy(buf.data(), bytes_.data() + offset, buf.size());
    return kSuccess;
}

ErrorCode MemoryDevice::writeAt(uint64_t offset, ByteSpan buf) {
    if (!write_) return kErrAccessDenied;
    if (offset > bytes_.size() || bytes_.size() - offset < buf.size()) return kErrHandleEof;
    if (!buf.empty()) std::memcpy(bytes_.data() + offset, buf.data(), buf.size());
    return kSuccess;
}

SliceDevice::SliceDevice(DevicePtr base, uint64_t start, uint64_t length)
    : base_(std::move(base)), start_(start), length_(length) {
    // Never let a slice reach past its device, whatever the table claimed.
    uint64_t baseSize = base_->size();
    if (start_ > baseSize) start_ = baseSize;
    if (length_ > baseSize - start_) length_ = baseSize - start_;
}

ErrorCode SliceDevice::readAt(uint64_t offset, MutableByteSpan buf) {
    if (offset > length_ || length_ - offset < buf.size()) return kErrHandleEof;
    return base_->readAt(start_ + offset, buf);
}

ErrorCode SliceDevice::writeAt(uint64_t offset, ByteSpan buf) {
    if (offset > length_ || length_ - offset < buf.size()) return kErrHandleEof;
    return base_->writeAt(start_ + offset, buf);
}

}  // namespace vantor
