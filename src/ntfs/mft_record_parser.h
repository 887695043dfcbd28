#pragma once
// Decodes one MFT file record into what the scans and the writer need: the
// in-use flag, $STANDARD_INFORMATION times and attributes, the longest
// $FILE_NAME with its parent, and the unnamed $DATA stream (resident value
// or run list), following $ATTRIBUTE_LIST into extension records. Content is
// read from the device on request, into memory or straight into a file;
// sparse runs read as zeros and compressed streams are expanded per
// compression unit.
//
// Attribute header: 0x00 type, 0x04 length, 0x08 non-resident, 0x09 name
// length, 0x0C flags (0x0001 compressed). Resident: 0x10 value length, 0x14
// value offset. Non-resident: 0x10 first VCN, 0x18 last VCN, 0x20 run-list
// offset, 0x22 compression unit (log2 clusters), 0x28 allocated, 0x30 real,
// 0x38 initialized size.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "disk/ntfs_layout.h"
#include "platform/block_device.h"
#include "platform/output_file.h"

namespace vantor {

inline constexpr uint32_t kAttrStandardInformation = 0x10;
inline constexpr uint32_t kAttrAttributeList = 0x20;
inline constexpr uint32_t kAttrFileName = 0x30;
inline constexpr uint32_t kAttrData = 0x80;
inline constexpr uint32_t kAttrEnd = 0xFFFFFFFF;

// Caps against hostile records.
inline constexpr size_t kNtfsMaxRuns = 1u << 18;
inline constexpr size_t kNtfsMaxExtensionRecords = 256;
inline constexpr uint64_t kNtfsMaxAttributeList = 256 * 1024;

struct NtfsStandardInfo {
    uint64_t creationTime = 0;
    uint64_t modificationTime = 0;
    uint64_t mftChangeTime = 0;
    uint64_t accessTime = 0;
    uint32_t attributes = 0;
    uint32_t maxVersions = 0;
};

struct NtfsFileName {
    uint64_t parentReference = 0;  // whole 64-bit reference
    uint32_t flags = 0;            // 0x10000000 = folder
    uint8_t nameLength = 0;        // characters
    uint8_t nameSpace = 0;
    std::u16string name;

    uint64_t parentRecord() const { return parentReference & 0x0000FFFFFFFFFFFFull; }
};

// The unnamed $DATA: resident bytes, or the runs of all its pieces in VCN
// order (pieces in extension records included).
struct NtfsDataStream {
    bool present = false;
    bool resident = false;
    std::vector<std::byte> residentValue;
    uint64_t realSize = 0;
    uint64_t allocatedSize = 0;
    uint64_t initializedSize = 0;
    bool compressed = false;
    uint32_t compressionUnitClusters = 0;  // 16 on every volume Windows makes
    std::vector<NtfsRun> runs;
    bool runListDamaged = false;

    uint64_t size() const { return resident ? residentValue.size() : realSize; }
};

// Where extension records come from: the record number (low 48 bits of the
// attribute-list reference) -> its bytes, as they lie.
using NtfsRecordFetcher = std::function<bool(uint64_t recordNumber, std::vector<std::byte>& out)>;

class CMftRecordParser {
public:
    // device: where non-resident values are read from (may be null when no
    // content is read). outputFile: when set, content goes there instead of memory.
    void Attach(BlockDevice* device, ByteSink* outputFile);
    void SetRecordFetcher(NtfsRecordFetcher fetcher) { fetcher_ = std::move(fetcher); }
    // The record's number when its place in the MFT is known; otherwise the
    // header's own number (0x2C, NTFS 3.1 records) is taken. Extension
    // records must name it as their base.
    void SetRecordNumber(uint64_t number) {
        givenNumber_ = number;
        numberGiven_ = true;
    }
    // 87 when recordSize or clusterSize is 0 or odd.
    ErrorCode SetGeometry(uint64_t partitionOffset, uint32_t recordSize, uint32_t clusterSize);
    // Caps content read into memory (the file path is capped by copyLimit).
    void SetMemoryLimit(uint64_t maxBytes) { memoryLimit_ = maxBytes; }
    // Caps content written to the output file; a longer stream is written up
    // to the cap and reported as 38.
    void SetCopyLimit(uint64_t maxBytes) { copyLimit_ = maxBytes; }

