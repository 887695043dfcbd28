#include "platform/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <vector>

namespace vantor {

OutputFile::~OutputFile() { close(); }

ErrorCode OutputFile::create(const std::string& path) {
    close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    holeAtEnd_ = false;
    position_ = 0;
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
    position_ += bytes.size();
    holeAtEnd_ = false;
    return kSuccess;
}

ErrorCode OutputFile::skip(uint64_t n) {
    if (fd_ < 0) return kErrInvalidHandle;
    if (n == 0) return kSuccess;
    if (n > static_cast<uint64_t>(INT64_MAX) - position_) return kErrInvalidParameter;
    if (::lseek(fd_, static_cast<off_t>(n), SEEK_CUR) < 0) return ErrorFromErrno(errno);
    position_ += n;
    holeAtEnd_ = true;
    return kSuccess;
}

ErrorCode OutputFile::close() {
    if (fd_ < 0) return kSuccess;
    // A seek alone does not grow the file: a trailing hole needs its size set.
    ErrorCode err = kSuccess;
    if (holeAtEnd_ && ::ftruncate(fd_, static_cast<off_t>(position_)) != 0) err = ErrorFromErrno(errno);
    holeAtEnd_ = false;
    int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0 && err == kSuccess) err = ErrorFromErrno(errno);
    return err;
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

namespace {

std::optional<std::string> RealPath(const std::string& path) {
    char buf[PATH_MAX];
    if (!::realpath(path.c_str(), buf)) return std::nullopt;
    return std::string(buf);
}

std::optional<std::string> ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

std::optional<uint64_t> ReadNumber(const std::string& path) {
    auto line = ReadLine(path);
    if (!line || line->empty()) return std::nullopt;
    char* end = nullptr;
    unsigned long long v = std::strtoull(line->c_str(), &end, 10);
    if (*end != '\0') return std::nullopt;
    return v;
}

// A stretch of a whole disk, named by the disk's sysfs folder.
struct DiskStretch {
    std::string disk;
    uint64_t start = 0;   // bytes
    uint64_t length = 0;  // bytes
};

// The block device maj:min as a stretch of its whole disk: a partition
// folder holds "partition", "start" and "size" (512-byte sectors) and sits
// inside its disk's folder.
std::optional<DiskStretch> StretchOf(dev_t dev, const std::string& sysRoot) {
    const std::string link =
        sysRoot + "/dev/block/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
    auto dir = RealPath(link);
    if (!dir) return std::nullopt;
    DiskStretch s;
    const uint64_t size = ReadNumber(*dir + "/size").value_or(0);
    s.length = size * 512;
    struct stat st {};
    if (::stat((*dir + "/partition").c_str(), &st) == 0) {
        s.start = ReadNumber(*dir + "/start").value_or(0) * 512;
        s.disk = dir->substr(0, dir->find_last_of('/'));
    } else {
        s.disk = *dir;
    }
    if (s.length == 0) s.length = UINT64_MAX - s.start;
    return s;
}

bool Overlap(uint64_t a, uint64_t la, uint64_t b, uint64_t lb) {
    const uint64_t aEnd = la > UINT64_MAX - a ? UINT64_MAX : a + la;
    const uint64_t bEnd = lb > UINT64_MAX - b ? UINT64_MAX : b + lb;
    return a < bEnd && b < aEnd;
}

// The nearest existing folder of path (a destination may not exist yet).
std::optional<struct stat> StatNearest(std::string path) {
    for (int guard = 0; guard < 4096 && !path.empty(); ++guard) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) return st;
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos) path = ".";
        else if (slash == 0) path = "/";
        else path.resize(slash);
    }
    return std::nullopt;
}

}  // namespace

bool SameFileSystemDevice(const std::string& path, const std::string& devicePath, uint64_t startByte,
                          uint64_t lengthBytes, const std::string& sysRoot) {
    auto dst = StatNearest(path);
    struct stat dev {};
    if (!dst || ::stat(devicePath.c_str(), &dev) != 0) return false;
    if (S_ISBLK(dev.st_mode) && dst->st_dev == dev.st_rdev) return true;
    auto target = StretchOf(dst->st_dev, sysRoot);
    if (!target) return false;
    if (lengthBytes == 0) lengthBytes = 1;

    // The scanned bytes as stretches of whole disks: the block device's disk,
    // or every loop device backed by the image file.
    std::vector<DiskStretch> scanned;
    if (S_ISBLK(dev.st_mode)) {
        auto base = StretchOf(dev.st_rdev, sysRoot);
        if (base) scanned.push_back({base->disk, base->start + startByte, lengthBytes});
    } else if (S_ISREG(dev.st_mode)) {
        auto image = RealPath(devicePath);
        const std::string blockDir = sysRoot + "/block";
        DIR* d = image ? ::opendir(blockDir.c_str()) : nullptr;
        if (d) {
            while (dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                if (name.rfind("loop", 0) != 0) continue;
                auto backing = ReadLine(blockDir + "/" + name + "/loop/backing_file");
                if (!backing || *backing != *image) continue;
                auto disk = RealPath(blockDir + "/" + name);
                if (!disk) continue;
                // The loop device shows the file from its offset on.
                const uint64_t offset = ReadNumber(blockDir + "/" + name + "/loop/offset").value_or(0);
                if (startByte + lengthBytes <= offset) continue;
                const uint64_t from = startByte > offset ? startByte - offset : 0;
                scanned.push_back({*disk, from, startByte + lengthBytes - offset - from});
            }
            ::closedir(d);
        }
    }
    for (const DiskStretch& s : scanned)
        if (s.disk == target->disk && Overlap(s.start, s.length, target->start, target->length)) return true;
    return false;
}

}  // namespace vantor
