#include "fat/fat_dirent.h"

#include <ctime>
#include <string_view>

#include "platform/codepage.h"

namespace vantor {

FatEntryRules FatEntryRules::ForVolume(const CFatVolume& volume, int currentYear) {
    FatEntryRules r;
    r.kind = volume.kind();
    r.totalSectors = volume.totalSectors();
    r.sectorsPerCluster = volume.sectorsPerCluster() ? volume.sectorsPerCluster() : 1;
    r.bytesPerSector = volume.bytesPerSector();
    r.sectorsPerFat = volume.sectorsPerFat();
    r.rootCluster = volume.rootCluster();
    r.currentYear = currentYear > 0 ? currentYear : FatCurrentYear();
    return r;
}

int FatCurrentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&now, &local)) return 2000;
    return local.tm_year + 1900;
}

bool FatShortCharOk(uint8_t c) {
    if (c < 0x20 || c > 0x7E) return false;
    switch (c) {
    case '"': case '*': case '/': case ':': case '<': case '>': case '?': case '\\': case '|':
        return false;
    default:
        return true;
    }
}

bool FatDateOk(uint16_t dosDate, int currentYear) {
    const int year = 1980 + (dosDate >> 9);
    const int month = (dosDate >> 5) & 0x0F;
    return year <= currentYear + 1 && month <= 12;
}

namespace {

bool nameCharsOk(const FatDirEntry& e, bool checkExt) {
    for (size_t i = 1; i < 8; ++i)
        if (!FatShortCharOk(readU8(e.raw, i))) return false;
    if (checkExt)
        for (size_t i = 8; i < 11; ++i)
            if (!FatShortCharOk(readU8(e.raw, i))) return false;
    return true;
}

std::string trimBlanks(std::string s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    const size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

// Cuts at most maxBytes of UTF-8 without splitting a character.
std::string cutUtf8(std::string s, size_t maxBytes) {
    if (s.size() <= maxBytes) return s;
    size_t n = maxBytes;
    while (n > 0 && (static_cast<uint8_t>(s[n]) & 0xC0) == 0x80) --n;
    s.resize(n);
    return s;
}

}  // namespace

bool FatShortEntryValid(const FatDirEntry& e, bool hasLongName, const FatEntryRules& rules) {
    if (e.first() == 0) return false;
    if (rules.kind == FatKind::Fat32) {
        if (e.highWord() > rules.maxHighWord()) return false;
        if (hasLongName) return true;
        return nameCharsOk(e, !e.isDirectory());
    }
    const uint32_t cluster = e.lowWord();
    const uint32_t maxCluster = rules.totalSectors / rules.sectorsPerCluster;
    // An empty file owns no cluster; its entry says 0 there.
    const bool emptyFile = cluster == 0 && e.size() == 0 && !e.isDirectory();
    if (!emptyFile && (cluster < 1 || cluster > maxCluster)) return false;
    if (!hasLongName && !nameCharsOk(e, !e.isDirectory())) return false;
    return FatDateOk(e.creationDate(), rules.currentYear) && FatDateOk(e.writeDate(), rules.currentYear) &&
           FatDateOk(e.accessDate(), rules.currentYear);
}

void FatLongNameAccumulator::add(const FatDirEntry& e) {
    const uint8_t sum = readU8(e.raw, 13);
    if (sum != checksum_) name_.clear();
    checksum_ = sum;
    static constexpr size_t kUnitOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    char16_t units[13];
    for (size_t i = 0; i < 13; ++i) units[i] = static_cast<char16_t>(readLe16(e.raw, kUnitOffsets[i]));
    std::string piece;
    for (size_t i = 0; i < 13; ++i) {
        const char16_t u = units[i];
        if (u == 0 || u == 0xFFFF) continue;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < 13 && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            piece += WideToMultiByte(std::u16string_view(&units[i], 2));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            piece += '_';  // what cannot be converted shows as "_"
        } else {
            piece += WideToMultiByte(std::u16string_view(&units[i], 1));
        }
    }
    // Long names are at most 255 units; a hostile run of pieces stops growing.
    if (name_.size() + piece.size() > 1024) return;
    name_.insert(0, piece);
}

std::string FatShortName(const FatDirEntry& e) {
    std::string s(8, ' ');
    for (size_t i = 0; i < 8; ++i) {
        const uint8_t c = readU8(e.raw, i);
        if (FatShortCharOk(c)) s[i] = static_cast<char>(c);
    }
    if (e.deleted()) s[0] = '#';
    s = trimBlanks(std::move(s));
    return s.empty() ? "_" : s;
}

std::string FatShortExt(const FatDirEntry& e) {
    std::string s(3, ' ');
    for (size_t i = 0; i < 3; ++i) {
        const uint8_t c = readU8(e.raw, 8 + i);
        if (FatShortCharOk(c)) s[i] = static_cast<char>(c);
    }
    return AsciiLower(trimBlanks(std::move(s)));
}

std::string FatAttributeText(uint8_t attr) {
    std::string t;
    if (attr & kFatAttrHidden) t += "H-";
    t += (attr & kFatAttrReadOnly) ? "R-" : "RW-";
    if (attr & kFatAttrSystem) t += "S-";
    if (!t.empty() && t.back() == '-') t.pop_back();
    return t;
}

