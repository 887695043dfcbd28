#include "partition/backup_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace vantor {

namespace fs = std::filesystem;

std::vector<std::byte> SerializeBackup(const PhysicalDriveInfo& drive, const std::vector<PartitionRecord>& records) {
    std::vector<std::byte> out(kBackupHeaderSize + records.size() * PartitionRecord::kSerializedSize);
    writeLe32(out, 0, kBackupMagic);
    auto d = drive.serialize();
    std::copy(d.begin(), d.end(), out.begin() + 4);
    size_t off = kBackupHeaderSize;
    for (const auto& r : records) {
        auto b = r.serialize();
        std::copy(b.begin(), b.end(), out.begin() + static_cast<std::ptrdiff_t>(off));
        off += b.size();
    }
    return out;
}

bool ParseBackup(ByteSpan bytes, BackupContents& out) {
    if (bytes.size() < kBackupHeaderSize || readLe32(bytes, 0) != kBackupMagic) return false;
    out.drive = PhysicalDriveInfo::deserialize(bytes.subspan(4, PhysicalDriveInfo::kSerializedSize));
    out.records.clear();
    for (size_t off = kBackupHeaderSize; bytes.size() - off >= PartitionRecord::kSerializedSize;
         off += PartitionRecord::kSerializedSize)
        out.records.push_back(PartitionRecord::deserialize(bytes.subspan(off, PartitionRecord::kSerializedSize)));
    return true;
}

bool WriteBackupFile(const std::string& path, const PhysicalDriveInfo& drive,
                     const std::vector<PartitionRecord>& records) {
    std::vector<std::byte> bytes = SerializeBackup(drive, records);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fflush(f) == 0) && ok;
    ok = (fsync(fileno(f)) == 0) && ok;
    return (std::fclose(f) == 0) && ok;
}

bool ReadBackupFile(const std::string& path, BackupContents& out, std::string& error) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        error = "cannot open '" + path + "'";
        return false;
    }
    uint64_t size = fs::file_size(path, ec);
    if (ec || size > kMaxBackupBytes) {
        error = ec ? "cannot read '" + path + "'" : "'" + path + "' is too large for a partition backup";
        return false;
    }
    std::vector<std::byte> bytes(size);
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        error = "cannot read '" + path + "'";
        return false;
    }
    if (!ParseBackup(bytes, out)) {
        error = "'" + path + "' is not a partition backup file";
        return false;
    }
    return true;
}

bool BackupBelongsTo(const BackupContents& b, const PhysicalDriveInfo& drive) {
    return std::strncmp(b.drive.modelText, drive.modelText, sizeof drive.modelText) == 0 &&
           b.drive.sizeBytes == drive.sizeBytes;
}

std::vector<PartitionRecord> DriveRecords(const CDiskInventory& inv, uint32_t driveIndex) {
    std::vector<PartitionRecord> out;
    for (const auto& r : inv.partitions())
        if (r.diskIndex == static_cast<int32_t>(driveIndex)) out.push_back(r);
    return out;
}

std::string UserBackupFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (xdg && *xdg == '/') base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.local/share";
    else base = "/tmp";
    return base + "/vantor/backup";
}

std::string ProgramBackupFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return (exe.parent_path() / "backup").string();
}

bool EnsureFolder(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

std::time_t FileCreationTime(const std::string& path) {
#ifdef STATX_BTIME
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) == 0) {
        if (sx.stx_mask & STATX_BTIME) return static_cast<std::time_t>(sx.stx_btime.tv_sec);
        return static_cast<std::time_t>(sx.stx_mtime.tv_sec);
    }
#endif
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return st.st_mtime;
    return 0;
}

std::string BackupTimeText(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, "     %Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

std::vector<BackupListing> ListBackups(const std::string& modelText, const std::vector<std::string>& folders) {
    std::vector<BackupListing> out;
    for (const auto& folder : folders) {
        std::error_code ec;
        if (folder.empty() || !fs::is_directory(folder, ec)) continue;
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder, ec)) {
            std::error_code fec;
            if (!e.is_regular_file(fec)) continue;
            std::string name = e.path().filename().string();
            if (name.size() < 4 || name.compare(name.size() - 4, 4, ".pbf") != 0) continue;
            if (name.compare(0, modelText.size(), modelText) != 0) continue;
            names.push_back(e.path().string());
        }
        std::sort(names.begin(), names.end());
        for (auto& p : names) out.push_back({p, FileCreationTime(p)});
    }
    return out;
}

}  // namespace vantor
