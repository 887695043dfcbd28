#include "partition/undo_file.h"

#include "partition/backup_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace vantor {

namespace {

constexpr char kMagic[] = "VNTRUNDO";
constexpr size_t kHeader = 32;
constexpr size_t kEntry = 8 + 512 + 512;
constexpr uint64_t kMaxTableBackup = 64ull << 20;

}  // namespace

std::vector<std::byte> SerializeUndo(const UndoFile& u) {
    std::vector<std::byte> out(kHeader + u.writes.size() * kEntry + u.tableBackup.size());
    std::copy_n(reinterpret_cast<const std::byte*>(kMagic), 8, out.begin());
    writeLe32(out, 8, 1);
    writeLe32(out, 12, static_cast<uint32_t>(u.writes.size()));
    writeLe64(out, 16, u.tableBackup.size());
    writeLe64(out, 24, u.deviceBytes);
    size_t off = kHeader;
    for (const auto& w : u.writes) {
        writeLe64(out, off, w.lba);
        std::copy(w.before.begin(), w.before.end(), out.begin() + static_cast<std::ptrdiff_t>(off + 8));
        std::copy(w.after.begin(), w.after.end(), out.begin() + static_cast<std::ptrdiff_t>(off + 520));
        off += kEntry;
    }
    std::copy(u.tableBackup.begin(), u.tableBackup.end(), out.begin() + static_cast<std::ptrdiff_t>(off));
    return out;
}

bool ParseUndo(ByteSpan b, UndoFile& out) {
    if (b.size() < kHeader || !bytesEqual(b, 0, kMagic) || readLe32(b, 8) != 1) return false;
    uint64_t count = readLe32(b, 12), backup = readLe64(b, 16);
    if (count == 0 || count > kMaxUndoSectors || backup > kMaxTableBackup) return false;
    if (b.size() != kHeader + count * kEntry + backup) return false;
    out = UndoFile{};
    out.deviceBytes = readLe64(b, 24);
    size_t off = kHeader;
    for (uint64_t i = 0; i < count; ++i, off += kEntry) {
        SectorWrite w;
        w.lba = readLe64(b, off);
        std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(off + 8), 512, w.before.begin());
        std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(off + 520), 512, w.after.begin());
        out.writes.push_back(w);
    }
    out.tableBackup.assign(b.begin() + static_cast<std::ptrdiff_t>(off), b.end());
    return true;
}

bool WriteUndoFile(const std::string& path, const UndoFile& u) {
    std::vector<std::byte> bytes = SerializeUndo(u);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    // The undo must be on the disk before the first table sector is.
    ok = fsync(fileno(f)) == 0 && ok;
    return std::fclose(f) == 0 && ok;
}

bool ReadUndoFile(const std::string& path, UndoFile& out, std::string& error) {
    std::error_code ec;
    uint64_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        error = "cannot open '" + path + "'";
        return false;
    }
    if (size > kHeader + kMaxUndoSectors * kEntry + kMaxTableBackup) {
        error = "'" + path + "' is not an undo file";
        return false;
    }
    std::vector<std::byte> bytes(size);
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)) ||
        !ParseUndo(bytes, out)) {
        error = "'" + path + "' is not an undo file";
        return false;
    }
    return true;
}

bool ApplyUndo(BlockDevice& dev, const UndoFile& u, std::string& error) {
    if (u.deviceBytes != dev.size()) {
        error = "the undo file belongs to a drive of another size";
        return false;
    }
    for (const auto& w : u.writes) {
        std::array<std::byte, 512> now{};
        if (w.lba >= dev.size() / 512 || dev.readAt(w.lba * 512, now) != kSuccess) {
            error = "cannot read sector " + std::to_string(w.lba);
            return false;
        }
        if (now != w.after) {
            error = "sector " + std::to_string(w.lba) +
                    " no longer holds what the restore wrote; nothing was written";
            return false;
        }
    }
    // Reverse order: the table sectors go back before the boot sector.
    for (auto it = u.writes.rbegin(); it != u.writes.rend(); ++it) {
        if (dev.writeAt(it->lba * 512, it->before) != kSuccess) {
            error = "cannot write sector " + std::to_string(it->lba);
            return false;
        }
    }
    return true;
}

std::string DefaultUndoPath(const PhysicalDriveInfo& d) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    return UserBackupFolder() + "/" + d.model() + "-undo-" + stamp + ".vundo";
}

}  // namespace vantor
