// Preview: the type code by name decides which decoder is tried, a picture
// that does not decode falls back to the dump, where the canvas and the
// thumbnail picture land, and the two dialogs themselves.
#include <QBuffer>
#include <QPlainTextEdit>
#include <cstring>
#include <gtest/gtest.h>

#include "dialogs/preview.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/preview_dialogs.h"

using namespace vantor;
using namespace vantor::ui;

namespace {

std::vector<std::byte> Encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    const auto* p = reinterpret_cast<const std::byte*>(bytes.constData());
    return {p, p + bytes.size()};
}

QImage Solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

FileReader FromMemory(const std::vector<std::byte>& file, int* reads = nullptr, bool fail = false) {
    return [&file, reads, fail](uint64_t n, std::vector<std::byte>& out) {
        if (reads) ++*reads;
        if (fail) return false;
        out.assign(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(std::min<uint64_t>(n, file.size())));
        return true;
    };
}

struct Shown {
    QString title;
    QString text;
    QSize canvas;
};

std::function<void(QDialog&)> Capture(Shown& shown) {
    return [&shown](QDialog& dlg) {
        shown.title = dlg.windowTitle();
        if (auto* edit = dlg.findChild<QPlainTextEdit*>(ControlName(1022))) shown.text = edit->toPlainText();
        if (auto* canvas = dlg.findChild<CImageCanvas*>(QStringLiteral("Image Preview Canvas")))
            shown.canvas = canvas->size();
    };
}

}  // namespace

TEST(PreviewDecode, TheNamesTypeChoosesTheDecoder) {
    const auto png = Encode(Solid(30, 20, Qt::red), "PNG");
    const auto jpg = Encode(Solid(30, 20, Qt::blue), "JPEG");
    const auto bmp = Encode(Solid(7, 5, Qt::green), "BMP");
    EXPECT_EQ(DecodePicture(png.data(), png.size(), kImagePng).size(), QSize(30, 20));
    EXPECT_EQ(DecodePicture(jpg.data(), jpg.size(), kImageJpg).size(), QSize(30, 20));
    EXPECT_EQ(DecodePicture(bmp.data(), bmp.size(), kImageBmp).size(), QSize(7, 5));
    // PNG bytes under a JPEG name are not sniffed into a picture.
    EXPECT_TRUE(DecodePicture(png.data(), png.size(), kImageJpg).isNull());
    EXPECT_TRUE(DecodePicture(png.data(), png.size(), kImageNone).isNull());
    // Types without a decoder here (PCX, Sun raster) give nothing.
    EXPECT_TRUE(DecodePicture(png.data(), png.size(), kImagePcx).isNull());
    EXPECT_TRUE(DecodePicture(nullptr, 0, kImagePng).isNull());
}

TEST(PreviewDecode, TruncatedAndHostileDataDoNotCrash) {
    auto png = Encode(Solid(64, 64, Qt::red), "PNG");
    for (size_t cut : {size_t{8}, size_t{33}, png.size() / 2})
        (void)DecodePicture(png.data(), cut, kImagePng);  // may decode partly, must not crash
    // A BMP header claiming 100000 x 100000 pixels is refused before decoding.
    auto bmp = Encode(Solid(4, 4, Qt::red), "BMP");
    const int32_t huge = 100000;
    std::memcpy(bmp.data() + 18, &huge, 4);
    std::memcpy(bmp.data() + 22, &huge, 4);
    EXPECT_TRUE(DecodePicture(bmp.data(), bmp.size(), kImageBmp).isNull());
}

