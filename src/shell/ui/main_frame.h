#pragma once
// The borderless 770 x 505 main window: the drawn caption with Minimize and
// Close, dragged by any free spot of the caption, hosting the one view; F1
// anywhere in it opens the help.
#include <QPoint>
#include <QWidget>

namespace vantor::ui {

class CHomeView;
class CSkinButton;
class CTolamApp;

inline constexpr int kFrameWidth = 770;
inline constexpr int kFrameHeight = 505;
inline constexpr int kCaptionHeight = 35;

class CMainFrame : public QWidget {
    Q_OBJECT
public:
    explicit CMainFrame(CTolamApp& app, QWidget* parent = nullptr);

    CHomeView* view() const { return view_; }
    CSkinButton* minimizeButton() const { return minimize_; }
    CSkinButton* closeButton() const { return close_; }

    // Where the frame goes: centred in the work area.
    static QPoint CentredPosition(const QRect& workArea);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CHomeView* view_ = nullptr;
    CSkinButton* minimize_ = nullptr;
    CSkinButton* close_ = nullptr;
    bool dragging_ = false;
    QPoint dragOffset_;
};

}  // namespace vantor::ui
