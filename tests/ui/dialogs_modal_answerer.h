#pragma once
// Answers modal dialogs the code under test opens: every few milliseconds
// (the timer also runs inside nested modal loops) the active modal widget,
// when new, is handed to the test's handler, which clicks what a user would.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <vector>

namespace vantor::ui::uitest {

class ModalAnswerer {
public:
    using Handler = std::function<void(QWidget* modal)>;
    explicit ModalAnswerer(Handler handler) : handler_(std::move(handler)) {
        timer_.setInterval(15);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    int answered() const { return answered_; }
    const std::vector<QString>& titles() const { return titles_; }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == last_.data() || !modal->isVisible()) return;
        last_ = modal;
        ++answered_;
        titles_.push_back(modal->windowTitle());
        handler_(modal);
    }
    Handler handler_;
    QTimer timer_;
    QPointer<QWidget> last_;
    int answered_ = 0;
    std::vector<QString> titles_;
};

// Clicks the child button with this object name ("ctl6"), later, from the
// event loop, as a user would.
inline void ClickLater(QWidget* dialog, const QString& objectName) {
    QTimer::singleShot(0, dialog, [dialog, objectName] {
        if (auto* b = dialog->findChild<QAbstractButton*>(objectName)) b->click();
    });
}

}  // namespace vantor::ui::uitest
