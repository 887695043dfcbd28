// One QApplication for every Qt test, on the offscreen platform unless the
// caller chose another.
#include <QApplication>
#include <QStyleFactory>
#include <gtest/gtest.h>

#include "shell/ui/skin.h"

#if defined(__SANITIZE_ADDRESS__)
// Qt, fontconfig and the platform plugin keep process-wide caches until exit;
// leak reports about them would drown any real finding.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
#endif

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    vantor::ui::InitSkin();
    return RUN_ALL_TESTS();
}
