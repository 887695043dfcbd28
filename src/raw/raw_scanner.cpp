#include "raw/raw_scanner.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "raw/raw_format_end.h"

namespace vantor {

const char* RawCutName(RawCut cut) {
    switch (cut) {
        case RawCut::NextHeader: return "next header";
        case RawCut::SizeCap: return "size cap";
        case RawCut::RangeEnd: return "range end";
        case RawCut::FormatEnd: return "format end";
    }
    return "";
}

// ---- matcher ----

RawMatcher::RawMatcher(const RawSignatureTable& table, uint32_t sectorSize) : table_(table), ss_(sectorSize) {
    for (size_t r = 0; r < table.rows.size(); ++r) {
        const RawSignature& row = *table.rows[r];
        if (!row.enabled || row.patterns.empty()) continue;
        const RawPattern& p0 = row.patterns[0];
        const size_t at = testPos(p0);
        auto pos = std::find_if(positions_.begin(), positions_.end(), [&](const Position& p) { return p.at == at; });
        if (pos == positions_.end()) {
            positions_.push_back({at, std::vector<std::vector<uint32_t>>(256)});
            pos = positions_.end() - 1;
        }
        bool seen[256] = {};
        for (const RawAlternative& a : p0.alternatives) {
            if (a.never) continue;
            if (!a.bytes.empty()) {
                seen[a.bytes[0]] = true;
            } else if (a.halfByte) {
                for (int lo = 0; lo < 16; ++lo) seen[a.high | lo] = true;
            }
        }
        for (int b = 0; b < 256; ++b)
            if (seen[b]) pos->rowsByByte[static_cast<size_t>(b)].push_back(static_cast<uint32_t>(r));
    }
}

RawSectorMatch RawMatcher::fromRow(size_t r, size_t first, ByteSpan sector, uint64_t back) const {
    const RawSignature& row = *table_.rows[r];
    for (size_t j = first; j < row.patterns.size(); ++j) {
        const RawPattern& p = row.patterns[j];
        if (j > 0 && p.offset >= static_cast<int32_t>(ss_) && j != first) {
            RawSectorMatch m;
            m.kind = RawSectorMatch::Pending;
            m.row = r;
            m.pattern = j;
            m.backOffset = back;
            return m;
        }
        if (!p.matchesAt(sector, testPos(p))) return {};
        back = std::max(back, backOf(p));
    }
    RawSectorMatch m;
    m.kind = RawSectorMatch::Complete;
    m.row = r;
    m.backOffset = back;
    return m;
}

RawSectorMatch RawMatcher::test(ByteSpan sector, const RawSectorMatch& pending) const {
    if (pending.kind == RawSectorMatch::Pending && pending.row < table_.rows.size()) {
        // The pending pattern at byte 0 of this sector, then the row's later ones.
        const RawSectorMatch m = fromRow(pending.row, pending.pattern, sector, 0);
        if (m.kind != RawSectorMatch::None) return m;
    }
    // Candidate rows from each first-pattern position, tried in table order.
    uint32_t cand[64];
    size_t n = 0;
    std::vector<uint32_t> many;
    for (const Position& pos : positions_) {
        if (pos.at >= sector.size()) continue;
        const auto& rows = pos.rowsByByte[static_cast<uint8_t>(sector[pos.at])];
        for (uint32_t r : rows) {
            if (n < 64) cand[n++] = r;
            else many.push_back(r);
        }
    }
    if (!many.empty()) {
        many.insert(many.end(), cand, cand + n);
        std::sort(many.begin(), many.end());
        for (uint32_t r : many) {
            const RawSectorMatch m = fromRow(r, 0, sector, 0);
            if (m.kind != RawSectorMatch::None) return m;
        }
        return {};
    }
    std::sort(cand, cand + n);
    for (size_t i = 0; i < n; ++i) {
        const RawSectorMatch m = fromRow(cand[i], 0, sector, 0);
        if (m.kind != RawSectorMatch::None) return m;
    }
    return {};
}

// ---- scanner ----

struct CRawScanner::Open {
    bool has = false;
    uint64_t start = 0;  // partition byte
    size_t row = 0;
    RawEndKind end = RawEndKind::Unknown;
    uint64_t size = 0;   // Known: where it ends
};

CRawScanner::CRawScanner() = default;
CRawScanner::~CRawScanner() = default;

ErrorCode CRawScanner::OpenDevice(const std::string& name, bool isPhysical) {
    const std::string path = isPhysical ? "\\\\.\\" + name : "\\\\.\\" + name.substr(0, 1) + ":";
    return device_.openName(path, 0);
}

void CRawScanner::Attach(DevicePtr device) { device_.attach(std::move(device), 0); }

void CRawScanner::SetPartitionStart(uint64_t startSector, uint32_t sectorSize) {
    partitionStart_ = startSector;
    if (sectorSize >= 512 && sectorSize <= 65536 && (sectorSize & (sectorSize - 1)) == 0) sectorSize_ = sectorSize;
}

void CRawScanner::SetScanRange(uint64_t first, uint64_t last) {
    rangeFirst_ = first;
    rangeLast_ = last;
}

void CRawScanner::SetMaxSize(uint32_t kilobytes) {
    if (kilobytes != 0) maxFileSizeKB_ = kilobytes;
}

void CRawScanner::SetTable(RawSignatureTable* table) {
    if (table) table_ = table;
}

void CRawScanner::emitFile(const Open& file, uint64_t size, RawCut cut) {
    const RawSignature& row = *table_->rows[file.row];
    auto item = std::make_unique<RawFoundItem>();
    item->name = "File" + std::to_string(items_.size()) + "." + row.extension;
    item->description = row.description;
    item->extension = row.extension;
    item->startSector = file.start / sectorSize_;
    item->size = size;
    item->cut = cut;
    items_.push_back(std::move(item));
}

namespace {

struct Window {
    uint64_t pos = 0;
    std::vector<std::byte> data;
    bool ok = false;
};

// Reads the windows of [start, end) in order on its own thread, at most two
// ahead of the one being tested.
class WindowReader {
public:
    WindowReader(const CSectorDevice& dev, uint64_t base, uint64_t start, uint64_t end, uint64_t window,
                 std::function<bool()> running)
        : dev_(dev), base_(base), start_(start), end_(end), window_(window), running_(std::move(running)) {
        thread_ = std::thread([this] { run(); });
    }
    ~WindowReader() {
        {
            std::lock_guard lock(m_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    // The next window; false after the last.
    bool next(Window& w) {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return !ready_.empty() || done_; });
        if (ready_.empty()) return false;
        if (!w.data.empty()) spare_.push_back(std::move(w.data));
        w = std::move(ready_.front());
        ready_.pop_front();
        cv_.notify_all();
        return true;
    }

private:
    void run() {
        for (uint64_t pos = start_; pos < end_;) {
            Window w;
            {
                std::unique_lock lock(m_);
                cv_.wait(lock, [&] { return ready_.size() < 2 || stop_; });
                if (stop_) break;
                if (!spare_.empty()) {
                    w.data = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            if (!running_()) break;
            w.pos = pos;
            w.data.resize(static_cast<size_t>(std::min(window_, end_ - pos)));
            w.ok = dev_.readBytes(base_ + pos, w.data) == kSuccess;
            pos += w.data.size();
            std::lock_guard lock(m_);
            ready_.push_back(std::move(w));
            cv_.notify_all();
        }
        std::lock_guard lock(m_);
        done_ = true;
        cv_.notify_all();
    }

    const CSectorDevice& dev_;
    uint64_t base_, start_, end_, window_;
    std::function<bool()> running_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<Window> ready_;
    std::vector<std::vector<std::byte>> spare_;
    bool stop_ = false, done_ = false;
    std::thread thread_;
};

}  // namespace

int CRawScanner::Scan(ProgressFields& progress) {
    items_.clear();
    dropped_ = 0;
    loadError_.clear();
    if (!table_) {
        ownTable_ = std::make_unique<RawSignatureTable>();
        table_ = ownTable_.get();
    }
    if (table_->empty() && !LoadSignatures(FindSignatureFile(), *table_, loadError_)) return -1;
    if (!table_->anyEnabled()) {
        loadError_ = "no file type is chosen";
        return -1;
    }
    const uint64_t ss = sectorSize_;
    const uint64_t base = partitionStart_ * ss;
    const uint64_t start = rangeFirst_ * ss;
    uint64_t end = rangeLast_ * ss;
    // Whole sectors that exist: a range past the device's end stops at it.
    const uint64_t devBytes = device_.deviceSize() > base ? (device_.deviceSize() - base) / ss * ss : 0;
    end = std::min(end, devBytes);
    if (start >= end) return 0;
    const uint64_t window = 4000 * ss;
    const uint64_t maxBytes = uint64_t{maxFileSizeKB_} * 1024;
    const bool formatEnds = table_->formatEnds;
    progress.m_nProgressTotal.store(static_cast<uint32_t>((end - start) / window));
    progress.m_nProgressPos.store(0);
    progress.setText("Found Raw Files : 0");

    RawMatcher matcher(*table_, sectorSize_);
    Window cur;
    // The bytes of a file being carved: from the window in hand when they
    // lie in it, else from the device; nothing past the range end.
    auto readerAt = [&](uint64_t fileStart, uint64_t limit) {
        return RawReader(
            [this, &cur, fileStart, end, base](uint64_t off, MutableByteSpan buf) -> size_t {
                const uint64_t p = fileStart + off;
                if (p >= end) return 0;
                const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), end - p));
                if (cur.ok && p >= cur.pos && p + n <= cur.pos + cur.data.size()) {
                    std::memcpy(buf.data(), cur.data.data() + (p - cur.pos), n);
                    return n;
                }
                return device_.readBytes(base + p, buf.first(n)) == kSuccess ? n : 0;
            },
            limit);
    };
    Open open;
    RawSectorMatch pending;
    auto close = [&](uint64_t size, RawCut cut) {
        if (open.end == RawEndKind::Known && open.size <= size) {
            size = open.size;
            cut = RawCut::FormatEnd;
        } else if (open.end == RawEndKind::Trim) {
            RawReader r = readerAt(open.start, size);
            const uint64_t kept = RawTrimEnd(table_->rows[open.row]->extension, r, size);
            if (kept < size) cut = RawCut::FormatEnd;
            size = kept;
        }
        // A back offset may start the next file where this one starts.
        if (size > 0) emitFile(open, size, cut);
        open.has = false;
        progress.setText("Found Raw Files : " + std::to_string(items_.size()));
    };

