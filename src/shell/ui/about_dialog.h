#pragma once
// The about box: product name, version and what the program does.
#include <QDialog>

namespace vantor::ui {

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vantor::ui
