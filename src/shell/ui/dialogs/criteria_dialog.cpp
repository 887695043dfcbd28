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
    if (!DecodeDosDate(dos, y, m, d)) return QDate::currentDate();
    const QDate date(y, m, d);
    return date.isValid() ? date : QDate::currentDate();
}

QString SizeText(double kb) { return QString::number(kb, 'g', 15); }

QLabel* AddLabel(QWidget* parent, const QString& text, int y) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(kLabelX, y, kFieldX - kLabelX - 6, 22);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

}  // namespace

CCriteriaDlg::CCriteriaDlg(FilterCriteria& record, const FilterCriteria& shown, const QString& caption,
                           QWidget* parent)
    : QDialog(parent), record_(record), work_(shown) {
    setWindowTitle(caption);
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
    dateMode_->addItems({QStringLiteral("Ignore"), QStringLiteral("Before"), QStringLiteral("After"),
                         QStringLiteral("On")});
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
    sizeMode_->addItems({QStringLiteral("Ignore"), QStringLiteral("Equal"), QStringLiteral("Smaller"),
                         QStringLiteral("Larger"), QStringLiteral("Between")});
    sizeMode_->setGeometry(kFieldX, 84, 100, 22);
    first_ = new QLineEdit(this);
    NameControl(first_, kFirstSize);
    first_->setGeometry(kFieldX + 110, 84, 90, 22);
    dash_ = new QLabel(QStringLiteral(" -"), this);
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
    ext_->setCurrentIndex(work_.extGroup >= 0 && work_.extGroup < kExtensionGroupCount ? work_.extGroup : 0);
    dateMode_->setCurrentIndex(work_.dateMode >= kDateIgnore && work_.dateMode <= kDateOn ? work_.dateMode : 0);
    sizeMode_->setCurrentIndex(work_.sizeMode >= kSizeIgnore && work_.sizeMode <= kSizeBetween ? work_.sizeMode : 0);
    first_->setText(SizeText(work_.minSizeKB));
    second_->setText(SizeText(work_.maxSizeKB));
    name_->setText(Q(work_.namePart));
    date_->setDate(FromDosDate(work_.date));
    // A record with no valid day yet (the first quick search) shows today:
    // keep what is shown, so On/Before/After without a pick compare with it.
    work_.date = EncodeDosDate(date_->date().year(), date_->date().month(), date_->date().day());
    showForModes();

    connect(ext_, qOverload<int>(&QComboBox::activated), this, &CCriteriaDlg::chooseGroup);
    connect(dateMode_, qOverload<int>(&QComboBox::activated), this, &CCriteriaDlg::chooseDateMode);
    connect(sizeMode_, qOverload<int>(&QComboBox::activated), this, &CCriteriaDlg::chooseSizeMode);
    connect(date_, &QDateEdit::dateChanged, this, [this](const QDate& d) {
        work_.date = EncodeDosDate(d.year(), d.month(), d.day());
    });
}

void CCriteriaDlg::showForModes() {
    date_->setVisible(work_.dateMode != kDateIgnore);
    first_->setVisible(work_.sizeMode != kSizeIgnore);
    second_->setVisible(work_.sizeMode == kSizeBetween);
    dash_->setVisible(work_.sizeMode == kSizeBetween);
}

void CCriteriaDlg::chooseGroup(int row) { ChooseExtensionGroup(work_, row); }

void CCriteriaDlg::chooseDateMode(int mode) {
    work_.dateMode = mode;
    showForModes();
}

void CCriteriaDlg::chooseSizeMode(int mode) {
    work_.sizeMode = mode;
    if (mode == kSizeIgnore) {
        work_.minSizeKB = 0;
        work_.maxSizeKB = 0;
        first_->setText(QStringLiteral("0"));
        second_->setText(QStringLiteral("0"));
    }
    showForModes();
}

void CCriteriaDlg::accept() {
    double first = 0, second = 0;
    const bool secondShown = work_.sizeMode == kSizeBetween;
    switch (ValidateSizeFields(S(first_->text()), S(second_->text()), secondShown, first, second)) {
        case CriteriaValidation::StayOpenSilently:
            return;
        case CriteriaValidation::StartLargerThanEnd:
            ShowMessage(this, QString::fromLatin1(kStartLargerThanEndText), QStringLiteral("Notice"),
                        MessageIcon::Information);
            first_->setFocus();
            return;
        case CriteriaValidation::Ok:
            break;
    }
    work_.minSizeKB = first;
    work_.maxSizeKB = second;
    work_.namePart = S(name_->text());
    record_ = work_;
    QDialog::accept();
}

CSearchFilesDlg::CSearchFilesDlg(FilterCriteria& pageFilter, QWidget* parent)
    : CCriteriaDlg(pageFilter, pageFilter, QStringLiteral("Search files..."), parent) {}

CQuickSearchDlg::CQuickSearchDlg(FilterCriteria& appCriteria, QWidget* parent)
    : CQuickSearchDlg(appCriteria, TodayDosDate(), parent) {}

CQuickSearchDlg::CQuickSearchDlg(FilterCriteria& appCriteria, uint16_t todayDosDate, QWidget* parent)
    : CCriteriaDlg(appCriteria, resetAndKeep(appCriteria, todayDosDate), QStringLiteral("Set Quick Search..."),
                   parent) {}

FilterCriteria CQuickSearchDlg::resetAndKeep(FilterCriteria& record, uint16_t today) {
    FilterCriteria before = record;
    ResetForQuickSearch(record, today);
    // The mail row narrows to the three mail stores until a row is picked again.
    if (before.extGroup == kExtensionGroupCount - 1) before.extList = kQuickSearchMailList;
    return before;
}

}  // namespace vantor::ui
