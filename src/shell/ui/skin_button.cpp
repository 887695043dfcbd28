#include "shell/ui/skin_button.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "shell/ui/skin.h"

namespace vantor::ui {

CSkinButton::CSkinButton(const QString& caption, QWidget* parent, const QRect& rect, int commandId)
    : QAbstractButton(parent), commandId_(commandId) {
    setText(caption);
    setAccessibleName(caption);
    setObjectName(caption);
    setGeometry(rect);
    // Reached by Tab, not taken by a click: the mouse leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    show();
}

void CSkinButton::SetFaces(int normal, int pressed, int hover, int disabled) {
    faces_[0] = normal;
    faces_[1] = pressed ? pressed : normal;
    faces_[2] = hover ? hover : normal;
    faces_[3] = disabled ? disabled : normal;
    loaded_ = true;
    update();
}

CSkinButton::Face CSkinButton::currentFace() const {
    if (!isEnabled()) return Face::Disabled;
    if (isDown()) return Face::Pressed;
    if (hovered_) return Face::Hover;
    return Face::Normal;
}

int CSkinButton::faceNumber(Face face) const { return faces_[static_cast<int>(face)]; }

int CSkinButton::currentFaceNumber() const { return loaded_ ? faceNumber(currentFace()) : 0; }

QSize CSkinButton::sizeHint() const {
    if (!loaded_) return {};
    return SkinPixmap(faces_[0]).deviceIndependentSize().toSize();
}

void CSkinButton::paintEvent(QPaintEvent*) {
    if (!loaded_) return;
    const QPixmap face = SkinPixmap(currentFaceNumber());
    if (face.isNull()) return;
    QPainter painter(this);
    // Unscaled, clipped to the button, as the face bitmap is blitted.
    const qreal ratio = face.devicePixelRatio();
    const QRect target(QPoint(0, 0), size());
    painter.drawPixmap(target, face, QRectF(0, 0, target.width() * ratio, target.height() * ratio).toRect());
    if (hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 2, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(target).adjusted(2, 2, -2, -2), 4, 4);
    }
}

void CSkinButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void CSkinButton::setHovered(bool on) {
    if (hovered_ == on) return;
    hovered_ = on;
    update();
}

void CSkinButton::enterEvent(QEnterEvent* event) {
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event) {
    setHovered(rect().contains(event->position().toPoint()));
    QAbstractButton::mouseMoveEvent(event);
}

void CSkinButton::changeEvent(QEvent* event) {
    // A button disabled under the mouse gets no leave event.
    if (event->type() == QEvent::EnabledChange && !isEnabled()) hovered_ = false;
    QAbstractButton::changeEvent(event);
}

// A hidden button gets no leave event either; it comes back at rest.
void CSkinButton::hideEvent(QHideEvent* event) {
    hovered_ = false;
    QAbstractButton::hideEvent(event);
}

}  // namespace vantor::ui

