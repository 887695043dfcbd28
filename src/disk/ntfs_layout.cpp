#include "disk/ntfs_layout.h"

namespace vantor {

bool IsNtfsBootSector(ByteSpan sector) { return bytesEqual(sector, 3, "NTFS"); }

uint32_t NtfsRecordSizeFromByte(uint8_t clustersPerRecord, uint32_t clusterSize) {
    const int value = static_cast<int8_t>(clustersPerRecord);
    if (value == 0) return 1;
    uint64_t size;
    if (value > 0) size = uint64_t{clusterSize} * static_cast<unsigned>(value);
    else size = -value > 31 ? ~uint64_t{0} : uint64_t{1} << -value;
    return size > kNtfsMaxRecordSize ? kNtfsMaxRecordSize : static_cast<uint32_t>(size);
}

NtfsBootGeometry DecodeNtfsBoot(ByteSpan sector) {
    NtfsBootGeometry g;
    g.bytesPerSector = readLe16(sector, 0x0B);
    g.clusterSize = g.bytesPerSector * readU8(sector, 0x0D);
    g.totalSectors = readLe64(sector, 0x28);
    g.mftLcn = readLe64(sector, 0x30);
    g.recordSize = NtfsRecordSizeFromByte(readU8(sector, 0x40), g.clusterSize);
    return g;
}

bool ApplyNtfsFixups(MutableByteSpan record) {
    constexpr size_t kStride = 512;
    const size_t usaOffset = readLe16(record, 0x04);
    const size_t usaCount = readLe16(record, 0x06);
    if (usaCount < 2) return false;
    const size_t strides = usaCount - 1;
    if (strides * kStride > record.size()) return false;
    if (usaOffset < 0x08 || usaOffset + 2 * usaCount > record.size()) return false;
    const uint16_t usn = readLe16(record, usaOffset);
    for (size_t i = 0; i < strides; ++i)
        if (readLe16(record, (i + 1) * kStride - 2) != usn) return false;
    for (size_t i = 0; i < strides; ++i)
        writeLe16(record, (i + 1) * kStride - 2, readLe16(record, usaOffset + 2 * (i + 1)));
    return true;
}

bool DecodeRunList(ByteSpan runs, uint64_t firstVcn, std::vector<NtfsRun>& out, size_t maxRuns) {
    size_t pos = 0;
    uint64_t vcn = firstVcn;
    int64_t lcn = 0;
    size_t count = 0;
    while (pos < runs.size()) {
        const uint8_t header = readU8(runs, pos);
        if (header == 0) return true;
        const size_t lengthBytes = header & 0x0F;
        const size_t offsetBytes = header >> 4;
        if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8) return false;
        if (pos + 1 + lengthBytes + offsetBytes > runs.size()) return false;
        if (count >= maxRuns) return false;
        uint64_t length = 0;
        for (size_t i = 0; i < lengthBytes; ++i)
            length |= uint64_t{readU8(runs, pos + 1 + i)} << (8 * i);
        if (length == 0 || vcn + length < vcn) return false;
        NtfsRun run;
        run.vcn = vcn;
        run.length = length;
        if (offsetBytes == 0) {
            run.sparse = true;
        } else {
            uint64_t raw = 0;
            for (size_t i = 0; i < offsetBytes; ++i)
                raw |= uint64_t{readU8(runs, pos + 1 + lengthBytes + i)} << (8 * i);
            if (offsetBytes < 8 && (raw >> (8 * offsetBytes - 1)) & 1)
                raw |= ~uint64_t{0} << (8 * offsetBytes);  // sign-extend
            const int64_t delta = static_cast<int64_t>(raw);
            // An LCN that leaves [0, 2^62) cannot be on any disk: the list is bad.
            if ((delta > 0 && lcn > (int64_t{1} << 62) - delta) || lcn + delta < 0) return false;
            lcn += delta;
            run.lcn = static_cast<uint64_t>(lcn);
        }
        out.push_back(run);
        ++count;
        vcn += length;
        pos += 1 + lengthBytes + offsetBytes;
    }
    return false;
}

}  // namespace vantor
