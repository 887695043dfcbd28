#include "shell/ui/results/result_list_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QStackedLayout>
#include <QTreeView>

#include "dialogs/result_list.h"
#include "shell/page_ids.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/file_icons.h"
#include "shell/ui/results/result_tree_view.h"
#include "shell/ui/window_message.h"

namespace vantor::ui {

namespace {

constexpr int kNameColumn = 0;
constexpr int kColumnCount = static_cast<int>(kResultColumnCount);

bool Overwritten(DataCondition c) {
    return c == DataCondition::Overwritten || c == DataCondition::PartlyOverwritten;
}

}  // namespace

ResultListModel::ResultListModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultListModel::setModel(ResultPageModel* model) {
    beginResetModel();
    model_ = model;
    endResetModel();
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !model_ ? 0 : static_cast<int>(model_->rowCount());
}

int ResultListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto row = static_cast<size_t>(index.row());
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return Q(model_->cellText(row, column));
        case Qt::ToolTipRole: {
            if (column != kNameColumn) return {};
            QString tip = QStringLiteral("%1\n%2").arg(Q(model_->rowName(row)), Q(model_->cellText(row, 1)));
            if (model_->rowDeleted(row)) tip += QStringLiteral(", deleted");
            const DataCondition c = model_->rowCondition(row);
            if (Overwritten(c)) {
                const std::string_view text = DataConditionText(c);
                tip += QStringLiteral("\nData %1").arg(QString::fromLatin1(text.data(), qsizetype(text.size())));
            }
            return tip;
        }
        case Qt::ForegroundRole:
            if (Overwritten(model_->rowCondition(row))) return QColor(0x9A, 0xA5, 0xB1);
            return {};
        case Qt::DecorationRole:
            if (column != kNameColumn) return {};
            if (thumbnails_) {
                const size_t image = model_->rowImageIndex(row);
                if (image < tiles_.size() && !tiles_[image].isNull()) return tiles_[image];
                return FileIconForName(Q(model_->rowName(row))).pixmap(48, 48);
            }
            return FileIconForName(Q(model_->rowName(row)));
        case Qt::CheckStateRole:
            if (column != kNameColumn) return {};
            return model_->rowChecked(row) ? Qt::Checked : Qt::Unchecked;
        case Qt::TextAlignmentRole:
            if (thumbnails_) return {};
            return QVariant::fromValue(Qt::AlignVCenter | (kResultColumns[static_cast<size_t>(column)].rightAligned
                                                               ? Qt::AlignRight
                                                               : Qt::AlignLeft));
        default:
            return {};
    }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
    const auto& column = kResultColumns[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole) return QString::fromLatin1(column.title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (column.rightAligned ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

Qt::ItemFlags ResultListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kNameColumn) f |= Qt::ItemIsUserCheckable;
    return f;
}

bool ResultListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != kNameColumn) return false;
    emit rowCheckToggled(index.row(), value.toInt() == Qt::Checked);
    return true;
}

void ResultListModel::reload() {
    beginResetModel();
    endResetModel();
}

