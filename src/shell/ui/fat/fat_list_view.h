#pragma once
// The FAT page's file list: the rows of the selected folder with their seven
// columns and check boxes, in Details (report) or Thumbnails (90 x 90 icons)
// view. One item model over FatPageModel feeds both views.
#include <QAbstractTableModel>
#include <QHash>
#include <QImage>
#include <QWidget>
#include <vector>

#include "fat/fat_page_model.h"

class QListView;
class QStackedLayout;
class QTreeView;

namespace vantor::ui {

class TTreeView_FAT;

class FatListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FatListModel(FatPageModel& model, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    void reload();
    void refreshChecks();
    void setThumbnailMode(bool on);
    bool thumbnailMode() const { return thumbnails_; }
    // Thumbnail image list: resized to the rows, image i replaced one by one.
    void resetThumbnails(size_t count);
    void setThumbnail(size_t imageIndex, const QImage& tile);
    size_t thumbnailCount() const { return tiles_.size(); }
    const QImage& thumbnail(size_t imageIndex) const;

signals:
    void rowCheckToggled(int row, bool on);

private:
    FatPageModel& model_;
    bool thumbnails_ = false;
    std::vector<QImage> tiles_;
};

class TListView_FAT : public QWidget {
    Q_OBJECT
public:
    TListView_FAT(FatPageModel& model, QWidget* parent);

    void setTreeView(TTreeView_FAT* tree) { tree_ = tree; }
    void setPage(QObject* page) { page_ = page; }

    FatListModel* listModel() const { return items_; }
    QTreeView* details() const { return details_; }
    QListView* icons() const { return icons_; }

    // The selected folder's rows again (after a folder change or a filter).
    void reload();
    void refreshChecks();
    // Shows the model's view mode: report or icon style.
    void applyViewMode();
    // The row under the selection, or -1.
    int currentRow() const;
    void selectRow(int row);

    // What a click on a row's check box does (also reached by tests).
    void toggleRowCheck(int row, bool on);
    // A column header click: sort by it, each column with its own direction.
    void headerClicked(int column);

signals:
    void previewRequested();

protected:
    bool event(QEvent* event) override;

private:
    FatPageModel& model_;
    FatListModel* items_ = nullptr;
    TTreeView_FAT* tree_ = nullptr;
    QObject* page_ = nullptr;
    QStackedLayout* stack_ = nullptr;
    QTreeView* details_ = nullptr;
    QListView* icons_ = nullptr;
};

}  // namespace vantor::ui
