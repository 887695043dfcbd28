#pragma once
// The start page's category list: an owner-drawn list of two bitmap items,
// 180 pixels each; a selection change reports WM_USER + 16 with the index
// to the parent window.
#include <QListWidget>

namespace vantor::ui {

class CSkinCategoryList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kItemHeight = 180;

    CSkinCategoryList(QWidget* parent, const QRect& rect);

    // The face drawn for an item: 227/226 for item 0, 233/232 for item 1.
    static int FaceFor(int index, bool selected);
    // Rectangle of an item's face inside the list (left + 5, top + 47).
    QRect faceRect(int index) const;
};

}  // namespace vantor::ui
