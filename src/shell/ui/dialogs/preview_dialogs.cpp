#include "shell/ui/dialogs/preview_dialogs.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <span>

#include "dialogs/preview.h"
#include "shell/ui/dialogs/dialog_common.h"

namespace vantor::ui {

namespace {

// The Qt decoders that stand for each of the library's format numbers.
// Types with no Qt decoder (PCX, metafiles, JPEG 2000, PGX, Sun raster)
// decode to nothing, so the caller falls back as for a broken picture.
QList<QByteArray> DecodersFor(int type) {
    switch (type) {
        case kImageBmp: return {"bmp"};
        case kImageGif: return {"gif"};
        case kImageJpg: return {"jpeg"};
        case kImagePng: return {"png"};
        case kImageIco: return {"ico"};
        case kImageTif: return {"tiff"};
        case kImageTga: return {"tga"};
        case kImageWbmp: return {"wbmp"};
        case kImageJp2:
        case kImageJpc: return {"jp2"};
        case kImagePnm: return {"ppm", "pgm", "pbm"};
        default: return {};
    }
}

// A hostile header must not make the decoder allocate without bound.
constexpr int kMaxPictureSide = 16384;

}  // namespace

QImage DecodePicture(const std::byte* data, size_t size, int imageType) {
    if (!data || size == 0 || size > kMaxPicturePreviewBytes) return {};
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> supported = QImageReader::supportedImageFormats();
    for (const QByteArray& format : DecodersFor(imageType)) {
        if (!supported.contains(format)) continue;
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, format);
        reader.setAutoDetectImageFormat(false);
        reader.setDecideFormatFromContent(false);
        if (!reader.canRead()) continue;
        const QSize s = reader.size();
        if (s.isValid() && (s.width() > kMaxPictureSide || s.height() > kMaxPictureSide)) return {};
        QImage image;
        if (reader.read(&image) && !image.isNull() && image.width() <= kMaxPictureSide &&
            image.height() <= kMaxPictureSide)
            return image;
    }
    return {};
}

QImage ComposeThumbnail(const QImage& picture, const QImage& icon) {
    QImage cell(kThumbnailSize, kThumbnailSize, QImage::Format_RGB32);
    cell.fill(Qt::white);
    QPainter p(&cell);
    if (!picture.isNull()) {
        const PlacedRect r = PlaceThumbnail(picture.width(), picture.height());
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(r.x, r.y, r.width, r.height), picture);
    } else if (!icon.isNull()) {
        p.drawImage(QPoint(kThumbnailIconPlace.x, kThumbnailIconPlace.y), icon);
    }
    p.setPen(QColor(QRgb(kThumbnailFrameColour)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, kThumbnailSize - 1, kThumbnailSize - 1);
    return cell;
}

CFileInfoDlg::CFileInfoDlg(const QString& dumpText, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("View File Information..."));
    setModal(true);
    edit_ = new QPlainTextEdit(this);
    NameControl(edit_, 1022);
    edit_->setReadOnly(true);
    edit_->setFont(FixedFont(10));
    edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The dump separates lines with CR LF; the edit wants one break per line.
    QString shown = dumpText;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    edit_->setPlainText(shown);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit_);
    const int lineWidth = QFontMetrics(edit_->font()).horizontalAdvance(QString(80, QLatin1Char('0')));
    resize(lineWidth + 48, 440);
}

QString CFileInfoDlg::text() const { return edit_->toPlainText(); }

CImageCanvas::CImageCanvas(QWidget* parent) : QWidget(parent) {
    // Control 80; its window text is its name.
    setObjectName(QStringLiteral("Image Preview Canvas"));
    setWindowTitle(QStringLiteral("Image Preview Canvas"));
}

void CImageCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    // Drawn into the canvas rectangle: a picture larger than the client area
    // is squeezed to fit, without smoothing.
    if (image_ && !image_->isNull()) p.drawImage(rect(), *image_);
}

CImageViewDlg::CImageViewDlg(const QImage* image, QWidget* parent) : QDialog(parent), image_(image) {
    setWindowTitle(QStringLiteral("View Image File..."));
    setModal(true);
    canvas_ = new CImageCanvas(this);
    canvas_->setImage(image_);
    const QSize natural = image_ ? image_->size() : QSize();
    resize(std::clamp(natural.width(), 320, 900), std::clamp(natural.height(), 240, 640));
    placeCanvas();
}

void CImageViewDlg::placeCanvas() {
    if (!image_ || image_->isNull()) {
        canvas_->setGeometry(0, 0, 0, 0);
        return;
    }
    const PlacedRect r = PlaceCanvas(image_->width(), image_->height(), width(), height());
    canvas_->setGeometry(r.x, r.y, r.width, r.height);
}

void CImageViewDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    placeCanvas();
}

void CImageViewDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
}

PreviewShown PreviewFoundFile(const QString& name, uint64_t size, size_t dumpCap, const FileReader& read,
                              QWidget* parent, const std::function<void(QDialog&)>& showModal) {
    auto show = [&](QDialog& dlg) {
        if (showModal)
            showModal(dlg);
        else
            dlg.exec();
    };
    const int type = ImageTypeForName(S(name));
    if (ChoosePreview(S(name), size) == PreviewKind::Picture) {
        std::vector<std::byte> data;
        // A picture cut short (part of it overwritten) may still show what it is.
        if (read(size, data) && !data.empty()) {
            const QImage image = DecodePicture(data.data(), data.size(), type);
            if (!image.isNull()) {
                CImageViewDlg dlg(&image, parent);
                show(dlg);
                return PreviewShown::Picture;
            }
        }
    }
    std::vector<std::byte> head;
    if (!read(DumpLength(size, dumpCap), head)) head.clear();
    if (head.size() > dumpCap) head.resize(dumpCap);
    CFileInfoDlg dlg(Q(DumpText(std::span<const std::byte>(head.data(), head.size()))), parent);
    show(dlg);
    return PreviewShown::Dump;
}

}  // namespace vantor::ui