void ResultListModel::refreshChecks() {
    if (rowCount() == 0) return;
    emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

void ResultListModel::setThumbnailMode(bool on) {
    if (thumbnails_ == on) return;
    // Same rows, other pictures: the selected row stays selected.
    emit layoutAboutToBeChanged();
    thumbnails_ = on;
    emit layoutChanged();
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void ResultListModel::resetThumbnails(size_t count) { tiles_.assign(count, QImage()); }

void ResultListModel::setThumbnail(size_t imageIndex, const QImage& tile) {
    if (imageIndex >= tiles_.size() || !model_) return;
    tiles_[imageIndex] = tile;
    for (size_t row = 0; row < model_->rowCount(); ++row)
        if (model_->rowImageIndex(row) == imageIndex) {
            const QModelIndex i = index(static_cast<int>(row), 0);
            emit dataChanged(i, i, {Qt::DecorationRole});
            break;
        }
}

const QImage& ResultListModel::thumbnail(size_t imageIndex) const {
    static const QImage none;
    return imageIndex < tiles_.size() ? tiles_[imageIndex] : none;
}

CResultListView::CResultListView(const QString& className, QWidget* parent) : QWidget(parent) {
    setObjectName(className);
    items_ = new ResultListModel(this);

    details_ = new QTreeView(this);
    details_->setObjectName(QStringLiteral("details"));
    details_->setModel(items_);
    details_->setFont(DialogFont(8));
    details_->setRootIsDecorated(false);
    details_->setItemsExpandable(false);
    details_->setUniformRowHeights(true);
    details_->setAllColumnsShowFocus(true);
    details_->setSelectionBehavior(QAbstractItemView::SelectRows);
    details_->setSelectionMode(QAbstractItemView::SingleSelection);
    details_->setAlternatingRowColors(true);
    details_->setIconSize(QSize(16, 16));
    details_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = details_->header();
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    for (int c = 0; c < kColumnCount; ++c) details_->setColumnWidth(c, kResultColumns[static_cast<size_t>(c)].width);
    connect(header, &QHeaderView::sectionClicked, this, &CResultListView::headerClicked);

    icons_ = new QListView(this);
    icons_->setObjectName(QStringLiteral("thumbnails"));
    icons_->setModel(items_);
    icons_->setSelectionModel(details_->selectionModel());
    icons_->setFont(DialogFont(8));
    icons_->setViewMode(QListView::IconMode);
    icons_->setIconSize(QSize(90, 90));
    icons_->setGridSize(QSize(118, 132));
    icons_->setResizeMode(QListView::Adjust);
    icons_->setMovement(QListView::Static);
    icons_->setWordWrap(true);
    icons_->setUniformItemSizes(true);
    icons_->setSpacing(4);
    icons_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    icons_->setSelectionMode(QAbstractItemView::SingleSelection);

    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->addWidget(details_);
    stack_->addWidget(icons_);
    // The page's Tab order reaches the list through this widget.
    setFocusProxy(details_);

    connect(items_, &ResultListModel::rowCheckToggled, this, &CResultListView::toggleRowCheck);
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(details_), static_cast<QAbstractItemView*>(icons_)}) {
        connect(v, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) { emit previewRequested(); });
        v->installEventFilter(this);
    }
}

void CResultListView::setModel(ResultPageModel* model) {
    model_ = model;
    items_->setModel(model);
}

bool CResultListView::eventFilter(QObject* watched, QEvent* event) {
    // Return on a row previews it, as a double click does.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && currentRow() >= 0) {
            emit previewRequested();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CResultListView::reload() {
    items_->reload();
    details_->header()->setSortIndicatorShown(false);
    applyViewMode();
}

void CResultListView::refreshChecks() { items_->refreshChecks(); }

void CResultListView::applyViewMode() {
    const bool thumbs = model_ && model_->viewMode() == ResultViewMode::Thumbnails;
    items_->setThumbnailMode(thumbs);
    QWidget* shown = thumbs ? static_cast<QWidget*>(icons_) : details_;
    const bool hadFocus = stack_->currentWidget() && stack_->currentWidget()->hasFocus();
    stack_->setCurrentWidget(shown);
    setFocusProxy(shown);
    if (hadFocus) shown->setFocus();
}

int CResultListView::currentRow() const {
    const QModelIndexList rows = details_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CResultListView::selectRow(int row) {
    details_->selectionModel()->clearSelection();
    if (row < 0 || row >= items_->rowCount()) return;
    details_->selectionModel()->select(items_->index(row, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    details_->setCurrentIndex(items_->index(row, 0));
}

void CResultListView::toggleRowCheck(int row, bool on) {
    if (!model_ || row < 0 || static_cast<size_t>(row) >= model_->rowCount()) return;
    model_->setRowChecked(static_cast<size_t>(row), on);
    items_->refreshChecks();
    if (tree_)
        PostWindowMessage(tree_, kMsgCheckPropagation, 1, reinterpret_cast<intptr_t>(model_->selectedFolder()));
}

void CResultListView::headerClicked(int column) {
    if (!model_) return;
    model_->sortByHeader(column);
    items_->reload();
    QHeaderView* header = details_->header();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, model_->sortDescending() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool CResultListView::event(QEvent* e) {
    if (e->type() == WindowMessageEvent::eventType()) {
        auto* msg = static_cast<WindowMessageEvent*>(e);
        if (msg->message == kMsgThumbnailsDone) {
            if (model_) model_->thumbnailsMade();
            applyViewMode();
            msg->result = 1;
            return true;
        }
    }
    return QWidget::event(e);
}

}  // namespace vantor::ui
