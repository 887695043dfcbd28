#include "ntfs/mft_record_parser.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/lznt1.h"

namespace vantor {

namespace {

constexpr uint64_t kReferenceMask = 0x0000FFFFFFFFFFFFull;

// The value of a resident attribute, clamped to the attribute's own bytes.
ByteSpan ResidentValue(ByteSpan attr) {
    const size_t length = readLe32(attr, 0x10);
    const size_t offset = readLe16(attr, 0x14);
    if (offset >= attr.size()) return {};
    return attr.subspan(offset, std::min(length, attr.size() - offset));
}

}  // namespace

void CMftRecordParser::Attach(BlockDevice* device, ByteSink* outputFile) {
    device_ = device;
    output_ = outputFile;
}

ErrorCode CMftRecordParser::SetGeometry(uint64_t partitionOffset, uint32_t recordSize, uint32_t clusterSize) {
    if (recordSize == 0 || clusterSize == 0 || (recordSize & 1) || (clusterSize & 1))
        return kErrInvalidParameter;
    partitionOffset_ = partitionOffset;
    recordSize_ = recordSize;
    clusterSize_ = clusterSize;
    return kSuccess;
}

void CMftRecordParser::clear() {
    inUse_ = false;
    fixupOk_ = false;
    ownNumber_ = 0;
    baseNumberKnown_ = false;
    baseNumber_ = 0;
    baseSequence_ = 0;
    hasStandardInfo_ = false;
    standardInfo_ = {};
    hasFileName_ = false;
    fileName_ = {};
    stream_ = {};
    namedStreams_ = 0;
    data_.clear();
}

bool CMftRecordParser::prepare(ByteSpan record, std::vector<std::byte>& copy) {
    copy.assign(record.begin(), record.begin() + recordSize_);
    fixupOk_ = ApplyNtfsFixups(copy);
    if (!fixupOk_) copy.assign(record.begin(), record.begin() + recordSize_);
    return bytesEqual(copy, 0, "FILE");
}

std::string CMftRecordParser::fileNameText() const { return WideToMultiByte(fileName_.name); }

void CMftRecordParser::takeFileName(ByteSpan value) {
    if (value.size() < 0x42) return;
    const uint8_t length = readU8(value, 0x40);
    // The longest name wins (the long name over its 8.3 twin); ties keep the first.
    if (length <= (hasFileName_ ? fileName_.nameLength : 0)) return;
    NtfsFileName fn;
    fn.parentReference = readLe64(value, 0x00);
    fn.flags = readLe32(value, 0x38);
    fn.nameLength = length;
    fn.nameSpace = readU8(value, 0x41);
    const size_t chars = std::min<size_t>(length, (value.size() - 0x42) / 2);
    fn.name.reserve(chars);
    for (size_t i = 0; i < chars; ++i) fn.name.push_back(static_cast<char16_t>(readLe16(value, 0x42 + 2 * i)));
    fileName_ = std::move(fn);
    hasFileName_ = true;
}

ErrorCode CMftRecordParser::readAttributeList(ByteSpan attr, std::vector<uint64_t>& extensions) {
    std::vector<std::byte> holder;
    ByteSpan value;
    if (readU8(attr, 0x08) == 0) {
        value = ResidentValue(attr);
    } else {
        if (device_ == nullptr) return kSuccess;
        NtfsDataStream list;
        list.realSize = std::min(readLe64(attr, 0x30), kNtfsMaxAttributeList);
        list.initializedSize = list.realSize;
        const size_t runOffset = readLe16(attr, 0x20);
        if (runOffset >= attr.size()) return kSuccess;
        DecodeRunList(attr.subspan(runOffset), 0, list.runs, 64);
        const ErrorCode rc = ReadNtfsStream(*device_, partitionOffset_, clusterSize_, list, list.realSize,
                                            [&](ByteSpan piece) {
                                                holder.insert(holder.end(), piece.begin(), piece.end());
                                                return kSuccess;
                                            });
        if (rc != kSuccess && rc != kErrHandleEof) return rc;
        value = holder;
    }
    // Entry: 0x00 type, 0x04 length (16), 0x08 first VCN, 0x10 record reference.
    for (size_t pos = 0; pos + 0x18 <= value.size();) {
        const size_t entryLength = readLe16(value, pos + 0x04);
        if (entryLength < 0x18) break;
        const uint64_t number = readLe64(value, pos + 0x10) & kReferenceMask;
        if (number != baseNumber_ && extensions.size() < kNtfsMaxExtensionRecords &&
            std::find(extensions.begin(), extensions.end(), number) == extensions.end())
            extensions.push_back(number);
        pos += entryLength;
    }
    return kSuccess;
}

// An extension record names its base in its header (0x20): the base's
// number and, in the top 16 bits, its sequence number. Freeing a record
// bumps its sequence (skipping 0), so a deleted base is one ahead of the
// references made while it lived. A record that names another base (a
// reused slot, a hostile list) adds nothing.
bool CMftRecordParser::belongsToBase(ByteSpan extension) const {
    const uint64_t reference = readLe64(extension, 0x20);
    const uint64_t number = reference & kReferenceMask;
    if (number == 0) return false;
    if (!baseNumberKnown_) return true;
    if (number != baseNumber_) return false;
    const uint16_t sequence = static_cast<uint16_t>(reference >> 48);
    if (sequence == 0 || baseSequence_ == 0 || sequence == baseSequence_) return true;
    const uint16_t before = baseSequence_ == 1 ? 0xFFFF : static_cast<uint16_t>(baseSequence_ - 1);
    return !inUse_ && sequence == before;
}

void CMftRecordParser::walkAttributes(ByteSpan record, bool isBase, bool nameOnly, std::vector<Piece>& pieces,
                                      std::vector<uint64_t>* extensions, ErrorCode& error) {
    size_t cursor = readLe16(record, 0x14);
    size_t totalRuns = 0;
    for (const Piece& p : pieces) totalRuns += p.runs.size();
    // Each step moves forward by at least 16 bytes inside the record, so the
    // walk ends within recordSize / 16 steps whatever the lengths say.
    while (cursor + 8 <= record.size()) {
        const uint32_t type = readLe32(record, cursor);
        if (type == kAttrEnd) break;
        const size_t length = readLe32(record, cursor + 4);
        if (length < 16 || length > record.size() - cursor) break;
        const ByteSpan attr = record.subspan(cursor, length);
        const bool nonResident = readU8(attr, 0x08) != 0;
        const bool named = readU8(attr, 0x09) != 0;
        if (type == kAttrFileName && !nonResident) {
            takeFileName(ResidentValue(attr));
        } else if (nameOnly) {
            // only names are wanted
        } else if (type == kAttrStandardInformation && !nonResident && !hasStandardInfo_) {
            const ByteSpan v = ResidentValue(attr);
            standardInfo_.creationTime = readLe64(v, 0x00);
            standardInfo_.modificationTime = readLe64(v, 0x08);
            standardInfo_.mftChangeTime = readLe64(v, 0x10);
            standardInfo_.accessTime = readLe64(v, 0x18);
            standardInfo_.attributes = readLe32(v, 0x20);
            standardInfo_.maxVersions = readLe32(v, 0x24);
            hasStandardInfo_ = true;
        } else if (type == kAttrAttributeList && isBase && extensions != nullptr) {
            const ErrorCode rc = readAttributeList(attr, *extensions);
            if (rc != kSuccess && error == kSuccess) error = rc;
        } else if (type == kAttrData && named) {
            ++namedStreams_;  // alternate streams are not the file's content
        } else if (type == kAttrData) {
            if (!nonResident) {
                if (!stream_.present) {
                    const ByteSpan v = ResidentValue(attr);
                    stream_.present = true;
                    stream_.resident = true;
                    stream_.residentValue.assign(v.begin(), v.end());
                }
            } else if (!stream_.resident) {
                Piece piece;
                piece.firstVcn = readLe64(attr, 0x10);
                if (piece.firstVcn == 0) {
                    stream_.allocatedSize = readLe64(attr, 0x28);
                    stream_.realSize = readLe64(attr, 0x30);
                    stream_.initializedSize = readLe64(attr, 0x38);
                    stream_.compressed = (readLe16(attr, 0x0C) & 0x0001) != 0;
                    const uint8_t unitShift = readU8(attr, 0x22);
                    stream_.compressionUnitClusters = unitShift != 0 && unitShift <= 8 ? 1u << unitShift : 0;
                }
                stream_.present = true;
                const size_t runOffset = readLe16(attr, 0x20);
                if (runOffset < length && totalRuns < kNtfsMaxRuns) {
                    if (!DecodeRunList(attr.subspan(runOffset), piece.firstVcn, piece.runs, kNtfsMaxRuns - totalRuns))
                        stream_.runListDamaged = true;
                } else {
                    stream_.runListDamaged = true;
                }
                totalRuns += piece.runs.size();
                pieces.push_back(std::move(piece));
            }
        }
        cursor += length;
    }
}

ErrorCode CMftRecordParser::ParseRecord(ByteSpan record, bool readData) {
    clear();
    if (recordSize_ == 0 || record.data() == nullptr || record.size() < recordSize_) return kErrInvalidParameter;
    std::vector<std::byte> copy;
    if (!prepare(record, copy)) return kErrInvalidParameter;
    inUse_ = (readLe16(copy, 0x16) & 0x0001) != 0;
    const bool headerHasNumber = readLe16(copy, 0x04) >= 0x30;
    if (headerHasNumber) ownNumber_ = readLe32(copy, 0x2C);
    baseNumberKnown_ = numberGiven_ || headerHasNumber;
    baseNumber_ = numberGiven_ ? givenNumber_ : ownNumber_;
    baseSequence_ = readLe16(copy, 0x10);

    std::vector<Piece> pieces;
    std::vector<uint64_t> extensions;
    ErrorCode error = kSuccess;
    walkAttributes(copy, true, false, pieces, &extensions, error);
    if (!extensions.empty() && fetcher_) {
        const bool baseFixup = fixupOk_;
        std::vector<std::byte> raw;
        std::vector<std::byte> ext;
        for (uint64_t number : extensions) {
            raw.clear();
            if (!fetcher_(number, raw) || raw.size() < recordSize_) continue;
            if (!prepare(raw, ext) || !belongsToBase(ext)) continue;
            walkAttributes(ext, false, false, pieces, nullptr, error);
        }
        fixupOk_ = baseFixup;
    }
    // A listing shows what the base record tells even when the attribute
    // list cannot be read; reading the content fails then.
    if (error != kSuccess && readData) return error;

    // Pieces in VCN order make one run list; a piece overlapping the one
    // before it (a duplicate or a hostile entry) is dropped.
    std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.firstVcn < b.firstVcn; });
    uint64_t nextVcn = 0;
    for (Piece& p : pieces) {
        if (p.runs.empty()) continue;
        if (p.firstVcn < nextVcn) {
            stream_.runListDamaged = true;
            continue;
        }
        stream_.runs.insert(stream_.runs.end(), p.runs.begin(), p.runs.end());
        nextVcn = p.runs.back().vcn + p.runs.back().length;
    }
    if (!readData) return kSuccess;
    return readContent();
}

