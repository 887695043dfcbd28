#include "shell/ui/results/result_tree_view.h"

#include <QHeaderView>

#include "shell/page_ids.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/results/result_list_view.h"
#include "shell/ui/skin.h"
#include "shell/ui/tree_style.h"
#include "shell/ui/window_message.h"

namespace vantor::ui {

namespace {

constexpr int kNodeRole = Qt::UserRole + 1;
constexpr int kShownMarkRole = Qt::UserRole + 2;

// The tree's image list, skin icons in the order every folder tree uses:
// 0 root / not read, 1-2 live and lost folders, 3-4 deleted folders
// (normal, selected).
const QPixmap& TreeImage(int index) {
    static const QPixmap images[5] = {SkinPixmap(186), SkinPixmap(184), SkinPixmap(187), SkinPixmap(185),
                                      SkinPixmap(183)};
    return images[index >= 0 && index < 5 ? index : 0];
}

Qt::CheckState StateOf(CheckMark mark) {
    switch (mark) {
        case CheckMark::Checked: return Qt::Checked;
        case CheckMark::Partly: return Qt::PartiallyChecked;
        case CheckMark::Unchecked: break;
    }
    return Qt::Unchecked;
}

}  // namespace

CResultTreeView::CResultTreeView(const QString& className, QWidget* parent) : QTreeWidget(parent) {
    setObjectName(className);
    setColumnCount(1);
    setHeaderHidden(true);
    setStyle(TreeLineStyle());
    setIndentation(18);
    setFont(DialogFont(8));
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(true);
    setFocusPolicy(Qt::StrongFocus);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    connect(this, &QTreeWidget::itemChanged, this, &CResultTreeView::onItemChanged);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { onCurrentChanged(current); });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* i) { onItemExpansion(i, true); });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* i) { onItemExpansion(i, false); });
}

FolderNode* CResultTreeView::nodeOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<FolderNode*>(item->data(0, kNodeRole).value<quintptr>()) : nullptr;
}

QTreeWidgetItem* CResultTreeView::makeItem(QTreeWidgetItem* parent, FolderNode* node) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, Q(node->text));
    QIcon icon;
    icon.addPixmap(TreeImage(node->image), QIcon::Normal);
    icon.addPixmap(TreeImage(node->selectedImage), QIcon::Selected);
    item->setIcon(0, icon);
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, node->checked ? Qt::Checked : Qt::Unchecked);
    item->setData(0, kShownMarkRole, static_cast<int>(item->checkState(0)));
    items_.insert(node, item);
    return item;
}

QTreeWidgetItem* CResultTreeView::addItem(QTreeWidgetItem* parent, FolderNode* node) {
    // Iterative: a hostile image can nest folders far deeper than the stack.
    QTreeWidgetItem* top = makeItem(parent, node);
    std::vector<std::pair<QTreeWidgetItem*, FolderNode*>> work{{top, node}};
    while (!work.empty()) {
        auto [item, n] = work.back();
        work.pop_back();
        for (const auto& child : n->children()) work.push_back({makeItem(item, child.get()), child.get()});
    }
    return top;
}

void CResultTreeView::rebuild() {
    updating_ = true;
    clear();
    items_.clear();
    clicked_.clear();
    if (FolderNode* root = model_ ? model_->tree().root() : nullptr) {
        QTreeWidgetItem* rootItem = addItem(nullptr, root);
        // Nodes the engine marked expanded open as they were; the root always.
        for (auto it = items_.cbegin(); it != items_.cend(); ++it)
            if (it.key()->expanded) it.value()->setExpanded(true);
        rootItem->setExpanded(true);
    }
    updating_ = false;
    refreshChecks();
    if (!model_) return;
    if (QTreeWidgetItem* sel = itemFor(model_->selectedFolder() ? model_->selectedFolder() : model_->tree().root()))
        setCurrentItem(sel);
}

void CResultTreeView::addNode(FolderNode& node) {
    updating_ = true;
    // The root comes first; a node whose parent has no item yet brings it.
    std::vector<FolderNode*> chain;
    for (FolderNode* n = &node; n && !itemFor(n); n = n->parent()) chain.push_back(n);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        FolderNode* n = *it;
        QTreeWidgetItem* parentItem = n->parent() ? itemFor(n->parent()) : nullptr;
        QTreeWidgetItem* item = makeItem(parentItem, n);
        if (!n->parent()) item->setExpanded(true);
    }
    updating_ = false;
}

void CResultTreeView::onItemExpansion(QTreeWidgetItem* item, bool expanded) {
    if (FolderNode* node = nodeOf(item)) node->expanded = expanded;
}

void CResultTreeView::refreshChecks() {
    if (!model_) return;
    updating_ = true;
    model_->forEachMark([this](const FolderNode& node, CheckMark mark) {
        QTreeWidgetItem* item = itemFor(&node);
        if (!item) return;
        const Qt::CheckState want = StateOf(mark);
        if (item->checkState(0) != want) item->setCheckState(0, want);
        item->setData(0, kShownMarkRole, static_cast<int>(want));
    });
    updating_ = false;
}

void CResultTreeView::onItemChanged(QTreeWidgetItem* item, int column) {
    if (updating_ || column != 0) return;
    FolderNode* node = nodeOf(item);
    if (!node || item->data(0, kShownMarkRole).toInt() == static_cast<int>(item->checkState(0))) return;
    // Posted to itself so the item's new check state is in place when handled.
    clicked_.insert(node, item->checkState(0) == Qt::Checked);
    PostWindowMessage(this, kMsgCheckPropagation, 0, reinterpret_cast<intptr_t>(node));
}

void CResultTreeView::onCurrentChanged(QTreeWidgetItem* current) {
    if (updating_ || !model_) return;
    FolderNode* node = nodeOf(current);
    if (!node) return;
    model_->selectFolder(node);
    if (list_) list_->reload();
    if (page_) SendWindowMessage(page_, kMsgFolderTotals, 0, 0);
}

void CResultTreeView::sendSelectionTotals() {
    if (page_) SendWindowMessage(page_, kMsgCheckPropagation, 0, 0);
}

bool CResultTreeView::event(QEvent* e) {
    if (e->type() != WindowMessageEvent::eventType()) return QTreeWidget::event(e);
    auto* msg = static_cast<WindowMessageEvent*>(e);
    if (msg->message != kMsgCheckPropagation || !model_) return QTreeWidget::event(e);
    auto* node = reinterpret_cast<FolderNode*>(msg->lParam);
    QTreeWidgetItem* item = node ? itemFor(node) : nullptr;
    if (msg->wParam == 0 && item) {
        // The tree's own check box: down through the subtree, then upwards.
        model_->setFolderChecked(node, clicked_.value(node, item->checkState(0) == Qt::Checked));
        clicked_.remove(node);
    }
    // wParam 1: a list check box, already applied to the files and folders.
    refreshChecks();
    if (list_) list_->refreshChecks();
    sendSelectionTotals();
    msg->result = 1;
    return true;
}

}  // namespace vantor::ui
