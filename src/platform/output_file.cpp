#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vantor {

OutputFile::~OutputFile() { close(); }

ErrorCode OutputFile::create(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd_ < 0 ? ErrorFromErrno(errno) : kSuccess;
}

ErrorCode OutputFile::write(ByteSpan bytes) {
    if (fd_ < 0) return kErrInvalidHandle;
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ErrorFromErrno(errno);
        }
        done += static_cast<size_t>(n);
    }
    return kSuccess;
}

ErrorCode OutputFile::close() {
    if (fd_ < 0) return kSuccess;
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0 ? kSuccess : ErrorFromErrno(errno);
}

bool FileExistsForReading(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

ErrorCode CreateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0) return kSuccess;
    if (errno == EEXIST) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return kSuccess;
        return kErrAlreadyExists;
    }
    return ErrorFromErrno(errno);
}

ErrorCode CreateFolderPath(const std::string& path) {
    if (path.empty()) return kErrPathNotFound;
    for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
        ErrorCode rc = CreateFolder(path.substr(0, pos));
        if (rc != kSuccess) return rc;
    }
    return CreateFolder(path);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string SafeFileName(const std::string& name) {
    std::string s;
    for (char c : name) s.push_back(c == '/' || c == '\0' ? '_' : c);
    if (s.empty() || s == "." || s == "..") s = "_" + s;
    return s;
}

bool SameFileSystemDevice(const std::string& path, const std::string& devicePath) {
    struct stat dst {}, dev {};
    if (::stat(path.c_str(), &dst) != 0 || ::stat(devicePath.c_str(), &dev) != 0) return false;
    // A block device is identified by the device it is (st_rdev); an image
    // file by the file system it lives on is not the scanned volume itself.
    if (S_ISBLK(dev.st_mode)) return dst.st_dev == dev.st_rdev;
    return false;
}

}  // namespace vantor
