// FAT32 lost-folder scan and the recovery of every file it finds, each
// against a plain sequential read / a plain copy of the same bytes, timed
// in the same run; also where the same files would lie as deleted-file
// records on the nearly full volume (the free-cluster lookup).
//   fat_scan_bench <workdir>
// The image (512 MiB, 4 KiB clusters, written here): 100 folders of 100
// files each (1-40 KiB, contiguous), every other cluster filled with
// pseudo-random bytes. The same 10,000 files are also written as plain files,
// so "copy" is cp -r of exactly the bytes recovery writes.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/user_prompt.h"
#include "fat/fat_scan.h"
#include "fat/fat_writer.h"
#include "platform/byte_order.h"

using namespace vantor;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kSpc = 8;
constexpr uint32_t kCb = kSpc * 512;
constexpr uint64_t kImageBytes = 512ull << 20;
constexpr uint32_t kTotalSectors = static_cast<uint32_t>(kImageBytes / 512);
constexpr uint32_t kRsvd = 32;
constexpr uint32_t kFolders = 100;
constexpr uint32_t kFilesPerFolder = 100;

uint32_t FileSize(uint32_t i) { return 1024 + (i * 2654435761u) % (39 * 1024); }

struct Rng {
    uint64_t x;
    uint64_t next() {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return x;
    }
    void fill(std::byte* p, size_t n) {
        for (size_t i = 0; i + 8 <= n; i += 8) {
            const uint64_t v = next();
            std::memcpy(p + i, &v, 8);
        }
    }
};

class Quiet : public UserPrompt {
public:
    void message(const std::string& t, const std::string&, MessageIcon) override { std::fprintf(stderr, "%s\n", t.c_str()); }
    OverwriteAnswer confirmOverwrite(const std::string&) override { return OverwriteAnswer::YesToAll; }
    bool confirm(const std::string&, const std::string&) override { return true; }
};

void ShortEntry(std::byte* e, const char* name11, uint8_t attr, uint32_t cluster, uint32_t size) {
    MutableByteSpan s(e, 32);
    std::memcpy(e, name11, 11);
    writeU8(s, 11, attr);
    writeLe16(s, 14, 0x6000);
    writeLe16(s, 16, 0x576E);
    writeLe16(s, 18, 0x576E);
    writeLe16(s, 20, static_cast<uint16_t>(cluster >> 16));
    writeLe16(s, 22, 0x6000);
    writeLe16(s, 24, 0x576E);
    writeLe16(s, 26, static_cast<uint16_t>(cluster));
    writeLe32(s, 28, size);
}

