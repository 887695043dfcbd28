#include "exfat/exfat_page_model.h"

#include "fat/fat_dirent.h"
#include "fat/fat_page_model.h"
#include "platform/codepage.h"

namespace vantor {

namespace {

template <typename T>
int Cmp(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Date and time, then the hundredths: the order the stamps were written in.
uint64_t StampKey(const ExfatTimeStamp& t) { return (uint64_t{t.stamp} << 8) | t.tenMs; }

std::string AttributesText(const ExfatFoundFile& r) { return FatAttributeText(static_cast<uint8_t>(r.set.attributes)); }

}  // namespace

std::string ExfatPageModel::cellText(size_t row, int column) const {
    const ExfatFoundFile* r = rowRecord(row);
    if (!r) return {};
    switch (column) {
        case kFatColName: return r->name;
        case kFatColSize: return FatSizeText(r->size());
        case kFatColType: return typeName(*r);
        case kFatColAttributes: return AttributesText(*r);
        case kFatColModified: return ExfatTimeText(r->set.modified);
        case kFatColCreated: return ExfatTimeText(r->set.created);
        case kFatColAccessed: return ExfatTimeText(r->set.accessed);
        default: return {};
    }
}

bool ExfatPageModel::passesFilter(const ExfatFoundFile& r) const {
    return MatchesCriteria(pageFilter(), r.ext, r.name, r.size(), ExfatDosDate(r.set.created));
}

int ExfatPageModel::compareRecords(const ExfatFoundFile& a, const ExfatFoundFile& b, int column,
                                   const std::string& typeA, const std::string& typeB) const {
    switch (column) {
        case kFatColName: return Cmp(AsciiLower(a.name), AsciiLower(b.name));
        case kFatColSize: return Cmp(a.size(), b.size());
        case kFatColType: return Cmp(typeA, typeB);
        case kFatColAttributes: return Cmp(AttributesText(a), AttributesText(b));
        case kFatColModified: return Cmp(StampKey(a.set.modified), StampKey(b.set.modified));
        case kFatColCreated: return Cmp(StampKey(a.set.created), StampKey(b.set.created));
        case kFatColAccessed: return Cmp(StampKey(a.set.accessed), StampKey(b.set.accessed));
        default: return 0;
    }
}

}  // namespace vantor