TEST(PreviewFoundFile, PicturesShowAsPicturesAndEverythingElseAsDump) {
    const auto jpg = Encode(Solid(200, 100, Qt::blue), "JPEG");
    Shown shown;
    EXPECT_EQ(PreviewFoundFile(QStringLiteral("photo.JPEG"), jpg.size(), kFatDumpBytes, FromMemory(jpg), nullptr,
                               Capture(shown)),
              PreviewShown::Picture);
    EXPECT_EQ(shown.title, QStringLiteral("View Image File..."));
    EXPECT_EQ(shown.canvas, QSize(200, 100));

    std::vector<std::byte> text(3000);
    for (size_t i = 0; i < text.size(); ++i) text[i] = std::byte('A' + i % 26);
    shown = {};
    EXPECT_EQ(PreviewFoundFile(QStringLiteral("note.txt"), text.size(), kFatDumpBytes, FromMemory(text), nullptr,
                               Capture(shown)),
              PreviewShown::Dump);
    EXPECT_EQ(shown.title, QStringLiteral("View File Information..."));
    const QStringList lines = shown.text.split('\n');
    EXPECT_EQ(lines.size(), 1024 / 16);  // the FAT page dumps at most 1024 bytes
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("00000010  ")));

    // A text file named .png: tried as a picture, shown as the dump.
    shown = {};
    int reads = 0;
    EXPECT_EQ(PreviewFoundFile(QStringLiteral("fake.png"), text.size(), kFatDumpBytes, FromMemory(text, &reads),
                               nullptr, Capture(shown)),
              PreviewShown::Dump);
    EXPECT_EQ(reads, 2);
    EXPECT_TRUE(shown.text.startsWith(QStringLiteral("00000000  41 42 43 44  45")));

    // Unreadable data: the dump of nothing, no message.
    shown = {};
    EXPECT_EQ(PreviewFoundFile(QStringLiteral("gone.jpg"), 5000, kFatDumpBytes, FromMemory(text, nullptr, true),
                               nullptr, Capture(shown)),
              PreviewShown::Dump);
    EXPECT_EQ(shown.title, QStringLiteral("View File Information..."));
    EXPECT_TRUE(shown.text.isEmpty());
}

TEST(ImageViewDialog, CanvasIsClippedToTheClientAndCentred) {
    const QImage small = Solid(200, 100, Qt::red);
    CImageViewDlg dlg(&small);
    dlg.resize(400, 300);
    dlg.show();
    EXPECT_EQ(dlg.canvas()->geometry(), QRect(100, 100, 200, 100));
    const QImage big = Solid(1000, 50, Qt::red);
    CImageViewDlg wide(&big);
    wide.resize(400, 300);
    wide.show();
    EXPECT_EQ(wide.canvas()->geometry(), QRect(0, 125, 400, 50));
    // The squeezed picture fills its canvas; the dialog around it is white.
    const QImage shot = wide.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(200, 150)), QColor(Qt::red));
    EXPECT_EQ(QColor(shot.pixel(200, 20)), QColor(Qt::white));
    CImageViewDlg none(nullptr);
    none.show();
    EXPECT_EQ(none.canvas()->size(), QSize(0, 0));
}

TEST(Thumbnails, CellsAreWhiteFramedAndPlaceThePicture) {
    const QColor frame(0xC0, 0xC0, 0xC0);
    const QImage wide = ComposeThumbnail(Solid(200, 100, Qt::red), {});
    ASSERT_EQ(wide.size(), QSize(90, 90));
    // 200 x 100 is squeezed into the whole 90 x 90 cell, frame drawn last.
    EXPECT_EQ(QColor(wide.pixel(0, 0)), frame);
    EXPECT_EQ(QColor(wide.pixel(89, 45)), frame);
    EXPECT_EQ(QColor(wide.pixel(2, 2)), QColor(Qt::red));
    EXPECT_EQ(QColor(wide.pixel(87, 87)), QColor(Qt::red));

    const QImage small = ComposeThumbnail(Solid(50, 60, Qt::blue), {});
    EXPECT_EQ(QColor(small.pixel(19, 45)), QColor(Qt::white));
    EXPECT_EQ(QColor(small.pixel(20, 15)), QColor(Qt::blue));  // unscaled at (20, 15)
    EXPECT_EQ(QColor(small.pixel(69, 74)), QColor(Qt::blue));
    EXPECT_EQ(QColor(small.pixel(70, 75)), QColor(Qt::white));

    const QImage icon = ComposeThumbnail({}, Solid(8, 8, Qt::green));
    EXPECT_EQ(QColor(icon.pixel(22, 24)), QColor(Qt::green));
    EXPECT_EQ(QColor(icon.pixel(21, 24)), QColor(Qt::white));
    EXPECT_EQ(QColor(icon.pixel(0, 89)), frame);
}

TEST(FileInfoDialog, ShowsTheDumpInAFixedFont) {
    CFileInfoDlg dlg(QStringLiteral("00000000  41 \r\n00000010  42 "));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("View File Information..."));
    auto* edit = dlg.findChild<QPlainTextEdit*>(ControlName(1022));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_TRUE(QFontInfo(edit->font()).fixedPitch());
    EXPECT_EQ(dlg.text(), QStringLiteral("00000000  41 \n00000010  42 "));
}
