#pragma once
// NTFS on-disk pieces decoded from byte buffers, never from a device: the
// boot sector's geometry, the update-sequence fixups of a multi-sector
// record, and the run list (mapping pairs) of a non-resident attribute.
//
// Boot sector: 0x03 "NTFS", 0x0B bytes per sector (16), 0x0D sectors per
// cluster (8), 0x28 total sectors (64), 0x30 $MFT LCN (64), 0x40 clusters
// per MFT record (signed 8; negative n means 2^-n bytes).
// Record header: 0x00 "FILE", 0x04 update-sequence offset (16), 0x06 its
// count in words (16), 0x14 first attribute (16), 0x16 flags (16, bit 0 in
// use), 0x20 base record reference (64), 0x2C own record number (32, NTFS 3.1).
#include <cstdint>
#include <vector>

#include "platform/byte_order.h"
#include "platform/error_codes.h"

namespace vantor {

// 1024-byte records on 512-byte sectors, 4096-byte ones on 4 KiB sectors.
inline constexpr uint32_t kNtfsMaxRecordSize = 4096;
// What a scan assumes when the boot sector gives no usable size.
inline constexpr uint32_t kNtfsDefaultRecordSize = 1024;

struct NtfsBootGeometry {
    uint32_t bytesPerSector = 0;
    uint32_t clusterSize = 0;
    uint64_t totalSectors = 0;
    uint64_t mftLcn = 0;
    uint32_t recordSize = 0;  // already capped at kNtfsMaxRecordSize
};

// True when bytes 3..6 are "NTFS".
bool IsNtfsBootSector(ByteSpan sector);
// Geometry fields of the boot sector (no validation beyond the record-size rule).
NtfsBootGeometry DecodeNtfsBoot(ByteSpan sector);
// The record size the boot sector's byte states: negative n gives 2^-n bytes,
// positive n that many clusters; above kNtfsMaxRecordSize gives the cap, and
// 0 gives 1 (which SetGeometry rejects). 0xF6 -> 1024, 0xF4 -> 4096,
// 1 with 4 KiB clusters -> 4096.
uint32_t NtfsRecordSizeFromByte(uint8_t clustersPerRecord, uint32_t clusterSize);

// Applies the update-sequence array in place. Every 512-byte stride covered
// by the array must end in the sequence number; when one does not (a torn
// write, or no array at all) nothing is changed and false comes back, so the
// record is decoded as it lies.
bool ApplyNtfsFixups(MutableByteSpan record);

struct NtfsRun {
    uint64_t vcn = 0;
    uint64_t lcn = 0;     // meaningless when sparse
    uint64_t length = 0;  // clusters
    bool sparse = false;
};

// Decodes mapping pairs starting at firstVcn into out (appended). A sparse
// run (no offset bytes) is kept as such and decoding goes on. Stops at a zero
// header, the buffer's end, maxRuns runs, a length field over 8 bytes or
// a zero length; runs that would put the LCN below 0 or wrap the VCN end the
// list. Returns false when the list was cut by malformed bytes.
bool DecodeRunList(ByteSpan runs, uint64_t firstVcn, std::vector<NtfsRun>& out, size_t maxRuns);

}  // namespace vantor