    WindowReader reader(device_, base, start, end, window, [this] { return running(); });
    while (running() && reader.next(cur)) {
        progress.m_nProgressPos.store(static_cast<uint32_t>((cur.pos - start) / window));
        if (!cur.ok) continue;  // an unreadable window is skipped
        for (size_t off = 0; off + ss <= cur.data.size(); off += ss) {
            const uint64_t s = cur.pos + off;
            if (open.has && open.end == RawEndKind::Known && s >= open.start + open.size)
                close(open.size, RawCut::FormatEnd);
            const ByteSpan sector(cur.data.data() + off, ss);
            RawSectorMatch m = matcher.test(sector, pending);
            pending = {};
            uint64_t fileStart = 0;
            RawFormatEnd fe;
            if (m.kind != RawSectorMatch::None) {
                // Headers inside a file whose extent is known belong to it.
                if (formatEnds && open.has && open.end == RawEndKind::Known) m.kind = RawSectorMatch::None;
                else if (m.backOffset > s) m.kind = RawSectorMatch::None;
            }
            if (m.kind != RawSectorMatch::None) {
                fileStart = s - m.backOffset;
                if (formatEnds) {
                    const uint64_t limit = std::min(maxBytes, end - fileStart);
                    RawReader r = readerAt(fileStart, limit);
                    fe = FindFormatEnd(table_->rows[m.row]->extension, r);
                    if (fe.kind == RawEndKind::Broken) {
                        ++dropped_;
                        m.kind = RawSectorMatch::None;
                    }
                }
            }
            if (m.kind == RawSectorMatch::None) {
                if (open.has && (s - open.start) / 1024 >= maxFileSizeKB_) close(s - open.start, RawCut::SizeCap);
                continue;
            }
            const bool hadOpen = open.has;
            if (hadOpen) {
                // The plain rule cuts at the header's sector; with format ends on,
                // a back offset reaching into the open file cuts it there instead.
                const uint64_t at = formatEnds ? std::max(open.start, std::min(s, fileStart)) : s;
                close(at - open.start, RawCut::NextHeader);
            }
            if (m.kind == RawSectorMatch::Complete || !hadOpen) {
                open = {true, fileStart, m.row, fe.kind, fe.size};
            } else {
                pending = m;
            }
        }
    }
    // The file still open at the end of the range is kept, cut there (or at
    // its own end).
    if (open.has && running()) close(end - open.start, RawCut::RangeEnd);
    progress.m_nProgressPos.store(progress.m_nProgressTotal.load());
    return 0;
}

int CRawScanner::ReadItem(const RawFoundItem* item, std::vector<std::byte>& out, uint64_t maxBytes) const {
    out.clear();
    if (!item || item->size == 0) return -1;
    if (!device_.isOpen()) return static_cast<int>(kErrNoImage);
    const uint64_t n = std::min(item->size, maxBytes);
    out.resize(static_cast<size_t>(n));
    const ErrorCode rc = device_.readBytes((partitionStart_ + item->startSector) * sectorSize_, out);
    if (rc != kSuccess) {
        out.clear();
        return static_cast<int>(rc);
    }
    return 0;
}

int CRawScanner::WriteItem(ByteSink* out, const RawFoundItem* item, const std::atomic<bool>* running) const {
    if (!item || item->size == 0 || !out) return -1;
    if (!device_.isOpen()) return static_cast<int>(kErrNoImage);
    constexpr uint64_t kChunk = 1 << 20;
    std::vector<std::byte> buf(static_cast<size_t>(std::min(kChunk, item->size)));
    const uint64_t at = (partitionStart_ + item->startSector) * sectorSize_;
    for (uint64_t done = 0; done < item->size;) {
        if (running && !running->load()) return static_cast<int>(kErrCancelled);
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), item->size - done));
        ErrorCode rc = device_.readBytes(at + done, MutableByteSpan(buf.data(), n));
        if (rc == kSuccess) rc = out->write(ByteSpan(buf.data(), n));
        if (rc != kSuccess) return static_cast<int>(rc);
        done += n;
    }
    return 0;
}

}  // namespace vantor
