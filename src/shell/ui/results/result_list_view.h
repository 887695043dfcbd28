#pragma once
// The result page's file list: the rows of the selected folder with their
// seven columns and check boxes, in Details (report) or Thumbnails (90 x 90
// icons) view. One item model over the page model feeds both views; rows
// whose data is overwritten are greyed. The object name is the engine's
// window class.
#include <QAbstractTableModel>
#include <QImage>
#include <QWidget>
#include <vector>

#include "dialogs/result_page_model.h"

class QListView;
class QStackedLayout;
class QTreeView;

namespace vantor::ui {

class CResultTreeView;

class ResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultListModel(QObject* parent = nullptr);
    void setModel(ResultPageModel* model);

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
    ResultPageModel* model_ = nullptr;
    bool thumbnails_ = false;
    std::vector<QImage> tiles_;
};

class CResultListView : public QWidget {
    Q_OBJECT
public:
    CResultListView(const QString& className, QWidget* parent);

    void setModel(ResultPageModel* model);
    void setTreeView(CResultTreeView* tree) { tree_ = tree; }

    ResultListModel* listModel() const { return items_; }
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
    // A column header click: sort by it.
    void headerClicked(int column);

signals:
    void previewRequested();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ResultPageModel* model_ = nullptr;
    ResultListModel* items_ = nullptr;
    CResultTreeView* tree_ = nullptr;
    QStackedLayout* stack_ = nullptr;
    QTreeView* details_ = nullptr;
    QListView* icons_ = nullptr;
};

}  // namespace vantor::ui
