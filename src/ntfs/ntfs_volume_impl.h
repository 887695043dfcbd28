#pragma once
// CNtfsVolume's private state shared by its source files: the MFT images
// and the extents of the current MFT on the partition.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dialogs/recovered_file.h"
#include "ntfs/mft_buffer.h"
#include "ntfs/mft_record_parser.h"
#include "ntfs/ntfs_scan.h"

namespace vantor {

struct MftImage {
    MftBytes bytes;
    uint32_t recordCount = 0;
    // Records found outside the current MFT: own record number -> indices,
    // ascending (two old MFTs may both hold a number).
    bool lost = false;
    std::unordered_map<uint64_t, std::vector<uint32_t>> byNumber;

    // The found record numbered number that lies nearest to index near:
    // records of one old MFT lie together, so it is the one of the same MFT.
    std::optional<uint32_t> nearest(uint64_t number, uint32_t near) const {
        auto it = byNumber.find(number);
        if (it == byNumber.end() || it->second.empty()) return std::nullopt;
        const std::vector<uint32_t>& at = it->second;
        auto after = std::lower_bound(at.begin(), at.end(), near);
        if (after == at.end()) return at.back();
        if (after == at.begin()) return *after;
        const uint32_t before = *(after - 1);
        return near - before <= *after - near ? before : *after;
    }
};

// A parent record as path building sees it, decoded once per scan.
struct NtfsFolderInfo {
    bool decoded = false;  // "FILE0" and a name-only decode succeeded
    bool folder = false;   // $FILE_NAME folder flag and a non-empty name
    std::string name;
    uint64_t parent = 0;
};

struct CNtfsVolume::Impl {
    // (image << 48 | record index) -> what path building needs of it.
    std::unordered_map<uint64_t, NtfsFolderInfo> folderInfo;
    std::vector<MftImage> images;
    size_t currentImage = 0;
    // Byte ranges [first, second) of the current MFT, relative to the
    // partition, in disk order.
    std::vector<std::pair<uint64_t, uint64_t>> mftExtents;
    // "Dir%d" numbers already given to missing parents of lost records.
    std::unordered_map<uint64_t, uint32_t> lostDirNumbers;
    // The selection's members, so adding one is not a search of the list.
    std::unordered_set<const NtfsFoundItem*> selected;
    // The current volume's $Bitmap (bit n set: cluster n is allocated);
    // empty when it could not be read.
    std::vector<std::byte> bitmap;
};

// Geometry and record access for the volume's source files.
struct NtfsVolumeAccess {
    static uint64_t partitionOffset(const CNtfsVolume& v) {
        return uint64_t{v.partitionStartSector_} * v.bytesPerSector_;
    }
    // The record bytes (as they lie) of record index in image; empty span
    // when out of range.
    static ByteSpan record(const CNtfsVolume& v, size_t image, uint64_t index);
    // Record lookup for $ATTRIBUTE_LIST extensions of record index in image.
    static NtfsRecordFetcher fetcher(const CNtfsVolume& v, size_t image, uint64_t index);
    // Sets up parser for record index of image: its number (an MFT record's
    // place; records found outside the MFT carry their own) and the lookup
    // of its extension records.
    static void prepareParser(const CNtfsVolume& v, CMftRecordParser& parser, size_t image, uint64_t index);
    static uint32_t nextFolderNumber(CNtfsVolume& v);
    // The name-only decode of record index in image, cached.
    static NtfsFolderInfo folderInfo(CNtfsVolume& v, size_t image, uint64_t index);
    static void takeGeometry(CNtfsVolume& v, ByteSpan boot);
    // Bytes the volume spans: the device past the partition start, cut to
    // the partition's length and the boot sector's size when known.
    static uint64_t volumeBytes(const CNtfsVolume& v);
    // via: where content is read from instead of the volume's device (a
    // read-ahead over it). record, when given, gets the drive's byte runs
    // the content lies in.
    static ErrorCode readItem(CNtfsVolume& v, const NtfsFoundItem& item, ByteSink* out,
                              std::vector<std::byte>* data, uint64_t maxBytes, BlockDevice* via = nullptr,
                              RecoveredFileRecord* record = nullptr);
    static uint32_t appendItem(CNtfsVolume& v, std::unique_ptr<NtfsFoundItem> item, bool send);
    // Reads the $Bitmap (record 6) of the current MFT, image, once per scan.
    static void loadBitmap(CNtfsVolume& v, size_t image);
    // How much of a decoded record's data its clusters still hold.
    static DataCondition condition(const CNtfsVolume& v, const NtfsFoundItem& item, const NtfsDataStream& stream);
};

}  // namespace vantor
