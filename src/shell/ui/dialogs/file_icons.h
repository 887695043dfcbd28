#pragma once
// The shell's icon and type name for a file name, asked as for a normal
// file that need not exist: the name alone decides (nothing is read from
// disk). Results are kept per extension. Interface thread only.
#include <QIcon>
#include <QImage>
#include <QString>

namespace vantor::ui {

QIcon FileIconForName(const QString& name);
// The large icon drawn into a thumbnail cell.
QImage LargeFileIconImage(const QString& name, int size = 48);
// "Plain text document", "JPEG image", ...; never empty.
QString FileTypeNameFor(const QString& name);

}  // namespace vantor::ui
