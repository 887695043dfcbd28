#pragma once
// Driving a result page by mouse in tests: the partition of an attached
// fixture, clicks on folders, their check boxes and the rows' check boxes.
#include <QAbstractItemView>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <string>

#include "disk/disk_inventory.h"
#include "shell/ui/results/result_list_view.h"
#include "shell/ui/results/result_page.h"
#include "shell/ui/results/result_tree_view.h"
#include "ui_test_support.h"

namespace vantor::ui::uitest {

inline QPoint CheckIndicator(QAbstractItemView* view, const QModelIndex& index) {
    QStyleOptionViewItem opt;
    opt.initFrom(view);
    opt.rect = view->visualRect(index);
    opt.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    return view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, view).center();
}

// Attaches the image alone and returns its first partition named fs.
inline PartitionRecord AttachPartition(const QString& image, const std::string& fs) {
    AttachFixtures({image});
    CDiskInventory inventory;
    inventory.Refresh();
    for (const PartitionRecord& r : inventory.partitions())
        if (r.fileSystemName() == fs) return r;
    ADD_FAILURE() << "no " << fs << " partition on " << image.toStdString();
    return {};
}

class PageDriver {
public:
    virtual ~PageDriver() = default;
    virtual CResultPage* view() const = 0;

    CResultTreeView* tree() const { return view()->treeView(); }
    QTreeView* details() const { return view()->listView()->details(); }
    QTreeWidgetItem* item(const QString& text) const {
        const auto found = tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    Qt::CheckState mark(const QString& text) const {
        return item(text) ? item(text)->checkState(0) : Qt::Unchecked;
    }
    bool checked(const QString& text) const { return item(text) && mark(text) == Qt::Checked; }
    // Checked or partly checked: something below is ticked.
    bool marked(const QString& text) const { return item(text) && mark(text) != Qt::Unchecked; }
    bool partly(const QString& text) const { return item(text) && mark(text) == Qt::PartiallyChecked; }
    void clickFolder(const QString& text) const {
        QTreeWidgetItem* i = item(text);
        ASSERT_NE(i, nullptr) << qPrintable(text);
        tree()->scrollToItem(i);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(i).center());
        ASSERT_EQ(tree()->currentItem(), i);
    }
    void clickFolderCheck(const QString& text) const {
        QTreeWidgetItem* i = item(text);
        ASSERT_NE(i, nullptr) << qPrintable(text);
        tree()->scrollToItem(i);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, CheckIndicator(tree(), tree()->indexFromItem(i)));
    }
    void clickRowCheck(int row) const {
        const QModelIndex index = details()->model()->index(row, 0);
        QTest::mouseClick(details()->viewport(), Qt::LeftButton, {}, CheckIndicator(details(), index));
    }
    QString cell(int row, int column) const { return details()->model()->index(row, column).data().toString(); }
    int rows() const { return details()->model()->rowCount(); }
    int rowFor(const QString& name) const {
        for (int r = 0; r < rows(); ++r)
            if (cell(r, 0) == name) return r;
        return -1;
    }
    bool rowChecked(int row) const {
        return details()->model()->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    }
    // The tree handles check propagation from a posted message.
    static void settle() { QTest::qWait(30); }
};

}  // namespace vantor::ui::uitest
