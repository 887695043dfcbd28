// exFAT deleted-file scan plus recovery of every deleted file, against a
// plain sequential read of the same image in the same run.
//   exfat_scan_bench <workdir>
// The image: mkfs.exfat (4 KiB clusters), 40 folders of 500 files each
// (600 B to 40 KiB, contiguous), every fifth file deleted (4,000), the
// entry sets and the allocation bitmap written here.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "disk/exfat_layout.h"
#include "exfat/exfat_dirent.h"
#include "exfat/exfat_writer.h"

using namespace vantor;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kImageBytes = 768ull << 20;
constexpr uint32_t kFolders = 40;
constexpr uint32_t kPerFolder = 500;
constexpr uint32_t kFiles = kFolders * kPerFolder;

uint32_t FileSize(uint32_t i) { return 600 + (i * 2654435761u) % 40000; }

// A file entry, a stream extension and one name entry (names up to 15 units).
std::vector<std::byte> EntrySet(const std::string& name, uint16_t attr, uint32_t first, uint64_t length, bool deleted) {
    std::vector<std::byte> e(96);
    writeU8(e, 0, 0x85);
    writeU8(e, 1, 2);
    writeLe16(e, 4, attr);
    for (size_t at : {8, 12, 16}) writeLe32(e, at, 0x576EB28A);
    writeU8(e, 32, 0xC0);
    writeU8(e, 33, 3);  // allocation possible, no FAT chain
    writeU8(e, 35, static_cast<uint8_t>(name.size()));
    writeLe64(e, 40, length);
    writeLe32(e, 52, first);
    writeLe64(e, 56, length);
    writeU8(e, 64, 0xC1);
    for (size_t i = 0; i < name.size(); ++i) writeLe16(e, 66 + 2 * i, static_cast<uint8_t>(name[i]));
    writeLe16(e, 2, ExfatSetChecksum(e));
    if (deleted)
        for (size_t i = 0; i < e.size(); i += 32) e[i] &= std::byte{0x7F};
    return e;
}

bool BuildImage(const std::string& path) {
    {
        const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(kImageBytes)) != 0) return false;
        ::close(fd);
    }
    const std::string cmd = "PATH=$PATH:/sbin:/usr/sbin mkfs.exfat -c 4K -L BENCH '" + path + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "mkfs.exfat (exfatprogs) is needed\n");
        return false;
    }
    std::shared_ptr<FileDevice> dev;
    if (FileDevice::open(path, true, dev) != kSuccess) return false;
    std::vector<std::byte> sector(512);
    if (dev->readAt(0, sector) != kSuccess) return false;
    const auto boot = DecodeExfatBoot(sector);
    const auto root = boot ? ReadExfatRootInfo(*dev, 0, *boot) : std::nullopt;
    if (!root) return false;
    const uint64_t cb = boot->clusterBytes();
    std::vector<std::byte> bitmap((boot->clusterCount + 7) / 8);
    if (dev->readAt(boot->clusterOffset(root->bitmapCluster), bitmap) != kSuccess) return false;
    const auto allocate = [&](uint32_t first, uint64_t count) {
        for (uint64_t c = first; c < first + count; ++c) bitmap[(c - 2) / 8] |= std::byte(1u << ((c - 2) % 8));
    };
    // The root keeps its special entries; folders follow them.
    std::vector<std::byte> rootDir(static_cast<size_t>(cb));
    if (dev->readAt(boot->clusterOffset(boot->rootCluster), rootDir) != kSuccess) return false;
    size_t rootAt = 0;
    while (rootAt < rootDir.size() && readU8(rootDir, rootAt) != 0) rootAt += 32;
    uint32_t next = boot->rootCluster + 1;
    const uint64_t dirBytes = (uint64_t{kPerFolder} * 96 + cb - 1) / cb * cb;
    std::vector<std::byte> run;
    uint64_t runAt = boot->clusterOffset(next);
    const auto flush = [&](bool force) {
        if (run.size() < (8u << 20) && !force) return true;
        const bool ok = dev->writeAt(runAt, run) == kSuccess;
        runAt += run.size();
        run.clear();
        return ok;
    };
    for (uint32_t f = 0; f < kFolders; ++f) {
        const uint32_t dirCluster = next;
        next += static_cast<uint32_t>(dirBytes / cb);
        allocate(dirCluster, dirBytes / cb);
        const auto set = EntrySet("folder" + std::to_string(f), 0x10, dirCluster, dirBytes, false);
        std::copy(set.begin(), set.end(), rootDir.begin() + static_cast<std::ptrdiff_t>(rootAt));
        rootAt += set.size();
        std::vector<std::byte> dir(static_cast<size_t>(dirBytes));
        std::vector<std::vector<std::byte>> contents;
        for (uint32_t k = 0; k < kPerFolder; ++k) {
            const uint32_t i = f * kPerFolder + k;
            const uint32_t size = FileSize(i);
            const uint64_t clusters = (size + cb - 1) / cb;
            const bool deleted = i % 5 == 0;
            if (!deleted) allocate(next, clusters);
            const auto fileSet = EntrySet("file" + std::to_string(i) + ".dat", 0x20, next, size, deleted);
            std::copy(fileSet.begin(), fileSet.end(), dir.begin() + static_cast<std::ptrdiff_t>(k * 96));
            std::vector<std::byte> content(static_cast<size_t>(clusters * cb));
            for (size_t b = 0; b < content.size(); ++b) content[b] = std::byte((b * 131 + i) & 0xFF);
            contents.push_back(std::move(content));
            next += static_cast<uint32_t>(clusters);
        }
        run.insert(run.end(), dir.begin(), dir.end());
        for (const auto& c : contents) run.insert(run.end(), c.begin(), c.end());
        if (!flush(false)) return false;
    }
    if (!flush(true) || next > boot->lastCluster()) return false;
    return dev->writeAt(boot->clusterOffset(boot->rootCluster), rootDir) == kSuccess &&
           dev->writeAt(boot->clusterOffset(root->bitmapCluster), bitmap) == kSuccess;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

