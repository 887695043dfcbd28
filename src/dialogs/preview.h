#pragma once
// The core of the preview: which image decoder a name calls for, the hex
// and character dump of a file's first bytes, how much each page reads, and
// where a picture lands in its canvas or 90 x 90 thumbnail cell.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vantor {

// The image library's format numbers; 0 means "not a picture".
enum ImageType : int {
    kImageNone = 0, kImageBmp = 1, kImageGif = 2, kImageJpg = 3, kImagePng = 4, kImageIco = 5,
    kImageTif = 6, kImageTga = 7, kImagePcx = 8, kImageWbmp = 9, kImageWmf = 10, kImageJp2 = 11,
    kImageJpc = 12, kImagePgx = 13, kImagePnm = 14, kImageRas = 15
};

// Chosen from the end of the name, case-insensitively, first row wins.
int ImageTypeForName(const std::string& name);

// 16 bytes per line: "%08X  ", the bytes in hex with an extra blank after
// every fourth, a blank, then the bytes as characters. Lines separated by CR LF.
std::string DumpText(std::span<const std::byte> bytes);

// How many leading bytes each result page dumps.
inline constexpr size_t kFatDumpBytes = 1024;
inline constexpr size_t kNtfsDumpBytes = 512;
inline constexpr size_t kRawDumpBytes = 512;
inline constexpr size_t kExtDumpBytes = 4096;
// A picture preview reads the whole file into memory; larger files are
// dumped instead, so a hostile size field cannot allocate without bound.
inline constexpr uint64_t kMaxPicturePreviewBytes = 64ull << 20;

enum class PreviewKind { Picture, Dump };
// What a double click tries first for a file of this name and size.
PreviewKind ChoosePreview(const std::string& name, uint64_t size);
// Bytes to read for the dump of a file of size bytes, capped by the page.
inline size_t DumpLength(uint64_t size, size_t pageCap) {
    return size < pageCap ? static_cast<size_t>(size) : pageCap;
}

struct PlacedRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PlacedRect&) const = default;
};

inline constexpr int kThumbnailSize = 90;
// The progress dialog's title while thumbnails are made, and the notice of a
// preview with no row selected.
inline constexpr const char* kThumbnailTitle = "Viewing icon...";
inline constexpr const char* kSelectFileToPreviewText = "Please select a file to preview.";
inline constexpr uint32_t kThumbnailFrameColour = 0xC0C0C0;
// The shell icon of a non-picture sits here in its cell.
inline constexpr PlacedRect kThumbnailIconPlace{22, 24, 0, 0};

// A picture in a thumbnail cell: each side clipped to 90 on its own (the
// proportions are not kept), centred.
PlacedRect PlaceThumbnail(int imageWidth, int imageHeight);
// The image dialog's canvas: clipped to the client area and centred in it.
PlacedRect PlaceCanvas(int imageWidth, int imageHeight, int clientWidth, int clientHeight);

}  // namespace vantor
