#pragma once
// The one kind of button the application has: four faces by bitmap resource
// number (normal, pressed, hover, disabled), hover tracking, and nothing else
// drawn but a focus ring when Tab reaches it. The caption is the button's
// text for accessibility, never painted. Space and Return press it.
#include <QAbstractButton>

namespace vantor::ui {

class CSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    enum class Face { Normal, Pressed, Hover, Disabled };

    CSkinButton(const QString& caption, QWidget* parent, const QRect& rect, int commandId);

    // 0 for pressed, hover or disabled means the normal face.
    void SetFaces(int normal, int pressed, int hover, int disabled);

    int commandId() const { return commandId_; }
    bool loaded() const { return loaded_; }
    bool hovered() const { return hovered_; }
    // The face the next paint shows, and its resource number.
    Face currentFace() const;
    int currentFaceNumber() const;
    int faceNumber(Face face) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setHovered(bool on);

    int commandId_;
    int faces_[4] = {0, 0, 0, 0};
    bool loaded_ = false;
    bool hovered_ = false;
};

}  // namespace vantor::ui
