#include "shell/ui/tree_style.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace vantor::ui {

namespace {

class CTreeLineStyle : public QProxyStyle {
public:
    CTreeLineStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element == PE_IndicatorBranch) {
            const QRect r = option->rect;
            const int x = r.left() + r.width() / 2;
            const int y = r.top() + r.height() / 2;
            // Lines stop short of the expand arrow.
            const int gap = (option->state & State_Children) ? 6 : 0;
            painter->save();
            painter->setPen(QPen(QColor(0xA9, 0xB8, 0xC6), 1, Qt::DotLine));
            // Up to the parent, down to the next sibling, right to the item.
            if (option->state & (State_Item | State_Sibling)) painter->drawLine(x, r.top(), x, y - gap);
            if (option->state & State_Sibling) painter->drawLine(x, y + gap, x, r.bottom());
            if (option->state & State_Item) painter->drawLine(x + gap, y, r.right(), y);
            painter->restore();
            if (option->state & State_Children) QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
};

}  // namespace

QStyle* TreeLineStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new CTreeLineStyle;
        style->setParent(qApp);
    }
    return style;
}

}  // namespace vantor::ui
