#include "shell/ui/dialogs/criteria_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "platform/time_util.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/page_commands.h"

namespace vantor::ui {

namespace {

constexpr int kWidth = 460;
constexpr int kHeight = 212;
constexpr int kLabelX = 16;
constexpr int kFieldX = 104;

QDate FromDosDate(uint16_t dos) {
    int y = 0, m = 0, d = 0;
    DecodeDosDate(dos, y, m, d);
    return QDate(y, m, d);
}

QStringList Texts(const auto& texts) {
    QStringList out;
    for (const char* t : texts) out << QString::fromLatin1(t);
    return out;
}

QLabel* AddLabel(QWidget* parent, const QString& text, int y) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(kLabelX, y, kFieldX - kLabelX - 6, 22);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

}  // namespace

CCriteriaDlg::CCriteriaDlg(FilterCriteria& record, FilterDialogKind kind, uint16_t todayDosDate, QWidget* parent)
    : QDialog(parent), state_(record, kind, todayDosDate) {
    setWindowTitle(QString::fromLatin1(kind == FilterDialogKind::QuickSearch ? kQuickSearchTitle : kSearchFilesTitle));
    setFont(DialogFont(8));
    setFixedSize(kWidth, kHeight);
    setModal(true);

    AddLabel(this, QStringLiteral("File type:"), 16);
    ext_ = new QComboBox(this);
    NameControl(ext_, kExtCombo);
    for (int i = 0; i < kExtensionGroupCount; ++i) ext_->addItem(QString::fromLatin1(ExtensionGroupText(i)));
    ext_->setGeometry(kFieldX, 16, kWidth - kFieldX - 16, 22);
    // The group texts are long; let the drop-down show them whole.
    int widest = 0;
    for (int i = 0; i < kExtensionGroupCount; ++i)
        widest = std::max(widest, ext_->fontMetrics().horizontalAdvance(ext_->itemText(i)));
    ext_->view()->setMinimumWidth(widest + 32);
    ext_->setToolTip(ext_->currentText());
    connect(ext_, &QComboBox::currentTextChanged, ext_, &QComboBox::setToolTip);

    AddLabel(this, QStringLiteral("Date:"), 50);
    dateMode_ = new QComboBox(this);
    NameControl(dateMode_, kDateCombo);
    dateMode_->addItems(Texts(kDateModeTexts));
    dateMode_->setGeometry(kFieldX, 50, 100, 22);
    date_ = new QDateEdit(this);
    NameControl(date_, kDatePicker);
    date_->setCalendarPopup(true);
    date_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    date_->setMinimumDate(QDate(1980, 1, 1));
    date_->setMaximumDate(QDate(2107, 12, 31));
    date_->setGeometry(kFieldX + 110, 50, 130, 22);

    AddLabel(this, QStringLiteral("Size (KB):"), 84);
    sizeMode_ = new QComboBox(this);
    NameControl(sizeMode_, kSizeCombo);
    sizeMode_->addItems(Texts(kSizeModeTexts));
    sizeMode_->setGeometry(kFieldX, 84, 100, 22);
    first_ = new QLineEdit(this);
    NameControl(first_, kFirstSize);
    first_->setGeometry(kFieldX + 110, 84, 90, 22);
    dash_ = new QLabel(QString::fromLatin1(kSizeSeparatorText), this);
    NameControl(dash_, kSizeDash);
    dash_->setGeometry(kFieldX + 202, 84, 14, 22);
    second_ = new QLineEdit(this);
    NameControl(second_, kSecondSize);
    second_->setGeometry(kFieldX + 218, 84, 90, 22);

    AddLabel(this, QStringLiteral("Name:"), 118);
    name_ = new QLineEdit(this);
    NameControl(name_, kNameEdit);
    name_->setGeometry(kFieldX, 118, kWidth - kFieldX - 16, 22);
    name_->setPlaceholderText(QStringLiteral("part of the file name"));

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(16, 156, kWidth - 32, 2);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    NameControl(ok, 1);
    ok->setDefault(true);
    ok->setGeometry(kWidth - 16 - 88 - 8 - 88, 170, 88, 26);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    NameControl(cancel, 2);
    cancel->setGeometry(kWidth - 16 - 88, 170, 88, 26);
    connect(ok, &QPushButton::clicked, this, &CCriteriaDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CCriteriaDlg::reject);

    // Opening: the three combos, the sizes, the name and the day.
    const FilterCriteria& shown = state_.shown();
    ext_->setCurrentIndex(shown.extGroup >= 0 && shown.extGroup < kExtensionGroupCount ? shown.extGroup : 0);
    dateMode_->setCurrentIndex(shown.dateMode >= kDateIgnore && shown.dateMode <= kDateOn ? shown.dateMode : 0);
    sizeMode_->setCurrentIndex(shown.sizeMode >= kSizeIgnore && shown.sizeMode <= kSizeBetween ? shown.sizeMode : 0);
    first_->setText(Q(state_.firstSizeText()));
    second_->setText(Q(state_.secondSizeText()));
    name_->setText(Q(shown.namePart));
    date_->setDate(FromDosDate(shown.date));
    showForModes();

    connect(ext_, qOverload<int>(&QComboBox::activated), this, [this](int row) { state_.chooseGroup(row); });
    connect(dateMode_, qOverload<int>(&QComboBox::activated), this, [this](int mode) {
        state_.chooseDateMode(mode);
        showForModes();
    });
    connect(sizeMode_, qOverload<int>(&QComboBox::activated), this, [this](int mode) {
        state_.chooseSizeMode(mode);
        first_->setText(Q(state_.firstSizeText()));
        second_->setText(Q(state_.secondSizeText()));
        showForModes();
    });
    connect(date_, &QDateEdit::dateChanged, this, [this](const QDate& d) {
        state_.pickDate(EncodeDosDate(d.year(), d.month(), d.day()));
    });
    connect(first_, &QLineEdit::textChanged, this, [this](const QString& t) { state_.setFirstSizeText(S(t)); });
    connect(second_, &QLineEdit::textChanged, this, [this](const QString& t) { state_.setSecondSizeText(S(t)); });
    connect(name_, &QLineEdit::textChanged, this, [this](const QString& t) { state_.setNameText(S(t)); });
}

void CCriteriaDlg::showForModes() {
    date_->setVisible(state_.datePickerShown());
    first_->setVisible(state_.firstSizeShown());
    second_->setVisible(state_.secondSizeShown());
    dash_->setVisible(state_.secondSizeShown());
}

void CCriteriaDlg::accept() {
    switch (state_.ok()) {
        case CriteriaValidation::StayOpenSilently:
            return;
        case CriteriaValidation::StartLargerThanEnd:
            ShowMessage(this, QString::fromLatin1(kStartLargerThanEndText), QStringLiteral("Notice"),
                        MessageIcon::Information);
            first_->setFocus();
            return;
        case CriteriaValidation::Ok:
            QDialog::accept();
    }
}

CSearchFilesDlg::CSearchFilesDlg(FilterCriteria& pageFilter, QWidget* parent)
    : CCriteriaDlg(pageFilter, FilterDialogKind::SearchFiles, TodayDosDate(), parent) {}

CQuickSearchDlg::CQuickSearchDlg(FilterCriteria& appCriteria, QWidget* parent)
    : CQuickSearchDlg(appCriteria, TodayDosDate(), parent) {}

CQuickSearchDlg::CQuickSearchDlg(FilterCriteria& appCriteria, uint16_t todayDosDate, QWidget* parent)
    : CCriteriaDlg(appCriteria, FilterDialogKind::QuickSearch, todayDosDate, parent) {}

}  // namespace vantor::ui
