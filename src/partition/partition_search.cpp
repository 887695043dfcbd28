#include "partition/partition_search.h"

#include <algorithm>
#include <map>

#include "disk/partition_table.h"
#include "platform/device_table.h"

namespace vantor {

namespace {

constexpr uint64_t kSector = 512;
constexpr uint64_t kMiB = 2048;
constexpr uint64_t kCylinder = 255 * 63;
// A probe reads the sector before it (an NTFS backup) to 8 after (FAT32's backup at 6).
constexpr uint64_t kProbeBefore = 1;
constexpr uint64_t kProbeAfter = 8;
// Probes closer than this share one read; no read exceeds kMaxRead.
constexpr uint64_t kMergeGap = 8;
constexpr uint64_t kMaxRead = 2048;

// Serves the current read window from memory, anything else from the device.
class WindowSource final : public SectorSource {
public:
    WindowSource(BlockDevice& dev) : dev_(dev), sectors_(dev.size() / kSector) {}
    uint64_t sectorCount() const override { return sectors_; }
    bool read(uint64_t lba, uint32_t count, std::byte* out) override {
        if (lba >= sectors_ || count > sectors_ - lba) return false;
        if (lba >= base_ && lba + count <= base_ + buf_.size() / kSector) {
            std::copy_n(buf_.begin() + static_cast<std::ptrdiff_t>((lba - base_) * kSector), count * kSector, out);
            return true;
        }
        bytesRead_ += count * kSector;
        return dev_.readAt(lba * kSector, MutableByteSpan(out, count * kSector)) == kSuccess;
    }
    ErrorCode load(uint64_t lba, uint64_t count) {
        buf_.resize(count * kSector);
        base_ = lba;
        bytesRead_ += buf_.size();
        ErrorCode rc = dev_.readAt(lba * kSector, MutableByteSpan(buf_.data(), buf_.size()));
        if (rc != kSuccess) buf_.clear();
        return rc;
    }
    uint64_t bytesRead() const { return bytesRead_; }

private:
    BlockDevice& dev_;
    uint64_t sectors_;
    uint64_t base_ = 0;
    std::vector<std::byte> buf_;
    uint64_t bytesRead_ = 0;
};

PartitionRecord GapOf(uint64_t start, uint64_t end, const FreeStretch& s, uint32_t extBase, int driveIndex) {
    PartitionRecord r;
    r.diskIndex = driveIndex;
    r.slotKind = s.logical ? 2 : 1;
    r.tableSector = static_cast<uint32_t>(start);
    r.extendedBase = s.logical ? extBase : 0;
    r.setFileSystem("Deleted");
    r.setLabel("Unknown");
    r.startSector = static_cast<uint32_t>(start);
    r.sectorsPerCluster = 8;
    r.bytesPerSector = 512;
    r.totalBytes = (end - start) * kSector;
    r.freeBytes = r.totalBytes;
    return r;
}

}  // namespace

uint8_t TypeByteFor(const std::string& fs, bool logical) {
    if (fs == "FAT32") return logical ? 0x0B : 0x0C;
    if (fs == "FAT16" || fs == "FAT") return 0x06;
    if (fs == "FAT12") return 0x01;
    if (fs == "NTFS" || fs == "exFAT") return 0x07;
    if (fs == "EXT2" || fs == "EXT3" || fs == "EXT4") return 0x83;
    return 0;
}

std::vector<uint64_t> ProbePositions(const FreeStretch& s) {
    std::vector<uint64_t> out;
    auto add = [&](uint64_t p) {
        if (p >= s.start && p <= s.end) out.push_back(p);
    };
    add(s.start);
    add(s.start + 63);
    for (uint64_t step : {kMiB, kCylinder}) {
        for (uint64_t p = (s.start + step - 1) / step * step; p <= s.end; p += step) {
            add(p);
            add(p + 63);
        }
    }
    // The stretch's end closes a volume whose backup boot sector is its last sector.
    add(s.end);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::vector<Candidate> SelectCandidates(std::vector<Candidate> cands, const FreeStretch& s) {
    std::vector<Candidate> inside;
    for (auto& c : cands) {
        if (c.start < s.start || c.start >= s.end || c.sectors == 0) continue;
        c.sectors = std::min(c.sectors, s.end - c.start);
        inside.push_back(std::move(c));
    }
    std::stable_sort(inside.begin(), inside.end(), [](const Candidate& a, const Candidate& b) {
        if (a.sectors != b.sectors) return a.sectors > b.sectors;
        if (a.fromBackup != b.fromBackup) return !a.fromBackup;
        return a.start < b.start;
    });
    std::vector<Candidate> taken;
    for (auto& c : inside) {
        bool overlaps = std::any_of(taken.begin(), taken.end(), [&](const Candidate& t) {
            return c.start < t.start + t.sectors && t.start < c.start + c.sectors;
        });
        if (!overlaps) taken.push_back(std::move(c));
    }
    std::sort(taken.begin(), taken.end(), [](const Candidate& a, const Candidate& b) { return a.start < b.start; });
    return taken;
}

PartitionRecord FoundRecord(const Candidate& c, const FreeStretch& s, uint32_t extBase, int driveIndex) {
    PartitionRecord r = GapOf(c.start, c.start + c.sectors, s, extBase, driveIndex);
    r.setFileSystem(c.fileSystem);
    r.partitionType = TypeByteFor(c.fileSystem, s.logical);
    std::copy(c.bootSector.begin(), c.bootSector.end(), reinterpret_cast<std::byte*>(r.bootSector));
    return r;
}

SearchResult SearchPartitions(BlockDevice& dev, int driveIndex, const SearchControl& control) {
    SearchResult res;
    if (!ReadDiskLayout(dev, res.layout)) {
        res.error = kErrReadFault;
        return res;
    }
    const auto& stretches = res.layout.free;
    std::vector<std::pair<uint64_t, size_t>> probes;  // position, stretch
    for (size_t i = 0; i < stretches.size(); ++i)
        for (uint64_t p : ProbePositions(stretches[i])) probes.emplace_back(p, i);
    std::sort(probes.begin(), probes.end());
    res.probes = probes.size();

    struct Window {
        uint64_t start, end;
        size_t first, last;  // probe indices [first, last)
    };
    const uint64_t n = res.layout.sectors;
    std::vector<Window> windows;
    for (size_t i = 0; i < probes.size(); ++i) {
        uint64_t a = probes[i].first >= kProbeBefore ? probes[i].first - kProbeBefore : 0;
        uint64_t b = std::min(probes[i].first + kProbeAfter, n);
        if (a >= b) continue;
        if (!windows.empty() && a <= windows.back().end + kMergeGap && b - windows.back().start <= kMaxRead) {
            windows.back().end = std::max(windows.back().end, b);
            windows.back().last = i + 1;
        } else {
            windows.push_back({a, b, i, i + 1});
        }
    }

    if (control.progress) {
        control.progress->m_nProgressTotal = static_cast<uint32_t>(std::min<size_t>(windows.size(), 0xFFFFFFFFu));
        control.progress->m_nProgressPos = 0;
    }
    WindowSource src(dev);
    std::vector<std::vector<Candidate>> perStretch(stretches.size());
    for (size_t w = 0; w < windows.size(); ++w) {
        if (control.cancel && control.cancel->load()) {
            res.cancelled = true;
            return res;
        }
        const Window& win = windows[w];
        if (ErrorCode rc = src.load(win.start, win.end - win.start); rc != kSuccess) {
            res.error = rc;
            return res;
        }
        for (size_t i = win.first; i < win.last; ++i)
            for (auto& c : ProbeAt(src, probes[i].first)) perStretch[probes[i].second].push_back(std::move(c));
        if (control.progress) {
            control.progress->m_nProgressPos = static_cast<uint32_t>(w + 1);
            if (w % 256 == 0) control.progress->setText("Searching sector " + std::to_string(win.start));
        }
    }
    res.bytesRead = src.bytesRead();

    // The table's own records (named as the table walk names them) stay.
    PartitionList walked;
    ReadPartitionTable(dev, dev.size(), driveIndex, walked);
    for (const auto& r : walked.records())
        if (!r.isGap()) res.records.push_back(r);
    for (size_t i = 0; i < stretches.size(); ++i) {
        const FreeStretch& s = stretches[i];
        if (s.start > 0xFFFFFFFFu) continue;
        uint64_t cursor = s.start;
        for (const Candidate& c : SelectCandidates(std::move(perStretch[i]), s)) {
            if (c.start + c.sectors > 0xFFFFFFFFull + 1) continue;
            if (c.start - cursor >= kMinListedGap) res.records.push_back(GapOf(cursor, c.start, s, res.layout.extStart, driveIndex));
            res.records.push_back(FoundRecord(c, s, res.layout.extStart, driveIndex));
            res.found.push_back(c);
            cursor = c.start + c.sectors;
        }
        uint64_t end = std::min<uint64_t>(s.end, 0xFFFFFFFFu);
        if (end > cursor && end - cursor >= kMinListedGap) res.records.push_back(GapOf(cursor, end, s, res.layout.extStart, driveIndex));
    }
    std::stable_sort(res.records.begin(), res.records.end(),
                     [](const PartitionRecord& a, const PartitionRecord& b) { return a.startSector < b.startSector; });
    std::sort(res.found.begin(), res.found.end(), [](const Candidate& a, const Candidate& b) { return a.start < b.start; });
    res.completed = true;
    return res;
}

SearchResult SearchDrive(int driveIndex, const SearchControl& control) {
    DevicePtr dev;
    ErrorCode rc = DeviceTable::Global().openDrive(driveIndex, Access::Read, dev);
    if (rc != kSuccess) {
        SearchResult res;
        res.error = rc;
        return res;
    }
    return SearchPartitions(*dev, driveIndex, control);
}

}  // namespace vantor
