// The partition search against a plain sequential read of the unallocated
// space it searches, in the same run, the image's pages dropped from the
// page cache before each pass.
//   partition_search_bench <workdir>
// The image (1 GiB, written here): pseudo-random bytes, an MBR with one
// 1 MiB partition at 2048, and a lost FAT32 boot sector at 512 MiB.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "partition/partition_search.h"
#include "platform/byte_order.h"

using namespace vantor;

namespace {

constexpr uint64_t kImageBytes = 1ull << 30;

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void DropCache(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

bool BuildImage(const std::string& path) {
    int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0) return false;
    std::vector<std::byte> chunk(8u << 20);
    uint64_t x = 0x9E3779B97F4A7C15ull;
    for (uint64_t off = 0; off < kImageBytes; off += chunk.size()) {
        for (size_t i = 0; i + 8 <= chunk.size(); i += 8) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            std::memcpy(chunk.data() + i, &x, 8);
        }
        if (::pwrite(fd, chunk.data(), chunk.size(), static_cast<off_t>(off)) != static_cast<ssize_t>(chunk.size()))
            return false;
    }
    std::vector<std::byte> mbr(512, std::byte{0});
    writeU8(mbr, 446 + 4, 0x83);
    writeLe32(mbr, 446 + 8, 2048);
    writeLe32(mbr, 446 + 12, 2048);
    writeU8(mbr, 510, 0x55);
    writeU8(mbr, 511, 0xAA);
    bool ok = ::pwrite(fd, mbr.data(), 512, 0) == 512;
    // A FAT32 boot sector and the first sector of its FAT, 32 sectors on.
    const uint64_t lost = (512ull << 20) / 512;
    std::vector<std::byte> boot(512, std::byte{0}), fat(512, std::byte{0});
    const uint8_t head[] = {0xEB, 0x58, 0x90, 'm', 'k', 'f', 's', '.', 'f', 'a', 't'};
    std::memcpy(boot.data(), head, sizeof head);
    writeLe16(boot, 11, 512);
    writeU8(boot, 13, 8);
    writeLe16(boot, 14, 32);
    writeU8(boot, 16, 2);
    writeU8(boot, 21, 0xF8);
    writeLe32(boot, 32, 262144);
    writeLe32(boot, 36, 256);
    writeLe32(boot, 44, 2);
    writeLe16(boot, 50, 6);
    std::memcpy(boot.data() + 82, "FAT32   ", 8);
    writeU8(boot, 510, 0x55);
    writeU8(boot, 511, 0xAA);
    writeU8(fat, 0, 0xF8);
    for (size_t i = 1; i < 8; ++i) writeU8(fat, i, 0xFF);
    ok = ok && ::pwrite(fd, boot.data(), 512, static_cast<off_t>(lost * 512)) == 512;
    ok = ok && ::pwrite(fd, fat.data(), 512, static_cast<off_t>((lost + 32) * 512)) == 512;
    return ::close(fd) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: partition_search_bench <workdir>\n");
        return 2;
    }
    const std::string image = std::string(argv[1]) + "/partition-search.img";
    if (!BuildImage(image)) {
        std::fprintf(stderr, "cannot write %s\n", image.c_str());
        return 1;
    }
    std::shared_ptr<FileDevice> dev;
    if (FileDevice::open(image, false, dev) != kSuccess) return 1;

    double readSec = 1e9, searchSec = 1e9;
    uint64_t unallocated = 0, found = 0, read = 0;
    for (int round = 0; round < 2; ++round) {
        DropCache(image);
        auto t0 = std::chrono::steady_clock::now();
        DiskLayout layout;
        ReadDiskLayout(*dev, layout);
        std::vector<std::byte> buf(1u << 20);
        unallocated = 0;
        for (const auto& s : layout.free) {
            for (uint64_t off = s.start * 512; off < s.end * 512; off += buf.size()) {
                size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), s.end * 512 - off));
                if (dev->readAt(off, MutableByteSpan(buf.data(), n)) != kSuccess) return 1;
                unallocated += n;
            }
        }
        readSec = std::min(readSec, Seconds(t0));

        DropCache(image);
        t0 = std::chrono::steady_clock::now();
        SearchResult res = SearchPartitions(*dev, 0);
        searchSec = std::min(searchSec, Seconds(t0));
        if (!res.completed) return 1;
        found = res.found.size();
        read = res.bytesRead;
    }
    std::printf("unallocated %.0f MiB: sequential read %.3f s, search %.3f s (%.2f MiB read, %llu found)\n",
                static_cast<double>(unallocated) / (1 << 20), readSec, searchSec,
                static_cast<double>(read) / (1 << 20), static_cast<unsigned long long>(found));
    std::printf("ratio search / sequential read: %.3f (target <= 0.5)\n", searchSec / readSec);
    std::remove(image.c_str());
    return found == 1 && searchSec / readSec <= 0.5 ? 0 : 1;
}