class Quiet : public UserPrompt {
public:
    void message(const std::string& text, const std::string&, MessageIcon) override {
        std::fprintf(stderr, "%s", text.substr(0, 400).c_str());
    }
    OverwriteAnswer confirmOverwrite(const std::string&) override { return OverwriteAnswer::YesToAll; }
    bool confirm(const std::string&, const std::string&) override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: exfat_scan_bench <workdir>\n");
        return 2;
    }
    const fs::path work = fs::path(argv[1]) / "exfat-bench";
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string image = (work / "exfat-20k.img").string();
    if (!BuildImage(image)) {
        std::fprintf(stderr, "cannot build %s\n", image.c_str());
        return 1;
    }
    std::shared_ptr<FileDevice> dev;
    if (FileDevice::open(image, false, dev) != kSuccess) return 1;

    // The yardstick: the whole image read once, 1 MiB at a time.
    auto t0 = std::chrono::steady_clock::now();
    std::vector<std::byte> buf(1u << 20);
    uint64_t sum = 0;
    for (uint64_t off = 0; off < dev->size(); off += buf.size()) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), dev->size() - off));
        if (dev->readAt(off, MutableByteSpan(buf).first(n)) != kSuccess) return 1;
        sum += static_cast<uint8_t>(buf[n - 1]);
    }
    const double sequential = Seconds(std::chrono::steady_clock::now() - t0);

    t0 = std::chrono::steady_clock::now();
    CExfatVolume volume(dev, 0, 0);
    if (!volume.opened()) return 1;
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> go{true};
    const ExfatScanResult found = ScanExfatDeleted(volume, tree, nullptr, progress, go, 'C');
    const double scan = Seconds(std::chrono::steady_clock::now() - t0);

    tree.walk([](FolderNode& n) {
        n.checked = true;
        if (auto* files = n.dataAs<ExfatFolderFiles>())
            for (auto& f : files->files) f->selected = 1;
        return true;
    });
    Quiet prompt;
    const fs::path out = work / "out";
    fs::create_directories(out);
    t0 = std::chrono::steady_clock::now();
    const ExfatRecoveryResult r = RecoverExfatFiles(volume, tree, out.string(), prompt, progress, go);
    const double recovery = Seconds(std::chrono::steady_clock::now() - t0);

    // What the destination's file system alone costs: the same files created
    // and written by a bare loop.
    const fs::path plain = work / "plain";
    fs::create_directories(plain);
    std::vector<char> payload(64 * 1024, 'x');
    t0 = std::chrono::steady_clock::now();
    for (uint32_t i = 0; i < kFiles; i += 5) {
        const std::string path = (plain / ("f" + std::to_string(i))).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, payload.data(), FileSize(i)) != static_cast<ssize_t>(FileSize(i))) return 1;
        ::close(fd);
    }
    const double bare = Seconds(std::chrono::steady_clock::now() - t0);

    const double ratio = (scan + recovery) / sequential;
    std::printf("image %.0f MiB, %u files, %u deleted found, %u written, %u failed (checksum %llu)\n",
                static_cast<double>(dev->size()) / 1048576.0, kFiles, found.files, r.written, r.failed,
                static_cast<unsigned long long>(sum % 1000));
    std::printf("sequential read %.3f s, deleted scan %.3f s, recovery %.3f s\n", sequential, scan, recovery);
    std::printf("ratio (scan + recovery) / sequential read = %.2f (target <= 1.5)\n", ratio);
    std::printf("bare loop creating the same files %.3f s: floor of that ratio %.2f, recovery / bare loop %.2f\n", bare,
                (scan + bare) / sequential, recovery / bare);
    fs::remove_all(work);
    return found.files == kFiles / 5 && r.written == kFiles / 5 && r.failed == 0 ? 0 : 1;
}
