#include "shell/ui/fat/fat_tree_view.h"

#include <QHeaderView>

#include "fat/fat_scan.h"
#include "shell/page_ids.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/fat/fat_list_view.h"
#include "shell/ui/skin.h"
#include "shell/ui/tree_style.h"
#include "shell/ui/window_message.h"

namespace vantor::ui {

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;

// The tree's image list, skin icons in the order every folder tree uses:
// 0 root / not read, 1-2 live and lost folders, 3-4 deleted folders
// (normal, selected).
const QPixmap& TreeImage(int index) {
    static const QPixmap images[5] = {SkinPixmap(186), SkinPixmap(184), SkinPixmap(187), SkinPixmap(185),
                                      SkinPixmap(183)};
    return images[index >= 0 && index < 5 ? index : 0];
}

}  // namespace

TTreeView_FAT::TTreeView_FAT(FatPageModel& model, QWidget* parent) : QTreeWidget(parent), model_(model) {
    setObjectName(QStringLiteral("TTreeView_FAT"));
    setColumnCount(1);
    setHeaderHidden(true);
    setStyle(TreeLineStyle());
    setIndentation(18);
    setFont(DialogFont(8));
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    connect(this, &QTreeWidget::itemChanged, this, &TTreeView_FAT::onItemChanged);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { onCurrentChanged(current); });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* i) { onItemExpansion(i, true); });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* i) { onItemExpansion(i, false); });
}

FolderNode* TTreeView_FAT::nodeOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<FolderNode*>(item->data(0, kNodeRole).value<quintptr>()) : nullptr;
}

QIcon TTreeView_FAT::imageFor(const FolderNode* node, bool) const {
    QIcon icon;
    icon.addPixmap(TreeImage(node->image), QIcon::Normal);
    icon.addPixmap(TreeImage(node->selectedImage), QIcon::Selected);
    return icon;
}

QTreeWidgetItem* TTreeView_FAT::addItem(QTreeWidgetItem* parent, FolderNode* node) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, Q(node->text));
    item->setIcon(0, imageFor(node, false));
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, node->checked ? Qt::Checked : Qt::Unchecked);
    items_.insert(node, item);
    for (const auto& child : node->children()) addItem(item, child.get());
    return item;
}

void TTreeView_FAT::rebuild() {
    updating_ = true;
    clear();
    items_.clear();
    if (FolderNode* root = model_.tree().root()) {
        QTreeWidgetItem* rootItem = addItem(nullptr, root);
        // Nodes the engine marked expanded open as they were; the root always.
        for (auto it = items_.cbegin(); it != items_.cend(); ++it)
            if (it.key()->expanded) it.value()->setExpanded(true);
        rootItem->setExpanded(true);
    }
    updating_ = false;
    if (QTreeWidgetItem* sel = itemFor(model_.selectedFolder() ? model_.selectedFolder() : model_.tree().root()))
        setCurrentItem(sel);
}

void TTreeView_FAT::onItemExpansion(QTreeWidgetItem* item, bool expanded) {
    if (FolderNode* node = nodeOf(item)) node->expanded = expanded;
}

void TTreeView_FAT::refreshChecks() {
    updating_ = true;
    for (auto it = items_.cbegin(); it != items_.cend(); ++it) {
        const Qt::CheckState want = it.key()->checked ? Qt::Checked : Qt::Unchecked;
        if (it.value()->checkState(0) != want) it.value()->setCheckState(0, want);
    }
    updating_ = false;
}

void TTreeView_FAT::onItemChanged(QTreeWidgetItem* item, int column) {
    if (updating_ || column != 0) return;
    FolderNode* node = nodeOf(item);
    if (!node || node->checked == (item->checkState(0) == Qt::Checked)) return;
    // Posted to itself so the item's new check state is in place when handled.
    PostWindowMessage(this, kMsgCheckPropagation, 0, reinterpret_cast<intptr_t>(node));
}

void TTreeView_FAT::onCurrentChanged(QTreeWidgetItem* current) {
    if (updating_) return;
    FolderNode* node = nodeOf(current);
    if (!node) return;
    model_.selectFolder(node);
    if (list_) list_->reload();
    const FatTotals t = model_.folderTotals();
    if (page_)
        SendWindowMessage(page_, kMsgFolderTotals, static_cast<intptr_t>(t.files), static_cast<intptr_t>(t.bytes));
}

void TTreeView_FAT::sendSelectionTotals() {
    const FatTotals t = model_.countSelected();
    if (page_)
        SendWindowMessage(page_, kMsgCheckPropagation, static_cast<intptr_t>(t.files),
                          static_cast<intptr_t>(t.bytes));
}

bool TTreeView_FAT::event(QEvent* e) {
    if (e->type() != WindowMessageEvent::eventType()) return QTreeWidget::event(e);
    auto* msg = static_cast<WindowMessageEvent*>(e);
    if (msg->message != kMsgCheckPropagation) return QTreeWidget::event(e);
    auto* node = reinterpret_cast<FolderNode*>(msg->lParam);
    QTreeWidgetItem* item = node ? itemFor(node) : nullptr;
    if (msg->wParam == 0 && item) {
        // The tree's own check box: down through the subtree, then upwards.
        model_.setFolderChecked(node, item->checkState(0) == Qt::Checked);
    }
    // wParam 1: a list check box, already applied to the records and folders.
    refreshChecks();
    if (list_) list_->refreshChecks();
    sendSelectionTotals();
    msg->result = 1;
    return true;
}

}  // namespace vantor::ui
