// EXT3 deleted-file scan (journal engine) plus recovery of every deleted
// file, against a plain sequential read of the same image in the same run.
//   ext_scan_bench <workdir>
// The image (512 MiB, 4 KiB blocks) is made by mke2fs and filled through the
// kernel (mount -o loop, so root is needed; without it the bench says so and
// passes): 4,000 files of 1-12 KiB in 20 folders next to 200 MiB of live
// data, synced, the 20 folders removed with rm -r, unmounted.
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
#include "ext/ext_page_model.h"
#include "ext/ext_writer.h"

using namespace vantor;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kFolders = 20;
constexpr uint32_t kFilesPerFolder = 200;
constexpr uint32_t kFiles = kFolders * kFilesPerFolder;

uint32_t FileSize(uint32_t i) { return 1024 + (i * 2654435761u) % (11 * 1024); }

class Quiet : public UserPrompt {
public:
    void message(const std::string& t, const std::string&, MessageIcon) override {
        std::fprintf(stderr, "%s\n", t.substr(0, 400).c_str());
    }
    OverwriteAnswer confirmOverwrite(const std::string&) override { return OverwriteAnswer::YesToAll; }
    bool confirm(const std::string&, const std::string&) override { return true; }
};

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool Run(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }

bool WriteFile(const std::string& path, uint64_t size, uint64_t& seed) {
    std::vector<uint64_t> words(static_cast<size_t>((size + 7) / 8));
    for (auto& w : words) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        w = seed;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, words.data(), size) == static_cast<ssize_t>(size);
    ::close(fd);
    return ok;
}

bool BuildImage(const fs::path& work, const std::string& image) {
    const fs::path mnt = work / "mnt";
    fs::create_directories(mnt);
    if (!Run("truncate -s 512M '" + image + "' && mke2fs -q -F -t ext3 -b 4096 '" + image + "'")) return false;
    if (!Run("mount -o loop '" + image + "' '" + mnt.string() + "'")) return false;
    uint64_t seed = 0x9E3779B97F4A7C15ull;
    bool ok = true;
    for (uint32_t i = 0; ok && i < 4; ++i) ok = WriteFile((mnt / ("live" + std::to_string(i) + ".bin")).string(), 50ull << 20, seed);
    for (uint32_t f = 0; ok && f < kFolders; ++f) {
        const fs::path folder = mnt / ("folder" + std::to_string(f));
        fs::create_directories(folder);
        for (uint32_t k = 0; ok && k < kFilesPerFolder; ++k) {
            const uint32_t i = f * kFilesPerFolder + k;
            ok = WriteFile((folder / ("file" + std::to_string(i) + ".dat")).string(), FileSize(i), seed);
        }
    }
    ok = ok && Run("sync");
    for (uint32_t f = 0; ok && f < kFolders; ++f) fs::remove_all(mnt / ("folder" + std::to_string(f)));
    ok = Run("sync && umount '" + mnt.string() + "'") && ok;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: ext_scan_bench <workdir>\n");
        return 2;
    }
    if (::geteuid() != 0) {
        std::printf("skipped: the image is made with mount -o loop, which needs root\n");
        return 0;
    }
    const fs::path work = fs::path(argv[1]) / "ext-bench";
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string image = (work / "ext3-512m.img").string();
    if (!BuildImage(work, image)) {
        std::fprintf(stderr, "cannot build %s\n", image.c_str());
        return 1;
    }
    std::shared_ptr<FileDevice> dev;
    if (FileDevice::open(image, false, dev) != kSuccess) return 1;

    // The yardstick: the whole image read 1 MiB at a time. The image is
    // read once first so that both sides run from the page cache; then the
    // read and the scan alternate, best of three each, so that a busy
    // machine weighs on both alike.
    std::vector<std::byte> buf(1u << 20);
    uint64_t sum = 0;
    auto readAll = [&]() -> double {
        const auto t0 = std::chrono::steady_clock::now();
        for (uint64_t off = 0; off < dev->size(); off += buf.size()) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), dev->size() - off));
            if (dev->readAt(off, MutableByteSpan(buf).first(n)) != kSuccess) return 1e9;
            sum += static_cast<uint8_t>(buf[n - 1]);
        }
        return Seconds(t0);
    };
    readAll();
    auto vol = OpenExtVolume(dev, 0, dev->size());
    if (!vol->opened()) return 1;
    ProgressFields progress;
    double sequential = 1e9, scan = 1e9;
    std::chrono::steady_clock::time_point t0;
    for (int round = 0; round < 3; ++round) {
        sequential = std::min(sequential, readAll());
        vol->m_bRunning = true;
        t0 = std::chrono::steady_clock::now();
        if (vol->ScanDeleted(progress) != kSuccess) return 1;
        scan = std::min(scan, Seconds(t0));
    }
    uint32_t named = 0;
    for (const auto& r : vol->found()) named += r->folderKnown;

    ExtPageModel model;
    model.build("EXT3", vol->volumeLabel(), vol->found());
    model.checkAll(true);
    Quiet prompt;
    std::atomic<bool> go{true};
    const fs::path out = work / "out";
    t0 = std::chrono::steady_clock::now();
    const ExtRecoveryResult report = RecoverExtFiles(*vol, model.tree(), out.string(), prompt, progress, go);
    const double recovery = Seconds(t0);

    // What the file system alone costs: the same files created by a bare loop.
    const fs::path plain = work / "plain";
    fs::create_directories(plain);
    std::vector<char> payload(1u << 20, 'x');
    t0 = std::chrono::steady_clock::now();
    size_t index = 0;
    for (const auto& r : vol->found()) {
        const std::string path = (plain / ("f" + std::to_string(index++))).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) return 1;
        for (uint64_t left = r->size(); left > 0;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(left, payload.size()));
            if (::write(fd, payload.data(), n) != static_cast<ssize_t>(n)) return 1;
            left -= n;
        }
        ::close(fd);
    }
    const double bareCreate = Seconds(t0);

    const double ratio = (scan + recovery) / sequential;
    std::printf("image %.0f MiB, %u files deleted, %zu found (%u with their folder), %u written, %u failed (checksum %llu)\n",
                static_cast<double>(dev->size()) / 1048576.0, kFiles, vol->found().size(), named, report.written,
                report.failed, static_cast<unsigned long long>(sum % 1000));
    std::printf("sequential read %.3f s, deleted scan %.3f s, recovery %.3f s\n", sequential, scan, recovery);
    std::printf("ratio (scan + recovery) / sequential read = %.2f (target <= 1.5)\n", ratio);
    std::printf("bare loop creating the same files %.3f s: floor of that ratio %.2f, recovery / bare loop %.2f\n",
                bareCreate, (scan + bareCreate) / sequential, recovery / bareCreate);
    fs::remove_all(work);
    return vol->found().size() == kFiles && report.written == kFiles && report.failed == 0 ? 0 : 1;
}
