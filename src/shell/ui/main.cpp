// vantor-gui: the desktop application.
#include <QApplication>
#include <QGuiApplication>
#include <QStyleFactory>
#include <cstdio>

#include "shell/ui/skin.h"
#include "shell/ui/tolam_app.h"

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantor Data Recovery"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    vantor::ui::StartOptions options;
    QString error;
    if (!vantor::ui::ParseCommandLine(QApplication::arguments(), options, error)) {
        std::fprintf(stderr, "vantor-gui: %s\n", qPrintable(error));
        return 2;
    }
    vantor::ui::CTolamApp app;
    if (!app.StartUp(options)) return 1;
    const int rc = QApplication::exec();
    app.ShutDown();
    return rc;
}
