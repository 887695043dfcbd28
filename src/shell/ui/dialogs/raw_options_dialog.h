#pragma once
// The raw scan's options, also titled "Set Quick Search..." (template 171):
// the file types of the signature table to look for, the sector range
// within the selected partition, the largest file and whether files end
// where their format says. OK checks the range and writes everything back
// (the ticks into the table's rows); Cancel leaves it all as it was.
#include <QDialog>
#include <vector>

class QCheckBox;
class QLineEdit;
class QTreeWidget;

namespace vantor {
struct AppState;
struct RawSignatureTable;
}  // namespace vantor

namespace vantor::ui {

class CRawOptionsDlg : public QDialog {
    Q_OBJECT
public:
    enum : int {
        kFirstText = 1040, kLastText = 1041, kTotalText = 1042, kMaxSize = 1043, kStart = 1044, kEnd = 1045,
        kTypeList = 1046, kSelectAll = 1047, kDeselectAll = 1048, kFormatEnds = 1049, kLoadError = 1050
    };

    // The table is loaded here when it is still empty.
    CRawOptionsDlg(RawSignatureTable& table, AppState& state, QWidget* parent = nullptr);
    void accept() override;

private:
    void tickAll(bool on);

    RawSignatureTable& table_;
    AppState& state_;
    std::vector<size_t> listed_;  // table row of each list row
    QLineEdit* maxSize_ = nullptr;
    QLineEdit* start_ = nullptr;
    QLineEdit* end_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QCheckBox* formatEnds_ = nullptr;
};

}  // namespace vantor::ui
