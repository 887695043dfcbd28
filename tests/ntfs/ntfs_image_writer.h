#pragma once
// Byte-exact NTFS pieces for tests and benches: MFT file records with their
// attributes and update-sequence protection, run lists, and a minimal volume
// (boot sector + $MFT + data clusters) written onto any writable device.
// Only what the engine reads is filled in.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/block_device.h"
#include "platform/byte_order.h"
#include "platform/device_table.h"

namespace vantor::ntfstest {

using Bytes = std::vector<std::byte>;

inline Bytes ToBytes(const std::string& s) {
    Bytes b(s.size());
    std::memcpy(b.data(), s.data(), s.size());
    return b;
}

struct Run {
    int64_t lcn = 0;  // ignored when sparse
    uint64_t length = 0;
    bool sparse = false;
};

inline size_t SignedBytes(int64_t v) {
    size_t n = 1;
    while (n < 8) {
        const int64_t lo = -(int64_t{1} << (8 * n - 1));
        const int64_t hi = (int64_t{1} << (8 * n - 1)) - 1;
        if (v >= lo && v <= hi) break;
        ++n;
    }
    return n;
}

// Mapping pairs for the runs, ending with a zero byte.
inline Bytes EncodeRuns(const std::vector<Run>& runs) {
    Bytes out;
    int64_t prev = 0;
    for (const Run& r : runs) {
        size_t lenBytes = 1;
        while (lenBytes < 8 && (r.length >> (8 * lenBytes)) != 0) ++lenBytes;
        const int64_t delta = r.sparse ? 0 : r.lcn - prev;
        const size_t offBytes = r.sparse ? 0 : SignedBytes(delta);
        out.push_back(std::byte(static_cast<uint8_t>(lenBytes | (offBytes << 4))));
        for (size_t i = 0; i < lenBytes; ++i) out.push_back(std::byte((r.length >> (8 * i)) & 0xFF));
        for (size_t i = 0; i < offBytes; ++i)
            out.push_back(std::byte((static_cast<uint64_t>(delta) >> (8 * i)) & 0xFF));
        if (!r.sparse) prev = r.lcn;
    }
    out.push_back(std::byte{0});
    return out;
}

inline std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

class RecordBuilder {
public:
    RecordBuilder(uint32_t recordSize, uint32_t ownNumber, bool inUse, bool folder = false)
        : size_(recordSize), rec_(recordSize) {
        std::memcpy(rec_.data(), "FILE", 4);
        writeLe16(rec_, 0x04, 0x30);
        writeLe16(rec_, 0x06, static_cast<uint16_t>(recordSize / 512 + 1));
        writeLe16(rec_, 0x10, 1);  // sequence
        writeLe16(rec_, 0x12, 1);  // links
        writeLe16(rec_, 0x14, 0x38);
        writeLe16(rec_, 0x16, static_cast<uint16_t>((inUse ? 1 : 0) | (folder ? 2 : 0)));
        writeLe32(rec_, 0x1C, recordSize);
        writeLe32(rec_, 0x2C, ownNumber);
        cursor_ = 0x38;
    }

    RecordBuilder& baseReference(uint64_t base) {
        writeLe64(rec_, 0x20, base);
        return *this;
    }
    RecordBuilder& usn(uint16_t value) {
        usn_ = value;
        return *this;
    }

    RecordBuilder& standardInfo(uint64_t created, uint64_t modified, uint64_t accessed, uint32_t attributes) {
        Bytes v(0x48);
        writeLe64(v, 0x00, created);
        writeLe64(v, 0x08, modified);
        writeLe64(v, 0x10, modified);
        writeLe64(v, 0x18, accessed);
        writeLe32(v, 0x20, attributes);
        return resident(0x10, v);
    }

    RecordBuilder& fileName(uint64_t parent, const std::u16string& name, uint32_t flags, uint8_t nameSpace = 1,
                            uint64_t dataSize = 0) {
        Bytes v(0x42 + 2 * name.size());
        writeLe64(v, 0x00, parent | (uint64_t{1} << 48));
        writeLe64(v, 0x28, dataSize);
        writeLe64(v, 0x30, dataSize);
        writeLe32(v, 0x38, flags);
        writeU8(v, 0x40, static_cast<uint8_t>(name.size()));
        writeU8(v, 0x41, nameSpace);
        for (size_t i = 0; i < name.size(); ++i) writeLe16(v, 0x42 + 2 * i, static_cast<uint16_t>(name[i]));
        return resident(0x30, v);
    }

