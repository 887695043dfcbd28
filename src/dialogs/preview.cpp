#include "dialogs/preview.h"

#include <algorithm>
#include <cstdio>

#include "platform/codepage.h"

namespace vantor {

namespace {

bool EndsWith(const std::string& lowerName, const char* tail) {
    const std::string t(tail);
    return lowerName.size() >= t.size() && lowerName.compare(lowerName.size() - t.size(), t.size(), t) == 0;
}

struct TypeRow {
    int type;
    const char* tails[3];
};

// Order matters: "wbmp" must be seen before "bmp".
constexpr TypeRow kRows[] = {
    {kImageWbmp, {"wbmp"}},        {kImageBmp, {"bmp"}},
    {kImageGif, {"gif"}},          {kImageJpg, {"jpg", "jpeg"}},
    {kImagePng, {"png"}},          {kImageIco, {"ico"}},
    {kImageTif, {"tif", "tiff"}},  {kImageTga, {"tga"}},
    {kImagePcx, {"pcx"}},          {kImageWmf, {"wmf", "emf"}},
    {kImageJp2, {"j2k", "jp2"}},   {kImageJpc, {"j2c", "jpc"}},
    {kImagePgx, {"pgx"}},          {kImagePnm, {"pnm", "pgm", "ppm"}},
    {kImageRas, {"ras"}},
};

char DumpChar(std::byte b) {
    const auto c = std::to_integer<unsigned char>(b);
    if (c == 0) return ' ';
    if (c >= 0x21 && c <= 0x7E && c != '"') return static_cast<char>(c);
    return '.';
}

}  // namespace

int ImageTypeForName(const std::string& name) {
    const std::string lower = AsciiLower(name);
    for (const TypeRow& row : kRows)
        for (const char* tail : row.tails)
            if (tail && EndsWith(lower, tail)) return row.type;
    return kImageNone;
}

std::string DumpText(std::span<const std::byte> bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() / 16 * 80 + 80);
    for (size_t line = 0; line * 16 < bytes.size(); ++line) {
        if (line) out += "\r\n";
        char offset[32];
        std::snprintf(offset, sizeof offset, "%08zX  ", line * 16);
        out += offset;
        const size_t end = std::min(bytes.size(), line * 16 + 16);
        for (size_t i = line * 16; i < end; ++i) {
            const auto c = std::to_integer<unsigned char>(bytes[i]);
            out += kHex[c >> 4];
            out += kHex[c & 15];
            out += ' ';
            if ((i - line * 16) % 4 == 3) out += ' ';
        }
        out += ' ';
        for (size_t i = line * 16; i < end; ++i) out += DumpChar(bytes[i]);
    }
    return out;
}

PreviewKind ChoosePreview(const std::string& name, uint64_t size) {
    if (ImageTypeForName(name) == kImageNone || size > kMaxPicturePreviewBytes) return PreviewKind::Dump;
    return PreviewKind::Picture;
}

PlacedRect PlaceThumbnail(int imageWidth, int imageHeight) {
    return PlaceCanvas(imageWidth, imageHeight, kThumbnailSize, kThumbnailSize);
}

PlacedRect PlaceCanvas(int imageWidth, int imageHeight, int clientWidth, int clientHeight) {
    PlacedRect r;
    r.width = std::max(0, std::min(imageWidth, clientWidth));
    r.height = std::max(0, std::min(imageHeight, clientHeight));
    r.x = (clientWidth - r.width) / 2;
    r.y = (clientHeight - r.height) / 2;
    return r;
}

}  // namespace vantor
