#include "fat/fat_page_model.h"

#include <algorithm>
#include <cstdio>

#include "dialogs/preview.h"
#include "platform/codepage.h"
#include "platform/time_util.h"

namespace vantor {

std::string FatSizeText(uint64_t size) {
    char buf[64];
    if (size < 1024) {
        std::snprintf(buf, sizeof buf, "%d Byte", static_cast<int>(size));
    } else {
        const double kb = static_cast<double>(size) / 1024.0;
        if (kb > 1024.0)
            std::snprintf(buf, sizeof buf, "%.2f MB", static_cast<double>(size) / 1048576.0);
        else
            std::snprintf(buf, sizeof buf, "%.2f KB", kb);
    }
    return buf;
}

std::string FatDateTimeText(uint16_t date, uint16_t time) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d-%.2d-%.2d   %.2d:%.2d:%.2d", date / 512 + 1980, (date >> 5) & 0x0F,
                  date & 0x1F, time / 2048, (time >> 5) & 0x3F, (time & 0x1F) * 2);
    return buf;
}

std::string FatAccessDateText(uint16_t date) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d-%.2d-%.2d   12:00:00", date / 512 + 1980, (date >> 5) & 0x0F, date & 0x1F);
    return buf;
}

std::string FatTotalsText(uint64_t files, uint64_t bytes) { return FilesTotalText(files, bytes); }

namespace {

template <typename T>
int Cmp(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

uint32_t DateTimeKey(uint16_t date, uint16_t time) { return (uint32_t{date} << 16) | time; }

}  // namespace

int CompareFatRecords(const FatFoundFile& a, const FatFoundFile& b, int column, const std::string& typeA,
                      const std::string& typeB) {
    switch (column) {
        case kFatColName: return Cmp(AsciiLower(a.nameText()), AsciiLower(b.nameText()));
        case kFatColSize: return Cmp(a.size, b.size);
        case kFatColType: return Cmp(typeA, typeB);
        case kFatColAttributes: return Cmp(a.attributesText(), b.attributesText());
        case kFatColModified: return Cmp(DateTimeKey(a.writeDate, a.writeTime), DateTimeKey(b.writeDate, b.writeTime));
        case kFatColCreated:
            return Cmp(DateTimeKey(a.creationDate, a.creationTime), DateTimeKey(b.creationDate, b.creationTime));
        case kFatColAccessed: return Cmp(a.accessDate, b.accessDate);
        default: return 0;
    }
}

FatPageModel::FatPageModel(int mode, FatKind kind) : FatPageBase(mode), kind_(kind) {}

FatScanOptions FatPageModel::scanOptions(const std::string& pathFilter, const std::string& ownMask,
                                         int fileTypeGroup, uint32_t rangeStart, uint32_t rangeEnd,
                                         uint32_t partitionStart) const {
    FatScanOptions o;
    o.pathFilter = pathFilter;
    o.maskText = FatMaskTextForType(fileTypeGroup, kind_, ownMask);
    o.fileTypeGroup = fileTypeGroup;
    if (rangeEnd != 0) {
        o.rangeStart = rangeStart > partitionStart ? rangeStart - partitionStart : 0;
        o.rangeEnd = rangeEnd > partitionStart ? rangeEnd - partitionStart : 0;
    }
    return o;
}

std::string FatPageModel::cellText(size_t row, int column) const {
    const FatFoundFile* r = rowRecord(row);
    if (!r) return {};
    switch (column) {
        case kFatColName: return r->nameText();
        case kFatColSize: return FatSizeText(r->size);
        case kFatColType: return typeName(*r);
        case kFatColAttributes: return r->attributesText();
        case kFatColModified: return FatDateTimeText(r->writeDate, r->writeTime);
        case kFatColCreated: return FatDateTimeText(r->creationDate, r->creationTime);
        case kFatColAccessed: return FatAccessDateText(r->accessDate);
        default: return {};
    }
}

bool FatPageModel::passesFilter(const FatFoundFile& r) const {
    return MatchesCriteria(pageFilter(), r.extText(), r.nameText(), r.size, r.creationDate);
}

}  // namespace vantor
