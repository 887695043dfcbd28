// The raw carving scan (format ends on, the shipped rp.dat) over a 1 GiB
// image of random data with 512 files spread through it (PNG, JPEG, ZIP,
// BMP, WAV, made here), against a plain sequential read of the same image
// in the same run.
//   raw_carve_bench <workdir>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/crc32.h"
#include "raw/raw_scanner.h"

using namespace vantor;

namespace {

constexpr uint64_t kImage = 1ull << 30;
constexpr int kFiles = 512;

struct Rng {
    uint64_t x;
    uint64_t next() {
        uint64_t z = (x += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};

using Bytes = std::vector<uint8_t>;
void Be32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}
void Le32(Bytes& b, uint32_t v) {
    for (int s = 0; s < 32; s += 8) b.push_back(static_cast<uint8_t>(v >> s));
}
void Le16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Random(Bytes& b, Rng& r, size_t n, bool noFF = false) {
    for (size_t i = 0; i < n; ++i) {
        uint8_t c = static_cast<uint8_t>(r.next());
        if (noFF && c == 0xFF) c = 0xFE;
        b.push_back(c);
    }
}

void PngChunk(Bytes& b, const char* type, const Bytes& data) {
    Be32(b, static_cast<uint32_t>(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    b.insert(b.end(), body.begin(), body.end());
    Be32(b, Crc32(ByteSpan(reinterpret_cast<const std::byte*>(body.data()), body.size())));
}

Bytes MakeFile(int kind, Rng& r) {
    const size_t n = 20000 + r.next() % 400000;
    Bytes b;
    switch (kind) {
        case 0: {  // PNG
            const uint8_t sig[] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
            b.assign(sig, sig + 8);
            PngChunk(b, "IHDR", {0, 0, 1, 0, 0, 0, 1, 0, 8, 2, 0, 0, 0});
            Bytes idat;
            Random(idat, r, n);
            PngChunk(b, "IDAT", idat);
            PngChunk(b, "IEND", {});
            break;
        }
        case 1: {  // JPEG: APP0, a frame, a scan, EOI
            b = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
            const uint8_t sof[] = {0xFF, 0xC0, 0, 11, 8, 1, 0, 1, 0, 1, 1, 0x11, 0};
            b.insert(b.end(), sof, sof + sizeof sof);
            const uint8_t sos[] = {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0};
            b.insert(b.end(), sos, sos + sizeof sos);
            Random(b, r, n, true);
            b.push_back(0xFF);
            b.push_back(0xD9);
            break;
        }
        case 2: {  // ZIP: one stored member
            Bytes data;
            Random(data, r, n);
            const char* name = "data.bin";
            b = {'P', 'K', 3, 4};
            Le16(b, 10); Le16(b, 0); Le16(b, 0); Le16(b, 0); Le16(b, 0);
            Le32(b, 0); Le32(b, static_cast<uint32_t>(n)); Le32(b, static_cast<uint32_t>(n));
            Le16(b, 8); Le16(b, 0);
            b.insert(b.end(), name, name + 8);
            b.insert(b.end(), data.begin(), data.end());
            const uint32_t cd = static_cast<uint32_t>(b.size());
            const uint8_t c[] = {'P', 'K', 1, 2};
            b.insert(b.end(), c, c + 4);
            Le16(b, 20); Le16(b, 10); Le16(b, 0); Le16(b, 0); Le16(b, 0); Le16(b, 0);
            Le32(b, 0); Le32(b, static_cast<uint32_t>(n)); Le32(b, static_cast<uint32_t>(n));
            Le16(b, 8); Le16(b, 0); Le16(b, 0); Le16(b, 0); Le16(b, 0); Le32(b, 0); Le32(b, 0);
            b.insert(b.end(), name, name + 8);
            const uint32_t cdSize = static_cast<uint32_t>(b.size()) - cd;
            const uint8_t e[] = {'P', 'K', 5, 6};
            b.insert(b.end(), e, e + 4);
            Le16(b, 0); Le16(b, 0); Le16(b, 1); Le16(b, 1); Le32(b, cdSize); Le32(b, cd); Le16(b, 0);
            break;
        }
        case 3: {  // BMP
            b = {'B', 'M'};
            Le32(b, static_cast<uint32_t>(54 + n)); Le32(b, 0); Le32(b, 54); Le32(b, 40);
            Le32(b, 1); Le32(b, 1); Le16(b, 1); Le16(b, 24);
            for (int i = 0; i < 6; ++i) Le32(b, 0);
            Random(b, r, n);
            break;
        }
        default: {  // WAV
            b = {'R', 'I', 'F', 'F'};
            Le32(b, static_cast<uint32_t>(36 + n));
            const char* w = "WAVEfmt ";
            b.insert(b.end(), w, w + 8);
            Le32(b, 16); Le16(b, 1); Le16(b, 1); Le32(b, 22050); Le32(b, 44100); Le16(b, 2); Le16(b, 16);
            const char* d = "data";
            b.insert(b.end(), d, d + 4);
            Le32(b, static_cast<uint32_t>(n));
            Random(b, r, n);
            break;
        }
    }
    return b;
}

bool BuildImage(const std::string& path) {
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0) return false;
    Rng r{20261210};
    const uint64_t slot = kImage / kFiles;
    std::vector<uint8_t> buf(slot);
    for (int f = 0; f < kFiles; ++f) {
        for (size_t i = 0; i + 8 <= buf.size(); i += 8) {
            const uint64_t v = r.next();
            std::memcpy(&buf[i], &v, 8);
        }
        const Bytes file = MakeFile(f % 5, r);
        const size_t at = (r.next() % (slot - file.size() - 4096)) / 512 * 512;
        std::memcpy(&buf[at], file.data(), file.size());
        if (::pwrite(fd, buf.data(), buf.size(), static_cast<off_t>(uint64_t{static_cast<uint64_t>(f)} * slot)) !=
            static_cast<ssize_t>(buf.size()))
            return false;
    }
    return ::close(fd) == 0;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double SequentialRead(const std::string& path) {
    const auto t0 = std::chrono::steady_clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<char> buf(2 << 20);
    uint64_t sum = 0;
    for (off_t at = 0;; at += static_cast<off_t>(buf.size())) {
        const ssize_t n = ::pread(fd, buf.data(), buf.size(), at);
        if (n <= 0) break;
        sum += static_cast<uint8_t>(buf[0]);
    }
    ::close(fd);
    const double s = Seconds(std::chrono::steady_clock::now() - t0);
    if (sum == 1) std::printf(" ");
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: raw_carve_bench <workdir>\n");
        return 2;
    }
    const std::string image = std::string(argv[1]) + "/raw-carve.img";
    if (!BuildImage(image)) {
        std::fprintf(stderr, "cannot build %s\n", image.c_str());
        return 1;
    }
    RawSignatureTable table;
    std::string error;
    if (!LoadSignatures(VANTOR_RP_DAT, table, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::shared_ptr<FileDevice> dev;
    if (FileDevice::open(image, false, dev) != kSuccess) return 1;
    double seq = SequentialRead(image);
    CRawScanner scanner;
    scanner.Attach(dev);
    scanner.SetPartitionStart(0, 512);
    scanner.SetScanRange(0, kImage / 512);
    scanner.SetTable(&table);
    ProgressFields progress;
    const auto t0 = std::chrono::steady_clock::now();
    scanner.Scan(progress);
    const double carve = Seconds(std::chrono::steady_clock::now() - t0);
    seq = std::min(seq, SequentialRead(image));
    size_t formatEnded = 0;
    for (const auto& it : scanner.items()) formatEnded += it->cut == RawCut::FormatEnd;
    std::printf("raw carve of 1 GiB: %zu files (%zu cut at their format's end, %d placed), %.2f s; sequential read %.2f s; ratio %.2f\n",
                scanner.items().size(), formatEnded, kFiles, carve, seq, carve / seq);
    std::remove(image.c_str());
    return 0;
}
