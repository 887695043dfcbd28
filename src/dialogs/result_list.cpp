#include "dialogs/result_list.h"

#include <cstdio>

namespace vantor {

std::string FilesTotalText(uint64_t files, uint64_t bytes) {
    static const char* const kUnits[] = {"Byte", "KB", "MB", "GB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    char buf[96];
    std::snprintf(buf, sizeof buf, "%llu files - %.2f %s", static_cast<unsigned long long>(files), value,
                  kUnits[unit]);
    return buf;
}

std::string DefaultFileTypeName(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot + 1 >= name.size()) return "File";
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return ext + " File";
}

}  // namespace vantor
