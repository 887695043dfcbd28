#pragma once
// The FAT page's folder tree: draws the model's FolderTree with check boxes
// and folder images, and turns clicks into the model's check propagation
// and folder selection. The two views and the page reach each other through
// the page's window messages (WM_USER + 2 and + 3).
#include <QHash>
#include <QTreeWidget>

#include "fat/fat_page_model.h"

namespace vantor::ui {

class TListView_FAT;

class TTreeView_FAT : public QTreeWidget {
    Q_OBJECT
public:
    TTreeView_FAT(FatPageModel& model, QWidget* parent);

    void setListView(TListView_FAT* list) { list_ = list; }
    void setPage(QObject* page) { page_ = page; }

    // Builds the items again from the model's tree (after a scan), selects
    // the model's selected folder and expands the root.
    void rebuild();
    QTreeWidgetItem* itemFor(const FolderNode* node) const { return items_.value(node); }
    static FolderNode* nodeOf(const QTreeWidgetItem* item);

    // Shows every node's check state from the model again.
    void refreshChecks();
    // Counts the selection over the whole tree and sends it to the page.
    void sendSelectionTotals();

protected:
    bool event(QEvent* event) override;

private:
    void onItemChanged(QTreeWidgetItem* item, int column);
    void onCurrentChanged(QTreeWidgetItem* current);
    void onItemExpansion(QTreeWidgetItem* item, bool expanded);
    QTreeWidgetItem* addItem(QTreeWidgetItem* parent, FolderNode* node);
    QIcon imageFor(const FolderNode* node, bool selected) const;

    FatPageModel& model_;
    TListView_FAT* list_ = nullptr;
    QObject* page_ = nullptr;
    QHash<const FolderNode*, QTreeWidgetItem*> items_;
    bool updating_ = false;
};

}  // namespace vantor::ui
