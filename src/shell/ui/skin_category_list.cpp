#include "shell/ui/skin_category_list.h"

#include <QPainter>
#include <QStyledItemDelegate>

#include "shell/page_ids.h"
#include "shell/ui/skin.h"
#include "shell/ui/window_message.h"

namespace vantor::ui {

namespace {

class CategoryDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        const QPixmap face = SkinPixmap(CSkinCategoryList::FaceFor(index.row(), selected));
        if (face.isNull()) return;
        painter->drawPixmap(option.rect.left() + 5, option.rect.top() + 47, face);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return {option.rect.width(), CSkinCategoryList::kItemHeight};
    }
};

}  // namespace

CSkinCategoryList::CSkinCategoryList(QWidget* parent, const QRect& rect) : QListWidget(parent) {
    setObjectName(QStringLiteral("CategoryList"));
    setGeometry(rect);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setFocusPolicy(Qt::NoFocus);
    setUniformItemSizes(true);
    setItemDelegate(new CategoryDelegate(this));
    setCursor(Qt::PointingHandCursor);
    // The list never erases: the start page's left panel shows through.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    viewport()->setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(QStringLiteral("QListWidget { background: transparent; border: none; }"));
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0) return;
        SendWindowMessage(parentWidget(), kMsgSelectCategory, row, row);
    });
}

int CSkinCategoryList::FaceFor(int index, bool selected) {
    if (index == 0) return selected ? 226 : 227;
    if (index == 1) return selected ? 232 : 233;
    return 0;
}

QRect CSkinCategoryList::faceRect(int index) const {
    const QRect item = visualItemRect(this->item(index));
    return {item.left() + 5, item.top() + 47, 131, 90};
}

}  // namespace vantor::ui
