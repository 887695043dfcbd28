#include "shell/ui/fat/fat_list_view.h"

#include <QHeaderView>
#include <QListView>
#include <QStackedLayout>
#include <QTreeView>

#include "shell/page_ids.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/file_icons.h"
#include "shell/ui/fat/fat_tree_view.h"
#include "shell/ui/window_message.h"

namespace vantor::ui {

FatListModel::FatListModel(FatPageModel& model, QObject* parent) : QAbstractTableModel(parent), model_(model) {}

int FatListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(model_.rowCount());
}

int FatListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kFatColumnCount; }

QVariant FatListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto row = static_cast<size_t>(index.row());
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return Q(model_.cellText(row, column));
        case Qt::ToolTipRole:
            if (column == kFatColName) {
                const FatFoundFile* r = model_.rowRecord(row);
                return QStringLiteral("%1\n%2%3").arg(Q(r->nameText()), Q(FatSizeText(r->size)),
                                                     r->deleted ? QStringLiteral(", deleted") : QString());
            }
            return {};
        case Qt::DecorationRole:
            if (column != kFatColName) return {};
            if (thumbnails_) {
                const size_t image = model_.rowImageIndex(row);
                if (image < tiles_.size() && !tiles_[image].isNull()) return tiles_[image];
                return FileIconForName(Q(model_.rowRecord(row)->nameText())).pixmap(48, 48);
            }
            return FileIconForName(Q(model_.rowRecord(row)->nameText()));
        case Qt::CheckStateRole:
            if (column != kFatColName) return {};
            return model_.rowChecked(row) ? Qt::Checked : Qt::Unchecked;
        case Qt::TextAlignmentRole:
            if (thumbnails_) return {};
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (kFatColumns[static_cast<size_t>(column)].rightAligned ? Qt::AlignRight
                                                                                              : Qt::AlignLeft));
        default:
            return {};
    }
}

QVariant FatListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kFatColumnCount) return {};
    const auto& column = kFatColumns[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole) return QString::fromLatin1(column.title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (column.rightAligned ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

Qt::ItemFlags FatListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kFatColName) f |= Qt::ItemIsUserCheckable;
    return f;
}

bool FatListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != kFatColName) return false;
    emit rowCheckToggled(index.row(), value.toInt() == Qt::Checked);
    return true;
}

void FatListModel::reload() {
    beginResetModel();
    endResetModel();
}

void FatListModel::refreshChecks() {
    if (rowCount() == 0) return;
    emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

void FatListModel::setThumbnailMode(bool on) {
    if (thumbnails_ == on) return;
    beginResetModel();
    thumbnails_ = on;
    endResetModel();
}

void FatListModel::resetThumbnails(size_t count) {
    tiles_.assign(count, QImage());
}

void FatListModel::setThumbnail(size_t imageIndex, const QImage& tile) {
    if (imageIndex >= tiles_.size()) return;
    tiles_[imageIndex] = tile;
    for (size_t row = 0; row < model_.rowCount(); ++row)
        if (model_.rowImageIndex(row) == imageIndex) {
            const QModelIndex i = index(static_cast<int>(row), 0);
            emit dataChanged(i, i, {Qt::DecorationRole});
            break;
        }
}

const QImage& FatListModel::thumbnail(size_t imageIndex) const {
    static const QImage none;
    return imageIndex < tiles_.size() ? tiles_[imageIndex] : none;
}

TListView_FAT::TListView_FAT(FatPageModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("TListView_FAT"));
    items_ = new FatListModel(model_, this);

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
    for (int c = 0; c < kFatColumnCount; ++c) details_->setColumnWidth(c, kFatColumns[static_cast<size_t>(c)].width);
    connect(header, &QHeaderView::sectionClicked, this, &TListView_FAT::headerClicked);

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

    connect(items_, &FatListModel::rowCheckToggled, this, &TListView_FAT::toggleRowCheck);
    connect(details_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) { emit previewRequested(); });
    connect(icons_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) { emit previewRequested(); });
}

void TListView_FAT::reload() {
    items_->reload();
    details_->header()->setSortIndicatorShown(false);
    applyViewMode();
}

void TListView_FAT::refreshChecks() { items_->refreshChecks(); }

void TListView_FAT::applyViewMode() {
    const bool thumbs = model_.viewMode() == FatViewMode::Thumbnails;
    items_->setThumbnailMode(thumbs);
    stack_->setCurrentWidget(thumbs ? static_cast<QWidget*>(icons_) : details_);
}

int TListView_FAT::currentRow() const {
    const QModelIndexList rows = details_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TListView_FAT::selectRow(int row) {
    details_->selectionModel()->clearSelection();
    if (row < 0 || row >= items_->rowCount()) return;
    details_->selectionModel()->select(items_->index(row, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    details_->setCurrentIndex(items_->index(row, 0));
}

void TListView_FAT::toggleRowCheck(int row, bool on) {
    if (row < 0 || static_cast<size_t>(row) >= model_.rowCount()) return;
    model_.setRowChecked(static_cast<size_t>(row), on);
    items_->refreshChecks();
    if (tree_)
        PostWindowMessage(tree_, kMsgCheckPropagation, 1, reinterpret_cast<intptr_t>(model_.selectedFolder()));
}

void TListView_FAT::headerClicked(int column) {
    model_.sortByHeader(column);
    items_->reload();
    QHeaderView* header = details_->header();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, model_.sortDescending() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool TListView_FAT::event(QEvent* e) {
    if (e->type() == WindowMessageEvent::eventType()) {
        auto* msg = static_cast<WindowMessageEvent*>(e);
        if (msg->message == kMsgThumbnailsDone) {
            model_.thumbnailsMade();
            applyViewMode();
            msg->result = 1;
            return true;
        }
    }
    return QWidget::event(e);
}

}  // namespace vantor::ui