    RecordBuilder& residentData(const Bytes& value, const std::u16string& streamName = {}) {
        return resident(0x80, value, streamName);
    }

    // A non-resident $DATA piece. allocated 0 = whole clusters of realSize.
    RecordBuilder& nonResidentData(const std::vector<Run>& runs, uint64_t realSize, uint32_t clusterSize,
                                   uint64_t firstVcn = 0, bool compressed = false,
                                   const std::u16string& streamName = {}, uint64_t allocated = 0) {
        return nonResident(0x80, EncodeRuns(runs), runs, realSize, clusterSize, firstVcn, compressed, streamName,
                           allocated);
    }
    RecordBuilder& nonResidentRaw(uint32_t type, const Bytes& runBytes, uint64_t realSize, uint64_t allocated,
                                  uint64_t lastVcn) {
        std::vector<Run> none;
        Bytes attr = nonResidentHeader(type, runBytes, 0, lastVcn, realSize, allocated, false, {});
        return append(attr);
    }

    // $ATTRIBUTE_LIST with one entry per (type, record number, first VCN).
    struct ListEntry {
        uint32_t type;
        uint64_t record;
        uint64_t firstVcn;
    };
    static Bytes attributeListValue(const std::vector<ListEntry>& entries) {
        Bytes v;
        for (const ListEntry& e : entries) {
            Bytes entry(0x20);
            writeLe32(entry, 0x00, e.type);
            writeLe16(entry, 0x04, 0x20);
            writeU8(entry, 0x07, 0x1A);
            writeLe64(entry, 0x08, e.firstVcn);
            writeLe64(entry, 0x10, e.record | (uint64_t{1} << 48));
            v.insert(v.end(), entry.begin(), entry.end());
        }
        return v;
    }
    RecordBuilder& attributeList(const std::vector<ListEntry>& entries) {
        return resident(0x20, attributeListValue(entries));
    }

    RecordBuilder& rawAttribute(const Bytes& attr) { return append(attr); }

    // The finished record with the end marker and the update sequence in place.
    Bytes build() const {
        Bytes r = rec_;
        writeLe32(r, cursor_, 0xFFFFFFFF);
        writeLe32(r, 0x18, static_cast<uint32_t>(cursor_ + 8));
        const size_t strides = size_ / 512;
        writeLe16(r, 0x30, usn_);
        for (size_t i = 0; i < strides; ++i) {
            const size_t tail = (i + 1) * 512 - 2;
            writeLe16(r, 0x32 + 2 * i, readLe16(r, tail));
            writeLe16(r, tail, usn_);
        }
        return r;
    }

private:
    RecordBuilder& resident(uint32_t type, const Bytes& value, const std::u16string& name = {}) {
        const size_t nameOff = 0x18;
        const size_t valueOff = (nameOff + 2 * name.size() + 7) & ~size_t{7};
        Bytes attr((valueOff + value.size() + 7) & ~size_t{7});
        writeLe32(attr, 0x00, type);
        writeLe32(attr, 0x04, static_cast<uint32_t>(attr.size()));
        writeU8(attr, 0x09, static_cast<uint8_t>(name.size()));
        writeLe16(attr, 0x0A, static_cast<uint16_t>(nameOff));
        writeLe16(attr, 0x0E, nextId_++);
        writeLe32(attr, 0x10, static_cast<uint32_t>(value.size()));
        writeLe16(attr, 0x14, static_cast<uint16_t>(valueOff));
        for (size_t i = 0; i < name.size(); ++i) writeLe16(attr, nameOff + 2 * i, static_cast<uint16_t>(name[i]));
        std::copy(value.begin(), value.end(), attr.begin() + static_cast<std::ptrdiff_t>(valueOff));
        return append(attr);
    }