bool BuildImage(const std::string& path, const std::string& plainDir, uint64_t& fileBytes) {
    const uint32_t clusters0 = (kTotalSectors - kRsvd) / kSpc;
    const uint32_t fatSectors = (clusters0 + 2) * 4 / 512 + 1;
    const uint64_t dataStart = kRsvd + 2ull * fatSectors;
    const uint32_t lastCluster = static_cast<uint32_t>((kTotalSectors - dataStart) / kSpc + 1);
    std::vector<uint32_t> fat(size_t{lastCluster} + 1, 0);
    fat[0] = 0x0FFFFFF8;
    fat[1] = 0x0FFFFFFF;
    fat[2] = 0x0FFFFFFF;

    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_RDWR, 0644);
    if (fd < 0) return false;
    auto at = [&](uint32_t c) { return (dataStart + uint64_t{kSpc} * (c - 2)) * 512; };

    // Data area: pseudo-random first, then directories and files on top.
    Rng rng{0x9E3779B97F4A7C15ull};
    std::vector<std::byte> chunk(8u << 20);
    for (uint64_t off = dataStart * 512; off < kImageBytes; off += chunk.size()) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), kImageBytes - off));
        rng.fill(chunk.data(), n);
        if (::pwrite(fd, chunk.data(), n, static_cast<off_t>(off)) != static_cast<ssize_t>(n)) return false;
    }
    std::vector<std::byte> root(kCb, std::byte{0});
    uint32_t next = 3;
    fileBytes = 0;
    std::vector<std::byte> dir(kCb), data;
    for (uint32_t f = 0; f < kFolders; ++f) {
        char name[12];
        std::snprintf(name, sizeof(name), "FOLD%04u   ", f);
        const uint32_t dirCluster = next++;
        fat[dirCluster] = 0x0FFFFFFF;
        ShortEntry(root.data() + 32 * f, name, 0x10, dirCluster, 0);
        std::fill(dir.begin(), dir.end(), std::byte{0});
        ShortEntry(dir.data(), ".          ", 0x10, dirCluster, 0);
        ShortEntry(dir.data() + 32, "..         ", 0x10, 0, 0);
        const std::string plainFolder = plainDir + "/" + std::string(name, 8);
        fs::create_directories(plainFolder);
        for (uint32_t k = 0; k < kFilesPerFolder; ++k) {
            const uint32_t i = f * kFilesPerFolder + k;
            const uint32_t size = FileSize(i);
            const uint32_t n = (size + kCb - 1) / kCb;
            const uint32_t first = next;
            for (uint32_t c = 0; c < n; ++c) fat[first + c] = c + 1 < n ? first + c + 1 : 0x0FFFFFFF;
            next += n;
            char fname[12];
            std::snprintf(fname, sizeof(fname), "F%07uDAT", i);
            ShortEntry(dir.data() + 64 + 32 * k, fname, 0x20, first, size);
            data.resize(size_t{n} * kCb);
            rng.fill(data.data(), data.size());
            if (::pwrite(fd, data.data(), data.size(), static_cast<off_t>(at(first))) != static_cast<ssize_t>(data.size()))
                return false;
            // The found name is "F0000001.dat": the extension is lowered.
            char plainName[16];
            std::snprintf(plainName, sizeof(plainName), "F%07u.dat", i);
            const int pf = ::open((plainFolder + "/" + plainName).c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
            if (pf < 0 || ::write(pf, data.data(), size) != static_cast<ssize_t>(size)) return false;
            ::close(pf);
            fileBytes += size;
        }
        if (::pwrite(fd, dir.data(), kCb, static_cast<off_t>(at(dirCluster))) != static_cast<ssize_t>(kCb)) return false;
    }
    if (::pwrite(fd, root.data(), kCb, static_cast<off_t>(at(2))) != static_cast<ssize_t>(kCb)) return false;

    std::vector<std::byte> boot(512, std::byte{0});
    MutableByteSpan b(boot);
    writeU8(b, 0, 0xEB);
    writeU8(b, 1, 0x58);
    writeU8(b, 2, 0x90);
    writeLe16(b, 11, 512);
    writeU8(b, 13, kSpc);
    writeLe16(b, 14, kRsvd);
    writeU8(b, 16, 2);
    writeLe32(b, 32, kTotalSectors);
    writeLe32(b, 36, fatSectors);
    writeLe32(b, 44, 2);
    writeU8(b, 510, 0x55);
    writeU8(b, 511, 0xAA);
    if (::pwrite(fd, boot.data(), 512, 0) != 512) return false;
    std::vector<std::byte> fatBytes(size_t{fatSectors} * 512, std::byte{0});
    for (size_t i = 0; i < fat.size(); ++i) writeLe32(fatBytes, i * 4, fat[i]);
    for (uint64_t copy = 0; copy < 2; ++copy)
        if (::pwrite(fd, fatBytes.data(), fatBytes.size(),
                     static_cast<off_t>((kRsvd + copy * fatSectors) * 512)) != static_cast<ssize_t>(fatBytes.size()))
            return false;
    ::fsync(fd);
    ::close(fd);
    return true;
}

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double SequentialRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<char> buf(4u << 20);
    const auto t0 = std::chrono::steady_clock::now();
    while (::read(fd, buf.data(), buf.size()) > 0) {
    }
    const double s = Seconds(t0);
    ::close(fd);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fat_scan_bench <workdir>\n");
        return 2;
    }
    const fs::path work = fs::path(argv[1]) / "fat-bench";
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string image = (work / "fat32.img").string();
    const std::string plain = (work / "plain").string();
    uint64_t fileBytes = 0;
    if (!BuildImage(image, plain, fileBytes)) {
        std::fprintf(stderr, "fat_scan_bench: cannot build the image\n");
        return 1;
    }

    // Warm the cache for both sides alike, then take the best of three of
    // each, read and scan interleaved, so a busy machine hurts both alike.
    SequentialRead(image);
    double readS = 1e9;
    double scanS = 1e9;

    std::shared_ptr<FileDevice> dev;
    if (FileDevice::open(image, false, dev) != kSuccess) return 1;
    auto vol = OpenFatVolume(dev, 0, 'X', 2);
    if (!vol->opened()) return 1;
    FolderTree tree;
    ProgressFields progress;
    std::atomic<bool> running{true};
    FatScanResult r;
    std::chrono::steady_clock::time_point t0;
    for (int round = 0; round < 3; ++round) {
        readS = std::min(readS, SequentialRead(image));
        t0 = std::chrono::steady_clock::now();
        r = ScanLostFolders(*vol, tree, nullptr, progress, running);
        scanS = std::min(scanS, Seconds(t0));
    }
    if (!r.ok || r.recordsListed != kFolders * kFilesPerFolder) {
        std::fprintf(stderr, "fat_scan_bench: scan found %u files in %u folders\n", r.recordsListed, r.folders);
        return 1;
    }

    // Where deleted-file records would lie: each found file taken as a
    // deleted-scan record whose first cluster a live chain holds, so its rest
    // comes from the free clusters past every file (the nearly full case).
    double locateS = 1e9;
    uint64_t located = 0;
    for (int round = 0; round < 3; ++round) {
        located = 0;
        t0 = std::chrono::steady_clock::now();
        tree.walk([&](FolderNode& n) {
            if (auto* f = n.dataAs<FatFolderFiles>())
                for (auto& x : f->files) {
                    FatFoundFile rec = *x;
                    rec.origin = FatRecordOrigin::DeletedScan;
                    located += LocateFatFileData(*vol, rec).bytes;
                }
            return true;
        });
        locateS = std::min(locateS, Seconds(t0));
    }
    if (located != fileBytes) {
        std::fprintf(stderr, "fat_scan_bench: deleted-file layouts cover %llu of %llu bytes\n",
                     static_cast<unsigned long long>(located), static_cast<unsigned long long>(fileBytes));
        return 1;
    }

    tree.walk([](FolderNode& n) {
        n.checked = true;
        if (auto* f = n.dataAs<FatFolderFiles>())
            for (auto& x : f->files) x->selected = 1;
        return true;
    });
    // Recovery and cp alternate, best of two each: whatever else the machine
    // writes meanwhile then weighs on both alike. Both are timed into the
    // page cache (a sync is machine-wide and would time others' writes).
    Quiet prompt;
    double recoverS = 1e9;
    double copyS = 1e9;
    for (int round = 0; round < 2; ++round) {
        const std::string out = (work / ("recovered" + std::to_string(round))).string();
        const std::string copyTo = (work / ("copy" + std::to_string(round))).string();
        ::sync();
        t0 = std::chrono::steady_clock::now();
        const auto rec = RecoverFatFiles(*vol, tree, out, prompt, progress, running);
        recoverS = std::min(recoverS, Seconds(t0));
        if (rec.written != kFolders * kFilesPerFolder) {
            std::fprintf(stderr, "fat_scan_bench: recovered %u of %u\n", rec.written, rec.total);
            return 1;
        }
        ::sync();
        t0 = std::chrono::steady_clock::now();
        const std::string cmd = "cp -r '" + plain + "' '" + copyTo + "'";
        if (std::system(cmd.c_str()) != 0) return 1;
        copyS = std::min(copyS, Seconds(t0));
        fs::remove_all(out);
        fs::remove_all(copyTo);
    }

    const double mb = static_cast<double>(kImageBytes) / (1 << 20);
    const double fmb = static_cast<double>(fileBytes) / (1 << 20);
    std::printf("image %.0f MiB, %u folders, %u files, %.1f MiB of file data\n", mb, r.folders,
                r.recordsListed, fmb);
    std::printf("sequential read : %7.3f s  %8.1f MiB/s\n", readS, mb / readS);
    std::printf("lost-folder scan: %7.3f s  %8.1f MiB/s  ratio %.2f (target >= 0.70)\n", scanS, mb / scanS,
                readS / scanS);
    std::printf("deleted layouts : %7.3f s  %u files, ratio %.1f of the read\n", locateS, r.recordsListed,
                readS / locateS);
    std::printf("plain copy (cp) : %7.3f s  %8.1f MiB/s\n", copyS, fmb / copyS);
    std::printf("recovery        : %7.3f s  %8.1f MiB/s  ratio %.2f (target >= 0.50)\n", recoverS, fmb / recoverS,
                copyS / recoverS);
    if (!std::getenv("FAT_BENCH_KEEP")) fs::remove_all(work);
    return 0;
}