std::unique_ptr<FatFoundFile> MakeFatFoundFile(const FatDirEntry& e, const std::string& longName,
                                               FatKind kind, std::string* lowerName,
                                               std::string* lowerExt) {
    std::string name;
    std::string ext;
    if (!longName.empty()) {
        const size_t dot = longName.rfind('.');
        if (dot != std::string::npos && dot > 0) {
            name = longName.substr(0, dot);
            ext = AsciiLower(longName.substr(dot + 1));
        } else {
            name = longName;
            ext = FatShortExt(e);
        }
    } else {
        name = FatShortName(e);
        ext = FatShortExt(e);
    }
    auto rec = std::make_unique<FatFoundFile>();
    const std::string full = ext.empty() ? name : name + "." + ext;
    copyToField(rec->name, sizeof(rec->name), cutUtf8(full, sizeof(rec->name) - 1));
    copyToField(rec->ext, sizeof(rec->ext), cutUtf8(ext, sizeof(rec->ext) - 1));
    copyToField(rec->attributes, sizeof(rec->attributes), FatAttributeText(e.attr()));
    rec->size = e.size();
    rec->firstCluster = e.firstCluster(kind);
    rec->creationTime = e.creationTime();
    rec->creationDate = e.creationDate();
    rec->accessDate = e.accessDate();
    rec->writeTime = e.writeTime();
    rec->writeDate = e.writeDate();
    rec->selected = 0;
    rec->deleted = e.deleted();
    if (lowerName) *lowerName = AsciiLower(name);
    if (lowerExt) *lowerExt = ext;
    return rec;
}

std::string FatFolderName(const FatDirEntry& e, const std::string& longName) {
    if (!longName.empty()) return longName;
    std::string n = FatShortName(e);
    const std::string x = FatShortExt(e);
    return x.empty() ? n : n + "." + x;
}

bool FatStartsWithDotEntries(ByteSpan cluster) {
    return readU8(cluster, 0) == '.' && readU8(cluster, 32) == '.' && readU8(cluster, 33) == '.';
}

uint32_t FatDotDotCluster(ByteSpan cluster, FatKind kind) {
    const uint32_t lo = readLe16(cluster, 58);
    if (kind == FatKind::Fat32) return (uint32_t{readLe16(cluster, 52)} << 16) | lo;
    return lo;
}

bool FatIsDirectorySector(ByteSpan sector, const FatEntryRules& rules) {
    const size_t sectorBytes = rules.bytesPerSector < sector.size() ? rules.bytesPerSector : sector.size();
    const size_t count = sectorBytes / kFatEntrySize;
    if (count >= 2 && bytesEqual(sector, 0, ".       ") && bytesEqual(sector, 32, "..      ")) return true;

    bool valid = true;
    bool endSeen = false;
    int expected = 0;
    size_t counted = 0;
    std::vector<std::string_view> names;
    const uint32_t maxCluster = rules.totalSectors / (rules.sectorsPerCluster ? rules.sectorsPerCluster : 1);
    for (size_t i = 0; i < count; ++i) {
        const FatDirEntry e{sector.subspan(i * kFatEntrySize, kFatEntrySize)};
        const uint8_t b0 = e.first();
        if (b0 == 0) {
            if (i < 2) return false;
            endSeen = true;
            continue;
        }
        const uint8_t a = e.attr();
        const bool attrOk = a <= 8 || (a >= 15 && a <= 23) || (a >= 32 && a <= 39) || (a >= 48 && a <= 55);
        if (!attrOk) {
            valid = false;
            break;
        }
        if (a == kFatAttrLongName) {
            if (e.lowWord() != 0) {
                valid = false;
                break;
            }
            if (!e.deleted()) {
                if (expected == 0) {
                    expected = int{b0} - 0x40;
                } else if (int{b0} == expected - 1) {
                    expected = b0;
                } else {
                    valid = false;
                    break;
                }
            }
            ++counted;
            continue;
        }
        expected = 0;
        if (a == kFatAttrVolumeLabel) {
            if (e.size() != 0) {
                valid = false;
                break;
            }
        } else if (a & kFatAttrReadOnly) {
            if (readU8(e.raw, 8) == 0 || readU8(e.raw, 9) == 0 || readU8(e.raw, 10) == 0) {
                valid = false;
                break;
            }
            for (size_t k = 0; k < 8; ++k)
                if (readU8(e.raw, k) == 0) valid = false;
        } else {
            bool ok = FatDateOk(e.creationDate(), rules.currentYear) &&
                      FatDateOk(e.writeDate(), rules.currentYear) && FatDateOk(e.accessDate(), rules.currentYear);
            ok = ok && (e.creationTime() >> 11) <= 24 && (e.writeTime() >> 11) <= 24 &&
                 ((e.creationTime() >> 5) & 0x3F) <= 59;
            for (size_t k = 1; k < 11 && ok; ++k)
                if (!FatShortCharOk(readU8(e.raw, k))) ok = false;
            if (!ok) {
                valid = false;
                break;
            }
            if (!valid) break;
            if (e.firstCluster(rules.kind) > maxCluster) {
                valid = false;
                break;
            }
            if (!e.deleted()) {
                size_t len = 0;
                while (len < kFatEntrySize && readU8(e.raw, len) != 0) ++len;
                const std::string_view text(reinterpret_cast<const char*>(e.raw.data()), len);
                bool repeated = false;
                for (const auto& n : names)
                    if (n == text) repeated = true;
                if (repeated) {
                    valid = false;
                    break;
                }
                names.push_back(text);
            }
        }
        ++counted;
    }
    if (counted == 0) return false;
    if (valid) return true;
    return endSeen;
}

}  // namespace vantor
