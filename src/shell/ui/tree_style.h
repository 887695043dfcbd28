#pragma once
// Tree views drawn as the system's tree control with "lines" and "lines at
// root": dotted connector lines between the items, beside the expand arrows.
class QStyle;

namespace vantor::ui {

// One shared style for every tree of the application (owned by the
// application object of Qt, so it outlives the trees).
QStyle* TreeLineStyle();

}  // namespace vantor::ui
