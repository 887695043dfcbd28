#include "shell/ui/skin.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

static void InitSkinResource() { Q_INIT_RESOURCE(skin); }

namespace vantor::ui {

namespace {

QString SkinPath(int number) { return QStringLiteral(":/skin/%1.svg").arg(number); }

// The family the skin's texts fall back to: the first installed sans font.
QString FallbackSans() {
    const QStringList wanted{"DejaVu Sans", "Liberation Sans", "Noto Sans", "FreeSans", "Arial"};
    const QStringList have = QFontDatabase::families();
    for (const QString& family : wanted) {
        if (have.contains(family)) return family;
    }
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

}  // namespace

void InitSkin() {
    static bool done = false;
    if (done) return;
    done = true;
    InitSkinResource();
    QPixmapCache::setCacheLimit(64 * 1024);  // KB; the whole skin fits
    const QString sans = FallbackSans();
    for (const char* name : {"MS Sans Serif", "Ms Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2"}) {
        QFont::insertSubstitution(QString::fromLatin1(name), sans);
    }
    // File icons come from the icon theme; without one they are blank. With
    // no desktop platform theme (offscreen, bare X) Qt searches only its
    // resources, so the XDG icon folders are added.
    QStringList paths = QIcon::themeSearchPaths();
    QStringList dataDirs = qEnvironmentVariable("XDG_DATA_DIRS").split(':', Qt::SkipEmptyParts);
    if (dataDirs.isEmpty()) dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    dataDirs.prepend(QDir::homePath() + QStringLiteral("/.local/share"));
    for (const QString& dir : dataDirs) {
        const QString icons = dir + QStringLiteral("/icons");
        if (!paths.contains(icons) && QDir(icons).exists()) paths << icons;
    }
    QIcon::setThemeSearchPaths(paths);
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

bool HasSkinImage(int number) { return QFile::exists(SkinPath(number)); }

QPixmap SkinPixmap(int number, QSize size) {
    // Rendered at the screen's pixel ratio, so the skin stays sharp on
    // high-density screens; sizes stay in layout pixels.
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QString key = QStringLiteral("vantor-skin-%1-%2x%3@%4").arg(number).arg(size.width()).arg(size.height()).arg(ratio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) return pixmap;
    QSvgRenderer renderer(SkinPath(number));
    if (!renderer.isValid()) return {};
    const QSize target = size.isValid() ? size : renderer.defaultSize();
    pixmap = QPixmap(target * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(target)));
    painter.end();
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QFont SkinFont(int pointSize, bool bold) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    // Points as a 96-dpi screen shows them, whatever the platform reports.
    font.setPixelSize((pointSize * 96 + 36) / 72);
    font.setBold(bold);
    return font;
}

}  // namespace vantor::ui
