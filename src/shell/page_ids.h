#pragma once
// Page numbers, scan modes and the window-message numbers pages exchange.
#include <cstdint>

namespace vantor {

inline constexpr int kPageStart = 101;
inline constexpr int kPageDriveBrowser = 102;
inline constexpr int kPageResult = 103;
inline constexpr int kPageOutlookRepair = 107;
inline constexpr int kPageOutlookExpressRepair = 108;
inline constexpr int kPageEmailReport = 109;

inline constexpr int kModeDeleted = 10000;
inline constexpr int kModePartition = 10001;
inline constexpr int kModeFormatted = 10002;
inline constexpr int kModeRaw = 10003;

inline constexpr int kCategoryNone = 500;
inline constexpr int kCategoryDataRecovery = 502;
inline constexpr int kCategoryEmailRepair = 505;

inline constexpr uint32_t kWmUser = 0x0400;
inline constexpr uint32_t kMsgSwitchPage = kWmUser + 1;
inline constexpr uint32_t kMsgCheckPropagation = kWmUser + 2;
inline constexpr uint32_t kMsgFolderTotals = kWmUser + 3;
inline constexpr uint32_t kMsgStop = kWmUser + 5;
inline constexpr uint32_t kMsgThumbnailsDone = kWmUser + 8;
inline constexpr uint32_t kMsgSelectCategory = kWmUser + 16;
inline constexpr uint32_t kMsgNtfsFoundItem = kWmUser + 0x100;

// File-type groups the scan pages of the deleted mode apply.
inline constexpr int kFileTypeNone = 0;
inline constexpr int kFileTypePictures = 3;
inline constexpr int kFileTypeEmail = 6;

}  // namespace vantor
