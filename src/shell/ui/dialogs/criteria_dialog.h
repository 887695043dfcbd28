#pragma once
// The two twin criteria dialogs: "Search files..." edits a result page's
// filter, "Set Quick Search..." the application-wide record applied during
// deleted-file scans. OK writes the shown values back; Cancel leaves them.
// What they show and write is FilterDialogState's; these only draw it.
#include <QDialog>

#include "dialogs/filter_dialog.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vantor::ui {

class CCriteriaDlg : public QDialog {
    Q_OBJECT
public:
    // Controls of both templates, by id.
    enum : int {
        kExtCombo = 1027, kDateCombo = 1028, kDatePicker = 1029, kSizeCombo = 1030,
        kFirstSize = 1031, kSecondSize = 1032, kSizeDash = 1033, kNameEdit = 1034
    };

    const FilterCriteria& shown() const { return state_.shown(); }

protected:
    // record is written on OK.
    CCriteriaDlg(FilterCriteria& record, FilterDialogKind kind, uint16_t todayDosDate, QWidget* parent);
    void accept() override;

private:
    void showForModes();

    FilterDialogState state_;
    QComboBox* ext_ = nullptr;
    QComboBox* dateMode_ = nullptr;
    QDateEdit* date_ = nullptr;
    QComboBox* sizeMode_ = nullptr;
    QLineEdit* first_ = nullptr;
    QLineEdit* second_ = nullptr;
    QLabel* dash_ = nullptr;
    QLineEdit* name_ = nullptr;
};

// "Search files..." (template 190), opened by a result page's Filter button.
class CSearchFilesDlg : public CCriteriaDlg {
    Q_OBJECT
public:
    CSearchFilesDlg(FilterCriteria& pageFilter, QWidget* parent = nullptr);
};

// "Set Quick Search..." (template 315), opened by the shell before a
// deleted-file scan. Opening resets the record (today's date, no modes);
// the controls show what it held before.
class CQuickSearchDlg : public CCriteriaDlg {
    Q_OBJECT
public:
    CQuickSearchDlg(FilterCriteria& appCriteria, QWidget* parent = nullptr);
    CQuickSearchDlg(FilterCriteria& appCriteria, uint16_t todayDosDate, QWidget* parent);
};

}  // namespace vantor::ui
