#pragma once
// The skin: images by bitmap resource number, rendered once from the SVGs of
// the resource bundle, and the fonts the pages draw their texts with.
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QSize>

namespace vantor::ui {

// Registers the compiled resources, the font fall-backs and the icon theme.
// Safe to call more than once; the application and the tests both call it.
void InitSkin();

// Image `number` at its natural size (or scaled to `size` when given), in
// layout pixels (deviceIndependentSize). A number without an image gives a
// null pixmap, so a control simply draws nothing, as a missing bitmap would.
// UI thread only, as every QPixmap.
QPixmap SkinPixmap(int number, QSize size = {});
bool HasSkinImage(int number);

// "MS Sans Serif" 8 point; resolves to an installed sans font through the
// substitution InitSkin sets up.
QFont SkinFont(int pointSize = 8, bool bold = false);

// A rectangle given as the system gives one: left, top, right, bottom, with
// right and bottom just outside it.
inline QRect WinRect(int left, int top, int right, int bottom) { return {left, top, right - left, bottom - top}; }

// Colours of the look that code draws itself (panels, texts on the skin).
inline const QColor kSkinInk{0x12, 0x26, 0x3F};
inline const QColor kSkinMuted{0x5B, 0x70, 0x88};
inline const QColor kSkinAccent{0x12, 0xA5, 0xA0};
inline const QColor kSkinNavy{0x0A, 0x1A, 0x33};

}  // namespace vantor::ui