ErrorCode CMftRecordParser::readContent() {
    if (!stream_.present) return kSuccess;
    if (stream_.resident) {
        if (output_ != nullptr) return output_->write(stream_.residentValue);
        const size_t n = static_cast<size_t>(std::min<uint64_t>(stream_.residentValue.size(), memoryLimit_));
        data_.assign(stream_.residentValue.begin(), stream_.residentValue.begin() + static_cast<std::ptrdiff_t>(n));
        return kSuccess;
    }
    if (device_ == nullptr) return kErrNoImage;
    uint64_t length = stream_.realSize;
    if (stream_.allocatedSize != 0) length = std::min(length, stream_.allocatedSize);
    // A copy cut short by the cap is an incomplete file, not a success; the
    // memory cap is a preview's choice and cuts quietly.
    const bool cut = output_ != nullptr && length > copyLimit_;
    length = std::min(length, output_ != nullptr ? copyLimit_ : memoryLimit_);
    if (output_ == nullptr) data_.reserve(static_cast<size_t>(length));  // length is capped above
    // A file written out leaves holes where the stream holds no data.
    const std::function<ErrorCode(uint64_t)> hole = [this](uint64_t n) { return output_->skip(n); };
    const ErrorCode rc = ReadNtfsStream(
        *device_, partitionOffset_, clusterSize_, stream_, length,
        [&](ByteSpan piece) {
            if (output_ != nullptr) return output_->write(piece);
            data_.insert(data_.end(), piece.begin(), piece.end());
            return kSuccess;
        },
        output_ != nullptr ? &hole : nullptr);
    return rc == kSuccess && cut ? kErrHandleEof : rc;
}

ErrorCode CMftRecordParser::ParseRecordName(ByteSpan record, std::string* nameOut) {
    clear();
    if (nameOut != nullptr) nameOut->clear();
    if (recordSize_ == 0 || record.data() == nullptr || record.size() < recordSize_) return kErrInvalidParameter;
    if (!bytesEqual(record, 0, "FILE") || readU8(record, 4) != 0x30) return kErrInvalidParameter;
    std::vector<std::byte> copy;
    if (!prepare(record, copy)) return kErrInvalidParameter;
    std::vector<Piece> pieces;
    ErrorCode error = kSuccess;
    walkAttributes(copy, true, true, pieces, nullptr, error);
    if (nameOut != nullptr) *nameOut = fileNameText();
    return kSuccess;
}

bool CMftRecordParser::DecompressLznt1(ByteSpan input, std::vector<std::byte>& out) {
    out.assign(input.size() * 16, std::byte{0});
    size_t produced = 0;
    if (Lznt1Decompress(input, out, produced) != kSuccess) {
        out.clear();
        return false;
    }
    out.resize(produced);
    return true;
}

}  // namespace vantor
