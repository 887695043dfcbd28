#pragma once
// Looking at a found file before recovering it: "View Image File..." draws a
// decoded picture, "View File Information..." shows the hex and character
// dump of its first bytes. PreviewFoundFile picks between them the way a
// double click does.
#include <QDialog>
#include <QImage>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class QPlainTextEdit;

namespace vantor::ui {

// Decodes with the decoder the name's type code calls for (ImageTypeForName)
// and with no other; a type Qt has no decoder for gives a null image.
QImage DecodePicture(const std::byte* data, size_t size, int imageType);

// 90 x 90 cell: white, the picture clipped per side to 90 and centred (or
// the icon at 22,24 when there is no picture), a one-pixel 0xC0C0C0 frame.
QImage ComposeThumbnail(const QImage& picture, const QImage& icon);

// "View File Information..." (template 188).
class CFileInfoDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFileInfoDlg(const QString& dumpText, QWidget* parent = nullptr);
    QString text() const;

private:
    QPlainTextEdit* edit_ = nullptr;
};

// The owner-drawn canvas of the image dialog.
class CImageCanvas : public QWidget {
    Q_OBJECT
public:
    explicit CImageCanvas(QWidget* parent);
    void setImage(const QImage* image) { image_ = image; update(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage* image_ = nullptr;
};

// "View Image File..." (template 189); the image is not owned.
class CImageViewDlg : public QDialog {
    Q_OBJECT
public:
    explicit CImageViewDlg(const QImage* image, QWidget* parent = nullptr);
    CImageCanvas* canvas() const { return canvas_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void placeCanvas();
    const QImage* image_;
    CImageCanvas* canvas_ = nullptr;
};

// Reads up to n leading bytes of the file (n = its size for a picture);
// false when the data cannot be read. The page supplies it from its engine.
using FileReader = std::function<bool(uint64_t n, std::vector<std::byte>& out)>;

enum class PreviewShown { Picture, Dump };
// Double click on a found file: a picture when the name calls for one and it
// decodes, else the dump of at most dumpCap leading bytes. showModal shows
// the dialog (tests replace it); by default it runs exec().
PreviewShown PreviewFoundFile(const QString& name, uint64_t size, size_t dumpCap, const FileReader& read,
                              QWidget* parent, const std::function<void(QDialog&)>& showModal = {});

}  // namespace vantor::ui
