#pragma once
// The carving scan: every sector of a range is tested once against the
// enabled rows of the signature table, and the stream of sectors is cut into
// files. A file begins at a sector a signature matches (less the back offset
// of a pattern lying past the first sector) and ends at the next header, at
// the size cap, at the range end, or, with format ends on, where its own
// format says it ends; a header whose structure is broken at its start
// starts nothing then. Reads go in windows of 4000 sectors, the next window
// read ahead on a second thread.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/progress_fields.h"
#include "disk/sector_device.h"
#include "raw/raw_signature.h"

namespace vantor {

// Why a carved file ends where it does.
enum class RawCut { NextHeader, SizeCap, RangeEnd, FormatEnd };
const char* RawCutName(RawCut cut);

struct RawFoundItem {
    std::string name;         // "File%d.%s": the number of items found before it
    std::string description;  // the row's
    std::string extension;
    uint64_t startSector = 0;  // relative to the partition start
    uint64_t size = 0;         // bytes
    uint32_t selected = 0;
    RawCut cut = RawCut::NextHeader;
};

// What testing one sector gives.
struct RawSectorMatch {
    enum Kind { None, Complete, Pending } kind = None;
    size_t row = 0;
    size_t pattern = 0;     // Pending: the pattern a later sector must match
    uint64_t backOffset = 0;
};

// The rows of a table prepared for fast tests: per first-pattern position,
// the rows whose first byte there can match.
class RawMatcher {
public:
    RawMatcher(const RawSignatureTable& table, uint32_t sectorSize);
    // Tests one sector; pending is the pending match from the sector before
    // (kind None when there is none).
    RawSectorMatch test(ByteSpan sector, const RawSectorMatch& pending) const;

private:
    RawSectorMatch fromRow(size_t row, size_t firstPattern, ByteSpan sector, uint64_t back) const;
    size_t testPos(const RawPattern& p) const { return p.offset < static_cast<int32_t>(ss_) ? static_cast<size_t>(p.offset) : 0; }
    uint64_t backOf(const RawPattern& p) const { return p.offset < static_cast<int32_t>(ss_) ? 0 : uint64_t{ss_} * (static_cast<uint32_t>(p.offset) / ss_); }

    const RawSignatureTable& table_;
    uint32_t ss_;
    struct Position {
        size_t at;
        std::vector<std::vector<uint32_t>> rowsByByte;  // 256 lists, table order
    };
    std::vector<Position> positions_;
};

class CRawScanner {
public:
    CRawScanner();
    ~CRawScanner();
    CRawScanner(const CRawScanner&) = delete;
    CRawScanner& operator=(const CRawScanner&) = delete;

    // The drive of record, or its volume by letter; or a device in hand.
    ErrorCode OpenDevice(const std::string& name, bool isPhysical);
    void Attach(DevicePtr device);
    void SetPartitionStart(uint64_t startSector, uint32_t sectorSize);
    void SetScanRange(uint64_t first, uint64_t last);
    void SetMaxSize(uint32_t kilobytes);  // 0 keeps the current value
    void SetTable(RawSignatureTable* table);  // null keeps the current one

    // 0 when done or cancelled; -1 when the table has no rows (after trying
    // to load it) or none is enabled; loadError then says why.
    int Scan(ProgressFields& progress);
    // At most maxBytes of the item's bytes. 0, -1 for a missing item or a
    // size of 0, or the system error code.
    int ReadItem(const RawFoundItem* item, std::vector<std::byte>& out, uint64_t maxBytes = UINT64_MAX) const;
    // Copies the item to out. 0, -1 for a missing item, size 0 or no output,
    // or the system error code (kErrCancelled when running turns false).
    int WriteItem(ByteSink* out, const RawFoundItem* item, const std::atomic<bool>* running = nullptr) const;

    const std::vector<std::unique_ptr<RawFoundItem>>& items() const { return items_; }
    std::vector<std::unique_ptr<RawFoundItem>>& items() { return items_; }
    const std::string& loadError() const { return loadError_; }
    uint64_t partitionStartSector() const { return partitionStart_; }
    uint32_t sectorSize() const { return sectorSize_; }
    const CSectorDevice& device() const { return device_; }
    // Headers dropped because their structure was broken at the start.
    uint64_t droppedHeaders() const { return dropped_; }

    std::atomic<bool> m_bRunning{true};
    // The page's own continue flag, read with m_bRunning (null: none).
    void SetPageFlag(const std::atomic<bool>* flag) { pageFlag_ = flag; }

private:
    struct Open;
    bool running() const { return m_bRunning.load() && (!pageFlag_ || pageFlag_->load()); }
    void emitFile(const Open& file, uint64_t size, RawCut cut);

    CSectorDevice device_;
    uint64_t partitionStart_ = 0;
    uint32_t sectorSize_ = 512;
    uint64_t rangeFirst_ = 0, rangeLast_ = 0;
    uint32_t maxFileSizeKB_ = 512000;
    RawSignatureTable* table_ = nullptr;
    std::unique_ptr<RawSignatureTable> ownTable_;  // loaded here when none was handed over
    std::vector<std::unique_ptr<RawFoundItem>> items_;
    std::string loadError_;
    uint64_t dropped_ = 0;
    const std::atomic<bool>* pageFlag_ = nullptr;
};

}  // namespace vantor
