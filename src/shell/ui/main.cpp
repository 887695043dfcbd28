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
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    vantor::ui::StartOptions options;
    QString error;
    if (!vantor::ui::ParseCommandLine(args, options, error)) {
        std::fprintf(stderr, "vantor-gui: %s\n%s", qPrintable(error), qPrintable(vantor::ui::CommandLineHelpText()));
        return 2;
    }
    if (options.showHelp) {
        std::fputs(qPrintable(vantor::ui::CommandLineHelpText()), stdout);
        return 0;
    }
    if (!DisplayAvailable()) {
        std::fprintf(stderr,
                     "vantor-gui: no display found. Start it on a virtual display (xvfb-run vantor-gui) "
                     "or use the command-line tool: vantor drives, vantor scan, vantor recover.\n");
        return 1;
    }
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantor Data Recovery"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    vantor::ui::CTolamApp app;
    if (!app.StartUp(options)) return 1;
    const int rc = QApplication::exec();
    app.ShutDown();
    return rc;
}
