#include "dialogs/preview.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantor {
namespace {

TEST(PreviewTest, ImageTypeByName) {
    EXPECT_EQ(ImageTypeForName("photo.JPEG"), kImageJpg);
    EXPECT_EQ(ImageTypeForName("photo.jpg"), kImageJpg);
    EXPECT_EQ(ImageTypeForName("logo.wbmp"), kImageWbmp);  // not the bmp row
    EXPECT_EQ(ImageTypeForName("a.BMP"), kImageBmp);
    EXPECT_EQ(ImageTypeForName("scan.tiff"), kImageTif);
    EXPECT_EQ(ImageTypeForName("x.emf"), kImageWmf);
    EXPECT_EQ(ImageTypeForName("x.j2c"), kImageJpc);
    EXPECT_EQ(ImageTypeForName("x.jp2"), kImageJp2);
    EXPECT_EQ(ImageTypeForName("x.ppm"), kImagePnm);
    EXPECT_EQ(ImageTypeForName("x.ras"), kImageRas);
    EXPECT_EQ(ImageTypeForName("note.txt"), kImageNone);
    // By the end of the name only: no dot needed.
    EXPECT_EQ(ImageTypeForName("dump_png"), kImagePng);
    EXPECT_EQ(ImageTypeForName("ng"), kImageNone);
    EXPECT_EQ(ImageTypeForName(""), kImageNone);
}

TEST(PreviewTest, ChoosePreviewCapsPictureReads) {
    EXPECT_EQ(ChoosePreview("a.png", 1000), PreviewKind::Picture);
    EXPECT_EQ(ChoosePreview("a.txt", 1000), PreviewKind::Dump);
    EXPECT_EQ(ChoosePreview("a.png", kMaxPicturePreviewBytes + 1), PreviewKind::Dump);
    EXPECT_EQ(DumpLength(100, kFatDumpBytes), 100u);
    EXPECT_EQ(DumpLength(5000000000ull, kFatDumpBytes), 1024u);
    EXPECT_EQ(DumpLength(5000, kNtfsDumpBytes), 512u);
}

std::vector<std::byte> Bytes(std::initializer_list<int> v) {
    std::vector<std::byte> out;
    for (int b : v) out.push_back(static_cast<std::byte>(b));
    return out;
}

TEST(PreviewTest, DumpLineFormat) {
    auto b = Bytes({'A', 'B', 0, '"', ' ', 0x7E, 0x7F, 0x80, 0x0A, 'z', 0xFF, 0x21, '0', '1', '2', '3'});
    EXPECT_EQ(DumpText(b),
              "00000000  41 42 00 22  20 7E 7F 80  0A 7A FF 21  30 31 32 33   AB ..~...z.!0123");
}

TEST(PreviewTest, DumpShortLastLine) {
    std::vector<std::byte> b(18, std::byte{'x'});
    b[17] = std::byte{0xAB};
    EXPECT_EQ(DumpText(b),
              "00000000  78 78 78 78  78 78 78 78  78 78 78 78  78 78 78 78   xxxxxxxxxxxxxxxx\r\n"
              "00000010  78 AB  x.");
    EXPECT_EQ(DumpText({}), "");
}

TEST(PreviewTest, DumpOfFourKilobytesHas256Lines) {
    std::vector<std::byte> b(4096);
    const std::string text = DumpText(b);
    size_t lines = 1;
    for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++lines;
    EXPECT_EQ(lines, 256u);
    const size_t second = text.find("\r\n") + 2;
    EXPECT_EQ(text.substr(second, 10), "00000010  ");
    EXPECT_NE(text.find("00000FF0  "), std::string::npos);
}

TEST(PreviewTest, ThumbnailPlacement) {
    EXPECT_EQ(PlaceThumbnail(200, 100), (PlacedRect{0, 0, 90, 90}));
    EXPECT_EQ(PlaceThumbnail(50, 60), (PlacedRect{20, 15, 50, 60}));
    // One side clipped, the other kept: the proportions change.
    EXPECT_EQ(PlaceThumbnail(300, 30), (PlacedRect{0, 30, 90, 30}));
    EXPECT_EQ(PlaceThumbnail(0, -5), (PlacedRect{45, 45, 0, 0}));
}

TEST(PreviewTest, CanvasCentredAndClipped) {
    EXPECT_EQ(PlaceCanvas(100, 50, 400, 300), (PlacedRect{150, 125, 100, 50}));
    EXPECT_EQ(PlaceCanvas(1000, 50, 400, 300), (PlacedRect{0, 125, 400, 50}));
}

}  // namespace
}  // namespace vantor
