#pragma once
// The result page's folder tree: draws the model's FolderTree with check
// boxes (partly ticked folders partly checked) and folder images, and turns
// clicks into the model's check propagation and folder selection. The views
// and the page reach each other through the page's window messages
// (WM_USER + 2 and + 3). The object name is the engine's window class.
#include <QHash>
#include <QTreeWidget>

#include "dialogs/result_page_model.h"

namespace vantor::ui {

class CResultListView;

class CResultTreeView : public QTreeWidget {
    Q_OBJECT
public:
    CResultTreeView(const QString& className, QWidget* parent);

    void setModel(ResultPageModel* model) { model_ = model; }
    void setListView(CResultListView* list) { list_ = list; }
    void setPage(QObject* page) { page_ = page; }

    // Builds the items again from the model's tree (after a scan), selects
    // the model's selected folder and expands the root.
    void rebuild();
    // A node the model appended while a scan runs.
    void addNode(FolderNode& node);
    QTreeWidgetItem* itemFor(const FolderNode* node) const { return items_.value(node); }
    static FolderNode* nodeOf(const QTreeWidgetItem* item);

    // Shows every node's check mark from the model again.
    void refreshChecks();
    // Counts the selection over the whole tree and sends it to the page.
    void sendSelectionTotals();

protected:
    bool event(QEvent* event) override;

private:
    void onItemChanged(QTreeWidgetItem* item, int column);
    void onCurrentChanged(QTreeWidgetItem* current);
    void onItemExpansion(QTreeWidgetItem* item, bool expanded);
    QTreeWidgetItem* makeItem(QTreeWidgetItem* parent, FolderNode* node);
    QTreeWidgetItem* addItem(QTreeWidgetItem* parent, FolderNode* node);

    ResultPageModel* model_ = nullptr;
    CResultListView* list_ = nullptr;
    QObject* page_ = nullptr;
    QHash<const FolderNode*, QTreeWidgetItem*> items_;
    // Clicked check boxes not yet handled: a second click may come before
    // the first one's refresh shows the model's marks again.
    QHash<const FolderNode*, bool> clicked_;
    bool updating_ = false;
};

}  // namespace vantor::ui
