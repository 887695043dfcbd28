// The deleted-file scan, and the per-record decoding, path building and
// filtering it shares with the formatted-drive scan.
#include <cstdio>
#include <unordered_set>

#include "ntfs/ntfs_volume_impl.h"
#include "platform/codepage.h"
#include "platform/time_util.h"

namespace vantor {

namespace {

// Records below this are the volume's own files; a parent below it means
// "directly under the root".
constexpr uint64_t kSystemRecords = 24;
// No real folder chain is this deep; a longer one is a loop.
constexpr int kMaxPathDepth = 256;

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool EndsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

bool PassesMode(int fileTypeGroup, const std::string& name) {
    const std::string lower = AsciiLower(name);
    if (fileTypeGroup == 3) {
        if (EndsWith(lower, "wbmp")) return true;
        static const char* kPhoto[] = {"bmp", "gif", "jpg", "png", "mng", "ico", "tif", "tga", "pcx",
                                       "wmf", "j2k", "jbg", "jp2", "jpc", "pgx", "pnm", "ras"};
        for (const char* ext : kPhoto)
            if (EndsWith(lower, ext)) return true;
        return false;
    }
    if (fileTypeGroup == 6) return EndsWith(lower, "dbx") || EndsWith(lower, "box") || EndsWith(lower, "pst");
    return true;
}

std::string Numbered(const char* format, uint64_t n) {
    char text[64];
    std::snprintf(text, sizeof(text), format, static_cast<int>(n));
    return text;
}

bool IsSeparator(char c) { return c == ' ' || c == ',' || c == ';'; }

bool TokenMatches(const std::string& token, const std::string& name) {
    const size_t star = token.find('*');
    if (star == std::string::npos) return name.find(token) != std::string::npos;
    return name.find(token.substr(0, star)) != std::string::npos &&
           name.find(token.substr(star + 1)) != std::string::npos;
}

}  // namespace

// The found name as the items carry it: '?' made '_', cut to 259 bytes on a
// character boundary.
std::string NtfsItemName(const std::string& decoded) {
    std::string name = decoded;
    for (char& c : name)
        if (c == '?') c = '_';
    if (name.size() > 259) {
        size_t cut = 259;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name;
}

void CNtfsVolume::SetScanCriteria(int fileTypeGroup, const FilterCriteria& criteria) {
    fileTypeGroup_ = fileTypeGroup;
    criteria_ = criteria;
}

void CNtfsVolume::SetFilters(const std::string& nameFilter, const std::string& folderFilter) {
    nameFilter_ = Trimmed(nameFilter);
    folderFilter_ = Trimmed(folderFilter);
}

int CNtfsVolume::DecodeItem(ByteSpan record, NtfsFoundItem& item) {
    CMftRecordParser parser;
    if (parser.SetGeometry(NtfsVolumeAccess::partitionOffset(*this), recordSize_, clusterSize_) != kSuccess)
        return 1;
    // The device is there for a non-resident $ATTRIBUTE_LIST (bounded by the
    // parser), without which a fragmented file would list as size 0.
    parser.Attach(device_.get(), nullptr);
    if (item.imageIndex >= 0)
        NtfsVolumeAccess::prepareParser(*this, parser, static_cast<size_t>(item.imageIndex), item.recordIndex);
    if (parser.ParseRecord(record, false) != kSuccess) return 1;
    const std::string name = NtfsItemName(parser.fileNameText());
    if (name.empty()) return 2;
    if (!PassesMode(fileTypeGroup_, name)) return 3;

    item.setName(name);
    const NtfsStandardInfo& si = parser.standardInfo();
    item.creationTime = si.creationTime;
    item.modificationTime = si.modificationTime;
    item.accessTime = si.accessTime;
    item.attributes = si.attributes | parser.fileName().flags;
    item.size = parser.dataLength();
    item.deleted = parser.inUse() ? 0 : 1;
    item.condition = NtfsVolumeAccess::condition(*this, item, parser.dataStream());
    item.recordNumber = item.imageIndex == 0 ? item.recordIndex : parser.ownRecordNumber();
    item.parentRecord = parser.fileName().parentRecord();
    item.pathNames.clear();
    item.pathRecords.clear();
    if (!item.isFolder()) BuildPath(item, item.parentRecord);

    const FilterCriteria c = criteria_;
    if (!ExtensionPassesNtfsScan(c, name)) return 4;
    if (!DatePasses(c, DosDateFromFileTime(item.creationTime))) return 4;
    if (!SizePasses(c, item.size)) return 4;
    if (!NamePasses(c, name)) return 4;
    return 0;
}

NtfsFolderInfo NtfsVolumeAccess::folderInfo(CNtfsVolume& v, size_t image, uint64_t index) {
    const uint64_t key = (uint64_t{image} << 48) | (index & 0x0000FFFFFFFFFFFFull);
    {
        std::lock_guard lock(v.lock_);
        auto it = v.impl_->folderInfo.find(key);
        if (it != v.impl_->folderInfo.end()) return it->second;
    }
    NtfsFolderInfo info;
    CMftRecordParser parser;
    std::string name;
    if (parser.SetGeometry(0, v.recordSize_, v.clusterSize_) == kSuccess &&
        parser.ParseRecordName(record(v, image, index), &name) == kSuccess) {
        info.decoded = true;
        info.name = NtfsItemName(name);
        info.folder = (parser.fileName().flags & kNtfsAttrFolder) != 0 && !info.name.empty();
        info.parent = parser.fileName().parentRecord();
    }
    std::lock_guard lock(v.lock_);
    v.impl_->folderInfo.emplace(key, info);
    return info;
}

void CNtfsVolume::BuildPath(NtfsFoundItem& item, uint64_t parent) {
    item.pathNames.clear();
    item.pathRecords.clear();
    if (item.imageIndex < 0) return;
    const size_t image = static_cast<size_t>(item.imageIndex);
    const uint32_t bucket = static_cast<uint32_t>(item.imageIndex) + 1;
    const std::string bucketName = Numbered("Lost Files%d", static_cast<uint64_t>(item.imageIndex));
    auto madeUp = [&](uint64_t record) {
        item.pathNames.push_back(Numbered("Dir%d", NtfsVolumeAccess::nextFolderNumber(*this)));
        item.pathRecords.push_back(static_cast<uint32_t>(record));
        item.pathNames.push_back(bucketName);
        item.pathRecords.push_back(bucket);
    };
    if (recordSize_ == 0) return;

    if (image < impl_->images.size() && impl_->images[image].lost) {
        // Records found outside the MFT: climb through the other found
        // records by their own numbers; the chain always ends in the bucket,
        // and a missing folder gets one "Dir%d" shared by all its files.
        const MftImage& img = impl_->images[image];
        std::unordered_set<uint64_t> seen;
        uint64_t current = parent;
        uint32_t near = item.recordIndex;
        for (int depth = 0; depth < kMaxPathDepth && current != kNtfsRootRecord && seen.insert(current).second; ++depth) {
            const std::optional<uint32_t> at = img.nearest(current, near);
            NtfsFolderInfo info;
            if (at) {
                info = NtfsVolumeAccess::folderInfo(*this, image, *at);
                near = *at;
            }
            if (!info.folder) {
                uint32_t number;
                {
                    std::lock_guard lock(lock_);
                    auto [slot, fresh] = impl_->lostDirNumbers.try_emplace(current, folderCounter_);
                    if (fresh) ++folderCounter_;
                    number = slot->second;
                }
                item.pathNames.push_back(Numbered("Dir%d", number));
                item.pathRecords.push_back(static_cast<uint32_t>(current));
                break;
            }
            item.pathNames.push_back(info.name);
            item.pathRecords.push_back(static_cast<uint32_t>(current));
            const uint64_t next = info.parent;
            if (next == current || next < kSystemRecords) break;
            current = next;
        }
        item.pathNames.push_back(bucketName);
        item.pathRecords.push_back(bucket);
        return;
    }

    if (parent < kSystemRecords) return;
    const uint64_t count = recordCount(image);
    if (parent >= count) {
        madeUp(parent);
        return;
    }
    std::unordered_set<uint64_t> seen;
    uint64_t current = parent;
    for (int depth = 0; depth < kMaxPathDepth && current < count && seen.insert(current).second; ++depth) {
        const NtfsFolderInfo info = NtfsVolumeAccess::folderInfo(*this, image, current);
        if (!info.decoded) return;
        if (!info.folder) {
            madeUp(current);
            return;
        }
        item.pathNames.push_back(info.name);
        item.pathRecords.push_back(static_cast<uint32_t>(current));
        const uint64_t next = info.parent;
        if (next == current || next < kSystemRecords) return;
        current = next;
    }
}

bool CNtfsVolume::MatchNameAndFolder(const NtfsFoundItem& item) const {
    if (!folderFilter_.empty()) {
        std::string filter = folderFilter_.size() > 3 ? folderFilter_.substr(3) : std::string();
        while (!filter.empty() && filter.back() == '\\') filter.pop_back();
        if (!filter.empty()) {
            if (item.pathNames.empty()) return false;
            std::string path;
            for (auto it = item.pathNames.rbegin(); it != item.pathNames.rend(); ++it) path += *it + "\\";
            while (!path.empty() && path.back() == '\\') path.pop_back();
            if (path.compare(0, filter.size(), filter) != 0) return false;
        }
    }
    if (nameFilter_.empty() || nameFilter_.find("*.*") != std::string::npos) return true;
    const std::string name = AsciiLower(item.nameText());
    std::string rest = AsciiLower(nameFilter_);
    while (!rest.empty()) {
        size_t start = 0;
        while (start < rest.size() && IsSeparator(rest[start])) ++start;
        if (start == rest.size()) break;
        size_t end = start + 1;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        std::string token = rest.substr(start, end - start);
        rest = end < rest.size() ? rest.substr(end + 1) : std::string();
        if (!token.empty() && TokenMatches(token, name)) return true;
    }
    return false;
}

int CNtfsVolume::ScanDeletedRecords() {
    std::vector<std::byte> boot(512);
    if (CheckBootSector(boot) == kSuccess) {
        NtfsVolumeAccess::takeGeometry(*this, boot);
        // A stop while the MFT loads ends the scan as a stop does later on.
        if (ErrorCode rc = LoadMft(mftLcn_, &m_bRunning)) return rc == kErrCancelled ? 0 : static_cast<int>(rc);
    }
    if (imageCount() != 1) return -1;
    impl_->currentImage = 0;
    NtfsVolumeAccess::loadBitmap(*this, 0);
    const uint32_t count = recordCount(0);
    if (progress_ != nullptr) {
        progress_->m_nProgressTotal = count;
        progress_->m_nProgressPos = 0;
        progress_->setText(Numbered(kNtfsDeletedProgressFormat, foundItems_.size()));
    }
    size_t shown = foundItems_.size();
    for (uint32_t i = kNtfsFirstUserRecord; i < count && m_bRunning.load(); ++i) {
        if (progress_ != nullptr) {
            progress_->m_nProgressPos = i;
            if (shown != foundItems_.size() || (i & 1023) == 0) {
                shown = foundItems_.size();
                progress_->setText(Numbered(kNtfsDeletedProgressFormat, shown));
            }
        }
        const ByteSpan record = NtfsVolumeAccess::record(*this, 0, i);
        if (!bytesEqual(record, 0, "FILE") || (readLe16(record, 0x16) & 1) != 0) continue;
        auto item = std::make_unique<NtfsFoundItem>();
        item->recordIndex = i;
        item->imageIndex = 0;
        if (DecodeItem(record, *item) != 0 || !MatchNameAndFolder(*item)) continue;
        NtfsVolumeAccess::appendItem(*this, std::move(item), true);
    }
    if (progress_ != nullptr) progress_->setText(Numbered(kNtfsDeletedProgressFormat, foundItems_.size()));
    return 0;
}

}  // namespace vantor
