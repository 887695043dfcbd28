#include "dialogs/filter_criteria.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace vantor {

namespace {

struct GroupRow {
    const char* text;
    const char* list;
};

constexpr GroupRow kGroups[kExtensionGroupCount] = {
    {"All Files (*.*)", ""},
    {"Office Files (*.doc | *.dot | *.xls | *.xlw | *.ppt | *.docx | *.xlsx | *.pptx | *.mdb)",
     "doc.dot.xls.xlw.ppt.docx.xlsx.pptx.mdb"},
    {"Web Files (*.html | *.htm | *.htx | *.asp | *.stm | *.shtml)", "htm.htx.asp.stm.shtml"},
    {"Image Files (*.bmp | *.dib | *.gif | *.jpg | *.jpe | *.ico | *.cur | *.tif | *.png)",
     "bmp.gif.jpg.png.mng.ico.tif.tga.pcx.wbmp.wmf.j2k.jbg.jp2.jpc.pgx.pnm.ras"},
    {"Sound Files (*.wav | *.mp3 | *.mid | *.asf | *.wmv)", "wav.mp3.mid.asf.wmv"},
    {"Movie Files (*.avi | *.mpg | *.mp4 | *.asf | *.rm | *.rmvb | *.mov)", "avi.mpg.mp4.asf.rm.rmvb.mov"},
    {"Email Files (*.dbx | *.pst | *.box)", "dbx.pst.box.stg.bak.ADC.INDX.uidl"},
};

std::string lowered(std::string s) {
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}

bool parseDecimal(const std::string& text, double& out) {
    const char* begin = text.c_str();
    char* end = nullptr;
    out = std::strtod(begin, &end);
    if (end == begin) out = 0;
    return end != begin;
}

}  // namespace

const char* ExtensionGroupText(int group) {
    return group >= 0 && group < kExtensionGroupCount ? kGroups[group].text : "";
}

const char* ExtensionGroupList(int group) {
    return group >= 0 && group < kExtensionGroupCount ? kGroups[group].list : "";
}

void ChooseExtensionGroup(FilterCriteria& c, int group) {
    c.extGroup = group;
    if (group > 0 && group < kExtensionGroupCount) c.extList = kGroups[group].list;
}

void ResetForQuickSearch(FilterCriteria& c, uint16_t todayDosDate) {
    c.extGroup = 0;
    c.dateMode = kDateIgnore;
    c.sizeMode = kSizeIgnore;
    c.minSizeKB = 0;
    c.maxSizeKB = 0;
    c.date = todayDosDate;
}

CriteriaValidation ValidateSizeFields(const std::string& firstText, const std::string& secondText,
                                      bool secondShown, double& first, double& second) {
    parseDecimal(firstText, first);
    parseDecimal(secondText, second);
    if (first == 0 && firstText != "0") return CriteriaValidation::StayOpenSilently;
    // The integer part; std::trunc, since a huge text must not overflow a cast.
    if (std::trunc(second) == 0 && secondText != "0")
        return CriteriaValidation::StayOpenSilently;
    if (secondShown && first > second) return CriteriaValidation::StartLargerThanEnd;
    return CriteriaValidation::Ok;
}

bool ExtensionPassesExact(const FilterCriteria& c, const std::string& extension) {
    if (c.extGroup == 0) return true;
    const std::string ext = lowered(extension);
    size_t start = 0;
    const std::string& list = c.extList;
    while (start <= list.size()) {
        size_t dot = list.find('.', start);
        if (dot == std::string::npos) dot = list.size();
        if (list.compare(start, dot - start, ext) == 0 && dot - start == ext.size()) return true;
        start = dot + 1;
    }
    return false;
}

bool ExtensionPassesNtfsScan(const FilterCriteria& c, const std::string& name) {
    if (c.extGroup < 1) return true;
    size_t firstDot = name.find('.');
    const std::string ext = firstDot == std::string::npos ? std::string() : lowered(name.substr(firstDot + 1));
    // Only pieces followed by a dot are compared: the list's last entry is not.
    size_t start = 0;
    for (size_t dot = c.extList.find('.'); dot != std::string::npos; dot = c.extList.find('.', start)) {
        if (c.extList.compare(start, dot - start, ext) == 0 && dot - start == ext.size()) return true;
        start = dot + 1;
    }
    return false;
}

bool ExtensionPassesSubstring(const FilterCriteria& c, const std::string& extension) {
    if (c.extGroup == 0) return true;
    const std::string ext = lowered(extension);
    return !ext.empty() && c.extList.find(ext) != std::string::npos;
}

bool DatePasses(const FilterCriteria& c, uint16_t dosDate) {
    switch (c.dateMode) {
        case kDateBefore: return dosDate < c.date;
        case kDateAfter: return dosDate > c.date;
        case kDateOn: return dosDate == c.date;
        default: return true;
    }
}

bool SizePasses(const FilterCriteria& c, uint64_t sizeBytes) {
    const double s = static_cast<double>(sizeBytes);
    switch (c.sizeMode) {
        case kSizeEqual: {
            char a[64], b[64];
            std::snprintf(a, sizeof a, "%.2f", c.minSizeKB);
            std::snprintf(b, sizeof b, "%.2f", s / 1024.0);
            return std::string(a) == b;
        }
        case kSizeSmaller: return s < c.minSizeKB * 1024.0;
        case kSizeLarger: return s > c.minSizeKB * 1024.0;
        case kSizeBetween: return c.minSizeKB * 1024.0 < s && s < c.maxSizeKB * 1024.0;
        default: return true;
    }
}

bool NamePasses(const FilterCriteria& c, const std::string& name) {
    if (c.namePart.empty()) return true;
    return lowered(name).find(lowered(c.namePart)) != std::string::npos;
}

bool MatchesCriteria(const FilterCriteria& c, const std::string& extension, const std::string& name,
                     uint64_t sizeBytes, uint16_t dosDate) {
    return ExtensionPassesExact(c, extension) && DatePasses(c, dosDate) && SizePasses(c, sizeBytes) &&
           NamePasses(c, name);
}

}  // namespace vantor
