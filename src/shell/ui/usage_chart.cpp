#include "shell/ui/usage_chart.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace vantor::ui {

namespace {

QColor Rgb(uint32_t rgb) { return QColor::fromRgb(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF); }

// Drawn at twice the target size so the edges come out smooth.
constexpr int kScale = 2;
// First slice starts at twelve o'clock and the slices run clockwise.
constexpr double kStartDegrees = 90.0;

}  // namespace

QPixmap RenderUsageChart(const std::vector<ChartSlice>& slices, QSize target) {
    const QSize size = target * kScale;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(240, 240, 240));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const double margin = 6.0 * kScale;
    const double rim = size.height() * 0.14;
    const QRectF disc(margin, margin, size.width() - 2 * margin, size.height() - 2 * margin - rim);
    const QRectF base = disc.translated(0, rim);
    QPen pen(Qt::black, 2.0 * kScale);
    pen.setJoinStyle(Qt::RoundJoin);

    // The rim: the lower half-ellipse swept down by its depth, in grey with a
    // black outline, under the disc.
    QPainterPath side;
    side.moveTo(disc.left(), disc.center().y());
    side.arcTo(base, 180, 180);
    side.lineTo(disc.right(), disc.center().y());
    side.arcTo(disc, 0, -180);
    side.closeSubpath();
    p.setPen(pen);
    p.setBrush(QColor(120, 120, 120));
    p.drawPath(side);

    double angle = kStartDegrees;
    if (slices.size() == 1 || slices.empty()) {
        p.setBrush(slices.empty() ? QColor(190, 190, 190) : Rgb(slices[0].rgb));
        p.drawEllipse(disc);
    } else {
        for (const ChartSlice& s : slices) {
            const double span = -360.0 * s.share;
            p.setBrush(Rgb(s.rgb));
            p.drawPie(disc, static_cast<int>(std::lround(angle * 16)), static_cast<int>(std::lround(span * 16)));
            angle += span;
        }
    }
    // A soft highlight on the upper half keeps the flat colours from looking
    // like a diagram.
    QLinearGradient shine(disc.topLeft(), disc.bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255, 90));
    shine.setColorAt(0.5, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(disc.adjusted(pen.widthF(), pen.widthF(), -pen.widthF(), -pen.widthF()));
    p.end();
    // Kept at twice the density: painted into the chart rectangle it is
    // smoothed down on ordinary screens and exact on high-density ones.
    image.setDevicePixelRatio(kScale);
    return QPixmap::fromImage(image);
}

}  // namespace vantor::ui