    // Full decoding. With readData the unnamed $DATA content is read (into
    // data() or the output file). 0, 87 for a short buffer or bad magic, or
    // the read error; 38 when the runs do not cover the stream (the missing
    // part reads as zeros). Without readData an attribute list that cannot
    // be read leaves the record as its base alone describes it.
    ErrorCode ParseRecord(ByteSpan record, bool readData);
    // Name-only decoding for records that begin "FILE0"; 0 or 87.
    ErrorCode ParseRecordName(ByteSpan record, std::string* nameOut);

    // Whole-buffer LZNT1, out at most 16 x the input; false when it fails.
    static bool DecompressLznt1(ByteSpan input, std::vector<std::byte>& out);

    bool inUse() const { return inUse_; }
    bool fixupApplied() const { return fixupOk_; }
    uint32_t ownRecordNumber() const { return ownNumber_; }
    bool hasStandardInfo() const { return hasStandardInfo_; }
    const NtfsStandardInfo& standardInfo() const { return standardInfo_; }
    bool hasFileName() const { return hasFileName_; }
    const NtfsFileName& fileName() const { return fileName_; }
    std::string fileNameText() const;  // UTF-8
    const NtfsDataStream& dataStream() const { return stream_; }
    // The stream's size in bytes (64-bit).
    uint64_t dataLength() const { return stream_.size(); }
    const std::vector<std::byte>& data() const { return data_; }
    std::vector<std::byte> takeData() { return std::move(data_); }
    // Named $DATA streams seen (their content is not part of the file).
    uint32_t namedStreamCount() const { return namedStreams_; }

private:
    struct Piece {
        uint64_t firstVcn = 0;
        std::vector<NtfsRun> runs;
    };
    void clear();
    bool prepare(ByteSpan record, std::vector<std::byte>& copy);
    void walkAttributes(ByteSpan record, bool isBase, bool nameOnly, std::vector<Piece>& pieces,
                        std::vector<uint64_t>* extensions, ErrorCode& error);
    void takeFileName(ByteSpan value);
    ErrorCode readAttributeList(ByteSpan attr, std::vector<uint64_t>& extensions);
    bool belongsToBase(ByteSpan extension) const;
    ErrorCode readContent();

    BlockDevice* device_ = nullptr;
    ByteSink* output_ = nullptr;
    NtfsRecordFetcher fetcher_;
    uint64_t givenNumber_ = 0;
    bool numberGiven_ = false;
    uint64_t partitionOffset_ = 0;
    uint32_t recordSize_ = 0;
    uint32_t clusterSize_ = 0;
    uint64_t memoryLimit_ = uint64_t{256} << 20;
    uint64_t copyLimit_ = ~uint64_t{0};

    bool inUse_ = false;
    bool fixupOk_ = false;
    uint32_t ownNumber_ = 0;
    // The base record as extension records refer to it; number unknown when
    // neither given nor in the header.
    bool baseNumberKnown_ = false;
    uint64_t baseNumber_ = 0;
    uint16_t baseSequence_ = 0;
    bool hasStandardInfo_ = false;
    NtfsStandardInfo standardInfo_;
    bool hasFileName_ = false;
    NtfsFileName fileName_;
    NtfsDataStream stream_;
    uint32_t namedStreams_ = 0;
    std::vector<std::byte> data_;
};

// Reads a non-resident stream's content, length bytes from the start,
// handing it to sink in pieces (at most 1 MiB each). Sparse runs and the
// part past the initialized size read as zeros; compressed streams are
// expanded per compression unit. 0, the read error, 38 when a part is not
// mapped by any run (zeros are delivered for it), or 87 when a compressed
// unit does not decode (its decoded part and zeros are delivered). With
// hole, stretches that hold no data (sparse, unmapped, past the initialized
// size, a compression unit without clusters) go to it as a count of zero
// bytes instead of to sink.
ErrorCode ReadNtfsStream(BlockDevice& device, uint64_t partitionOffset, uint32_t clusterSize,
                         const NtfsDataStream& stream, uint64_t length,
                         const std::function<ErrorCode(ByteSpan)>& sink,
                         const std::function<ErrorCode(uint64_t)>* hole = nullptr);
// The same for the first out.size() bytes, read straight into out (large
// requests, no staging copy); after a failed read the rest of out is zeros.
// keepGoing, when given, is tested between requests: 1223 once it is false.
ErrorCode ReadNtfsStreamInto(BlockDevice& device, uint64_t partitionOffset, uint32_t clusterSize,
                             const NtfsDataStream& stream, MutableByteSpan out,
                             const std::atomic<bool>* keepGoing = nullptr);

}  // namespace vantor
