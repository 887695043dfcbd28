#include "shell/ui/dialogs/file_icons.h"

#include <QApplication>
#include <QHash>
#include <QMimeDatabase>
#include <QPixmap>
#include <QStyle>

namespace vantor::ui {

namespace {

QString ExtensionKey(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

QMimeType MimeForName(const QString& name) {
    static QMimeDatabase db;
    return db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
}

}  // namespace

QIcon FileIconForName(const QString& name) {
    static QHash<QString, QIcon> cache;
    const QString key = ExtensionKey(name);
    auto it = cache.constFind(key);
    if (it != cache.constEnd()) return *it;
    const QMimeType mime = MimeForName(name);
    QIcon icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(mime.genericIconName());
    if (icon.isNull()) icon = QIcon::fromTheme(QStringLiteral("text-x-generic"));
    if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    cache.insert(key, icon);
    return icon;
}

QImage LargeFileIconImage(const QString& name, int size) {
    return FileIconForName(name).pixmap(size, size).toImage();
}

QString FileTypeNameFor(const QString& name) {
    static QHash<QString, QString> cache;
    const QString key = ExtensionKey(name);
    auto it = cache.constFind(key);
    if (it != cache.constEnd()) return *it;
    const QMimeType mime = MimeForName(name);
    QString text;
    if (!mime.isDefault() && !mime.comment().isEmpty()) {
        text = mime.comment();
        text[0] = text[0].toUpper();
    } else {
        text = key.isEmpty() ? QStringLiteral("File") : key.toUpper() + QStringLiteral(" File");
    }
    cache.insert(key, text);
    return text;
}

}  // namespace vantor::ui
