#pragma once
// What every result page's file list shares: the seven columns, the
// "N files - X unit" summary line and the type text used without a shell.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vantor {

struct ResultColumn {
    const char* title;
    int width;
    bool rightAligned;
};
inline constexpr size_t kResultColumnCount = 7;
inline constexpr std::array<ResultColumn, kResultColumnCount> kResultColumns{{
    {"Name", 200, false},
    {"Size", 80, true},
    {"Type", 100, false},
    {"Attributes", 100, false},
    {"Date Modified", 150, false},
    {"Date Created", 150, false},
    {"Date Accessed", 150, false},
}};

// "%d files - %.2f Byte|KB|MB|GB": the byte count divided by 1024 while it is
// at least 1024, at most three times.
std::string FilesTotalText(uint64_t files, uint64_t bytes);

// "<EXT> File" from the name's last extension, "File" without one.
std::string DefaultFileTypeName(const std::string& name);

}  // namespace vantor
