// vantor-gui: the desktop application.
#include <QApplication>
#include <QGuiApplication>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>

#include "shell/ui/skin.h"
#include "shell/ui/tolam_app.h"

namespace {

// Qt aborts when it finds no display; say what to do instead.
bool DisplayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* v = std::getenv(name);
        if (v && *v) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (!DisplayAvailable()) {
        std::fprintf(stderr,
                     "vantor-gui: no display found. Start it on a virtual display (xvfb-run vantor-gui) "
                     "or use the command-line tool: vantor drives, vantor scan, vantor recover.\n");
        return 1;
    }
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