    Bytes nonResidentHeader(uint32_t type, const Bytes& runBytes, uint64_t firstVcn, uint64_t lastVcn,
                            uint64_t realSize, uint64_t allocated, bool compressed, const std::u16string& name) {
        const size_t headerSize = compressed ? 0x48 : 0x40;
        const size_t nameOff = headerSize;
        const size_t runOff = (nameOff + 2 * name.size() + 7) & ~size_t{7};
        Bytes attr((runOff + runBytes.size() + 7) & ~size_t{7});
        writeLe32(attr, 0x00, type);
        writeLe32(attr, 0x04, static_cast<uint32_t>(attr.size()));
        writeU8(attr, 0x08, 1);
        writeU8(attr, 0x09, static_cast<uint8_t>(name.size()));
        writeLe16(attr, 0x0A, static_cast<uint16_t>(nameOff));
        writeLe16(attr, 0x0C, compressed ? 1 : 0);
        writeLe16(attr, 0x0E, nextId_++);
        writeLe64(attr, 0x10, firstVcn);
        writeLe64(attr, 0x18, lastVcn);
        writeLe16(attr, 0x20, static_cast<uint16_t>(runOff));
        writeU8(attr, 0x22, compressed ? 4 : 0);
        writeLe64(attr, 0x28, allocated);
        writeLe64(attr, 0x30, realSize);
        writeLe64(attr, 0x38, realSize);
        if (compressed) writeLe64(attr, 0x40, allocated);
        for (size_t i = 0; i < name.size(); ++i) writeLe16(attr, nameOff + 2 * i, static_cast<uint16_t>(name[i]));
        std::copy(runBytes.begin(), runBytes.end(), attr.begin() + static_cast<std::ptrdiff_t>(runOff));
        return attr;
    }

    RecordBuilder& nonResident(uint32_t type, const Bytes& runBytes, const std::vector<Run>& runs, uint64_t realSize,
                               uint32_t clusterSize, uint64_t firstVcn, bool compressed, const std::u16string& name,
                               uint64_t allocated) {
        uint64_t clusters = 0;
        for (const Run& r : runs) clusters += r.length;
        if (allocated == 0) allocated = firstVcn == 0 ? (realSize + clusterSize - 1) / clusterSize * clusterSize : 0;
        if (compressed && firstVcn == 0) allocated = (realSize + 16ull * clusterSize - 1) / (16ull * clusterSize) * 16ull * clusterSize;
        const uint64_t lastVcn = firstVcn + (clusters == 0 ? 0 : clusters - 1);
        Bytes attr = nonResidentHeader(type, runBytes, firstVcn, lastVcn, firstVcn == 0 ? realSize : 0,
                                       firstVcn == 0 ? allocated : 0, compressed, name);
        return append(attr);
    }

    RecordBuilder& append(const Bytes& attr) {
        std::copy(attr.begin(), attr.end(), rec_.begin() + static_cast<std::ptrdiff_t>(cursor_));
        cursor_ += attr.size();
        return *this;
    }

    uint32_t size_;
    Bytes rec_;
    size_t cursor_;
    uint16_t nextId_ = 0;
    uint16_t usn_ = 0x0001;
};

// A volume: boot sector at partition byte 0, $MFT at mftLcn with
// mftRecords contiguous records, the root folder (record 5) and the
// system records below 30 as minimal in-use records.
class VolumeWriter {
public:
    VolumeWriter(BlockDevice& device, uint64_t partitionOffset, uint64_t totalSectors, uint32_t clusterSize,
                 uint64_t mftLcn, uint32_t mftRecords, uint32_t recordSize = 1024)
        : dev_(device), base_(partitionOffset), totalSectors_(totalSectors), cs_(clusterSize), mftLcn_(mftLcn),
          records_(mftRecords), rs_(recordSize) {}

    uint32_t clusterSize() const { return cs_; }
    uint64_t mftLcn() const { return mftLcn_; }
    uint64_t mftBytes() const { return uint64_t{records_} * rs_; }
    uint64_t firstFreeLcn() const { return mftLcn_ + (mftBytes() + cs_ - 1) / cs_; }

