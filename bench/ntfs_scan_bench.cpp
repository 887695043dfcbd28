// NTFS deleted-file scan plus recovery of every deleted file, against a plain
// sequential read of the same image in the same run.
//   ntfs_scan_bench <workdir>
// The image: 100,000 small files (1-2 clusters of 4 KiB each, in 100
// folders), every fifth one deleted (20,000), and a $Bitmap that says so.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <vector>

#include "../tests/ntfs/ntfs_image_writer.h"
#include "ntfs/ntfs_scan.h"

using namespace vantor;
using namespace vantor::ntfstest;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kCs = 4096;
constexpr uint32_t kRs = 1024;
constexpr uint32_t kFiles = 100000;
constexpr uint32_t kFolders = 100;
constexpr uint32_t kFirstFolder = 30;
constexpr uint32_t kFirstFile = kFirstFolder + kFolders;
constexpr uint32_t kRecords = kFirstFile + kFiles;
constexpr uint64_t kMftLcn = 16;

uint32_t FileSize(uint32_t i) { return 600 + (i * 2654435761u) % 7000; }

class MftBuffer : public BlockDevice {
public:
    explicit MftBuffer(size_t n) : bytes(n) {}
    uint64_t size() const override { return bytes.size(); }
    ErrorCode readAt(uint64_t, MutableByteSpan) override { return kErrNotSupported; }
    ErrorCode writeAt(uint64_t offset, ByteSpan buf) override {
        if (offset + buf.size() > bytes.size()) return kErrHandleEof;
        std::copy(buf.begin(), buf.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
        return kSuccess;
    }
    bool writable() const override { return true; }
    std::vector<std::byte> bytes;
};

bool BuildImage(const std::string& path) {
    const uint64_t mftClusters = (uint64_t{kRecords} * kRs + kCs - 1) / kCs;
    const uint64_t dataLcn = kMftLcn + mftClusters;
    const uint64_t totalClusters = dataLcn + 2ull * kFiles + 16;
    // Boot sector and MFT are built in memory, then written in one go.
    MftBuffer head((kMftLcn + mftClusters) * kCs);
    VolumeWriter w(head, 0, totalClusters * (kCs / 512), kCs, kMftLcn, kRecords, kRs);
    w.writeBoot();
    w.writeSystemRecords();
    for (uint32_t f = 0; f < kFolders; ++f) {
        RecordBuilder b(kRs, kFirstFolder + f, true, true);
        b.standardInfo(0, 0, 0, 0x10).fileName(5, Utf16("folder" + std::to_string(f)), 0x10000010);
        w.writeRecord(kFirstFolder + f, b.build());
    }
    std::vector<std::byte> data;
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0) return false;
    if (::ftruncate(fd, static_cast<off_t>(totalClusters * kCs)) != 0) return false;
    uint64_t lcn = dataLcn;
    std::vector<std::byte> run;
    uint64_t runStart = lcn;
    // $Bitmap: the boot sector and MFT, the live files and the bitmap itself allocated.
    std::vector<std::byte> bitmap((totalClusters + 7) / 8);
    const auto allocate = [&](uint64_t first, uint64_t count) {
        for (uint64_t c = first; c < first + count; ++c) bitmap[c / 8] |= std::byte(1u << (c % 8));
    };
    allocate(0, dataLcn);
    for (uint32_t i = 0; i < kFiles; ++i) {
        const uint32_t size = FileSize(i);
        const uint64_t clusters = (size + kCs - 1) / kCs;
        const bool deleted = i % 5 == 0;
        if (!deleted) allocate(lcn, clusters);
        RecordBuilder b(kRs, kFirstFile + i, !deleted);
        b.standardInfo(0x01D9000000000000ull, 0x01D9000000000000ull, 0, 0x20)
            .fileName(kFirstFolder + i % kFolders, Utf16("file" + std::to_string(i) + ".dat"), 0x20)
            .nonResidentData({{static_cast<int64_t>(lcn), clusters}}, size, kCs);
        w.writeRecord(kFirstFile + i, b.build());
        Bytes content = Pattern(clusters * kCs, i + 1);
        run.insert(run.end(), content.begin(), content.end());
        lcn += clusters;
        if (run.size() >= (8u << 20) || i + 1 == kFiles) {
            if (::pwrite(fd, run.data(), run.size(), static_cast<off_t>(runStart * kCs)) != static_cast<ssize_t>(run.size()))
                return false;
            run.clear();
            runStart = lcn;
        }
    }
    const uint64_t bitmapClusters = (bitmap.size() + kCs - 1) / kCs;
    allocate(lcn, bitmapClusters);
    RecordBuilder bm(kRs, 6, true);
    bm.standardInfo(0, 0, 0, 6).fileName(5, u"$Bitmap", 6, 3).nonResidentData(
        {{static_cast<int64_t>(lcn), bitmapClusters}}, bitmap.size(), kCs);
    w.writeRecord(6, bm.build());
    if (::pwrite(fd, bitmap.data(), bitmap.size(), static_cast<off_t>(lcn * kCs)) != static_cast<ssize_t>(bitmap.size()))
        return false;
    const bool ok = ::pwrite(fd, head.bytes.data(), head.bytes.size(), 0) == static_cast<ssize_t>(head.bytes.size());
    return ::close(fd) == 0 && ok;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

class Counter : public NtfsItemSink {
public:
    void onFoundItem(NtfsFoundItem*, uint32_t) override { ++count; }
    uint32_t count = 0;
};

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
        std::fprintf(stderr, "usage: ntfs_scan_bench <workdir>\n");
        return 2;
    }
    const fs::path work = fs::path(argv[1]) / "ntfs-bench";
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string image = (work / "ntfs-100k.img").string();
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

    CNtfsVolume volume;
    Counter sink;
    ProgressFields progress;
    volume.AttachDevice(dev, image);
    volume.SetPartitionStart(0, 512);
    volume.SetSink(&sink);
    volume.SetProgress(&progress);
    volume.m_bRunning = true;
    t0 = std::chrono::steady_clock::now();
    if (volume.ScanDeletedRecords() != 0) return 1;
    const double scan = Seconds(std::chrono::steady_clock::now() - t0);

    for (const auto& item : volume.foundItems()) volume.AddToSelection(item.get());
    Quiet prompt;
    std::atomic<bool> go{true};
    const fs::path out = work / "out";
    fs::create_directories(out);
    t0 = std::chrono::steady_clock::now();
    const NtfsRecoveryReport report = volume.RecoverSelection(out.string(), prompt, go);
    const double recovery = Seconds(std::chrono::steady_clock::now() - t0);

    // What the file system alone costs: the same number of files of the same
    // sizes created and written by a bare loop, so the writer's own share shows.
    const fs::path plain = work / "plain";
    fs::create_directories(plain);
    std::vector<char> payload(1u << 20, 'x');
    t0 = std::chrono::steady_clock::now();
    size_t index = 0;
    for (const auto& item : volume.foundItems()) {
        const std::string path = (plain / ("f" + std::to_string(index++))).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) return 1;
        for (uint64_t left = item->size; left > 0;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left, payload.size()));
            if (::write(fd, payload.data(), n) != static_cast<ssize_t>(n)) return 1;
            left -= n;
        }
        ::close(fd);
    }
    const double bareCreate = Seconds(std::chrono::steady_clock::now() - t0);

    const double ratio = (scan + recovery) / sequential;
    std::printf("image %.0f MiB, %u files, %u deleted found, %u written, %u failed (checksum %llu)\n",
                static_cast<double>(dev->size()) / 1048576.0, kFiles, sink.count, report.written, report.failed,
                static_cast<unsigned long long>(sum % 1000));
    std::printf("sequential read %.3f s, deleted scan %.3f s, recovery %.3f s\n", sequential, scan, recovery);
    std::printf("ratio (scan + recovery) / sequential read = %.2f (target <= 3)\n", ratio);
    std::printf("bare loop creating the same files %.3f s: floor of that ratio %.2f, recovery / bare loop %.2f\n",
                bareCreate, (scan + bareCreate) / sequential, recovery / bareCreate);
    fs::remove_all(work);
    return sink.count == kFiles / 5 && report.written == kFiles / 5 && report.failed == 0 ? 0 : 1;
}