    void writeBoot(int8_t clustersPerRecord = -10) {
        Bytes b(512);
        const uint8_t jump[3] = {0xEB, 0x52, 0x90};
        std::memcpy(b.data(), jump, 3);
        std::memcpy(b.data() + 3, "NTFS    ", 8);
        writeLe16(b, 0x0B, 512);
        writeU8(b, 0x0D, static_cast<uint8_t>(cs_ / 512));
        writeU8(b, 0x15, 0xF8);
        writeLe64(b, 0x28, totalSectors_ - 1);
        writeLe64(b, 0x30, mftLcn_);
        writeLe64(b, 0x38, 2);
        writeU8(b, 0x40, static_cast<uint8_t>(clustersPerRecord));
        writeU8(b, 0x44, 1);
        writeU8(b, 0x1FE, 0x55);
        writeU8(b, 0x1FF, 0xAA);
        dev_.writeAt(base_, b);
    }

    // Record 0 ($MFT) describing the MFT extent, root (5), and filler system records.
    void writeSystemRecords() {
        const uint64_t clusters = (mftBytes() + cs_ - 1) / cs_;
        RecordBuilder mft(rs_, 0, true);
        mft.standardInfo(0, 0, 0, 6).fileName(5, u"$MFT", 6, 3).nonResidentData(
            {{static_cast<int64_t>(mftLcn_), clusters}}, mftBytes(), cs_);
        writeRecord(0, mft.build());
        for (uint32_t n = 1; n < 30 && n < records_; ++n) {
            if (n == 5) {
                RecordBuilder root(rs_, 5, true, true);
                root.standardInfo(0, 0, 0, 6).fileName(5, u".", 0x10000006, 3);
                writeRecord(5, root.build());
            } else {
                RecordBuilder sys(rs_, n, true);
                sys.standardInfo(0, 0, 0, 6).fileName(5, Utf16("$Sys" + std::to_string(n)), 6, 3);
                writeRecord(n, sys.build());
            }
        }
    }

    void writeRecord(uint64_t n, const Bytes& record) {
        dev_.writeAt(base_ + mftLcn_ * cs_ + n * rs_, record);
    }
    void writeCluster(uint64_t lcn, const Bytes& data) { dev_.writeAt(base_ + lcn * cs_, data); }

private:
    BlockDevice& dev_;
    uint64_t base_;
    uint64_t totalSectors_;
    uint32_t cs_;
    uint64_t mftLcn_;
    uint32_t records_;
    uint32_t rs_;
};

// A device over another that fails every read touching [badStart, badEnd),
// as a disk with unreadable sectors does; reads are counted.
class BadSectorDevice final : public BlockDevice {
public:
    BadSectorDevice(std::shared_ptr<BlockDevice> base, uint64_t badStart, uint64_t badEnd)
        : base_(std::move(base)), badStart_(badStart), badEnd_(badEnd) {}
    uint64_t size() const override { return base_->size(); }
    ErrorCode readAt(uint64_t offset, MutableByteSpan buf) override {
        ++reads;
        if (offset < badEnd_ && offset + buf.size() > badStart_) return kErrCrc;
        return base_->readAt(offset, buf);
    }
    ErrorCode writeAt(uint64_t, ByteSpan) override { return kErrAccessDenied; }
    bool writable() const override { return false; }
    std::atomic<int> reads{0};

private:
    std::shared_ptr<BlockDevice> base_;
    uint64_t badStart_;
    uint64_t badEnd_;
};

inline Bytes Pattern(size_t n, uint32_t seed) {
    Bytes b(n);
    uint32_t x = seed ? seed : 1;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b[i] = std::byte(x & 0xFF);
    }
    return b;
}

// A 4 MiB image file whose empty NTFS volume starts 2 MiB in, attached as
// drive 0 and mounted as X: (so the volume's start is not the drive's).
inline void AttachImageWithVolumeX(const std::string& image) {
    constexpr uint64_t kMiB = uint64_t{1} << 20;
    MemoryDevice disk(Bytes(4 * kMiB), true);
    VolumeWriter w(disk, 2 * kMiB, 2 * kMiB / 512, 4096, 4, 64);
    w.writeBoot();
    w.writeSystemRecords();
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(disk.bytes().data()), static_cast<std::streamsize>(disk.bytes().size()));
    DeviceTable::Global().clear();
    DeviceTable::Global().attachImages({image});
    VolumeEntry x;
    x.letter = 'X';
    x.driveNumber = 0;
    x.startByte = 2 * kMiB;
    x.lengthBytes = 2 * kMiB;
    x.fileSystem = "NTFS";
    DeviceTable::Global().setVolumes({x});
}

}  // namespace vantor::ntfstest
