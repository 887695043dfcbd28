#include "shell/ui/dialogs/raw_options_dialog.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "raw/raw_signature.h"
#include "shell/app_state.h"
#include "shell/ui/dialogs/dialog_common.h"
#include "shell/ui/dialogs/file_icons.h"
#include "shell/ui/page_commands.h"

namespace vantor::ui {

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 440;

QLabel* AddLabel(QWidget* parent, const QString& text, int x, int y, int w, int id = 0) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, 22);
    if (id) NameControl(l, id);
    return l;
}

QLineEdit* AddEdit(QWidget* parent, uint64_t value, int x, int y, int id) {
    auto* e = new QLineEdit(QString::number(value), parent);
    e->setGeometry(x, y, 110, 22);
    NameControl(e, id);
    return e;
}

}  // namespace

CRawOptionsDlg::CRawOptionsDlg(RawSignatureTable& table, AppState& state, QWidget* parent)
    : QDialog(parent), table_(table), state_(state) {
    setWindowTitle(QStringLiteral("Set Quick Search..."));
    setFont(DialogFont(8));
    setFixedSize(kWidth, kHeight);
    setModal(true);

    const uint32_t first = state.rangeStart, last = state.rangeEnd;
    AddLabel(this, QStringLiteral("Search by any or all of the criteria below."), 16, 10, 380);
    AddLabel(this, QStringLiteral("> %1").arg(first), 16, 36, 120, kFirstText);
    AddLabel(this, QStringLiteral("< %1").arg(last), 150, 36, 120, kLastText);
    AddLabel(this, QStringLiteral("Total Sectors : "), 16, 60, 120);
    AddLabel(this, QString::number(static_cast<uint64_t>(last) - first), 150, 60, 150, kTotalText);
    AddLabel(this, QStringLiteral("Maximal file size(KB) : "), 16, 88, 130);
    maxSize_ = AddEdit(this, table.maxSizeKB, 150, 88, kMaxSize);
    AddLabel(this, QStringLiteral("Start Sector : "), 16, 116, 130);
    start_ = AddEdit(this, state.rawRangeStart ? state.rawRangeStart : first, 150, 116, kStart);
    AddLabel(this, QStringLiteral("End Sector :  "), 16, 144, 130);
    end_ = AddEdit(this, state.rawRangeEnd ? state.rawRangeEnd : last, 150, 144, kEnd);

    formatEnds_ = new QCheckBox(QStringLiteral("Cut each file where its format ends"), this);
    NameControl(formatEnds_, kFormatEnds);
    formatEnds_->setGeometry(16, 172, 380, 22);
    formatEnds_->setChecked(table.formatEnds);

    AddLabel(this, QStringLiteral("File Type :"), 16, 198, 120);
    std::string error;
    if (table.empty()) LoadSignatures(FindSignatureFile(), table, error);
    list_ = new QTreeWidget(this);
    NameControl(list_, kTypeList);
    list_->setGeometry(16, 220, kWidth - 32, 160);
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setHeaderLabels({QStringLiteral("Extension"), QStringLiteral("Description")});
    list_->setColumnWidth(0, 80);
    list_->setColumnWidth(1, 250);
    listed_ = RawListedRows(table);
    for (size_t row : listed_) {
        const RawSignature& sig = *table.rows[row];
        auto* item = new QTreeWidgetItem(list_, {Q(sig.extension), Q(sig.description)});
        item->setIcon(0, FileIconForName(QStringLiteral("a.") + Q(sig.extension)));
        item->setCheckState(0, sig.enabled ? Qt::Checked : Qt::Unchecked);
    }
    if (!error.empty()) {
        // An empty list alone would not say why.
        auto* why = AddLabel(this, Q(error), 16, 220, kWidth - 32, kLoadError);
        why->setWordWrap(true);
        why->setGeometry(20, 250, kWidth - 40, 60);
    }

    auto* all = new QPushButton(QStringLiteral("Select All"), this);
    NameControl(all, kSelectAll);
    all->setGeometry(16, 392, 90, 26);
    auto* none = new QPushButton(QStringLiteral("Deselect All"), this);
    NameControl(none, kDeselectAll);
    none->setGeometry(112, 392, 90, 26);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    NameControl(ok, 1);
    ok->setGeometry(kWidth - 186, 392, 80, 26);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    NameControl(cancel, 2);
    cancel->setGeometry(kWidth - 96, 392, 80, 26);
    connect(all, &QPushButton::clicked, this, [this] { tickAll(true); });
    connect(none, &QPushButton::clicked, this, [this] { tickAll(false); });
    connect(ok, &QPushButton::clicked, this, &CRawOptionsDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CRawOptionsDlg::reject);
}

void CRawOptionsDlg::tickAll(bool on) {
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        list_->topLevelItem(i)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
}

void CRawOptionsDlg::accept() {
    const uint32_t first = state_.rangeStart, last = state_.rangeEnd;
    const int64_t start = start_->text().trimmed().toLongLong();
    const int64_t end = end_->text().trimmed().toLongLong();
    const std::string why = RawRangeProblem(start, end, first, last);
    if (!why.empty()) {
        ShowMessage(this, Q(why), QStringLiteral("Notice"), MessageIcon::Information);
        // The field at fault goes back to the partition's bound.
        if (start >= first && end > last) end_->setText(QString::number(last));
        else start_->setText(QString::number(first));
        return;
    }
    for (int i = 0; i < list_->topLevelItemCount() && static_cast<size_t>(i) < listed_.size(); ++i)
        SetRawTypeEnabled(table_, listed_[static_cast<size_t>(i)],
                          list_->topLevelItem(i)->checkState(0) == Qt::Checked);
    list_->clear();
    state_.rawRangeStart = static_cast<uint32_t>(start);
    state_.rawRangeEnd = static_cast<uint32_t>(end);
    table_.startSector = state_.rawRangeStart;
    table_.endSector = state_.rawRangeEnd;
    const qlonglong kb = maxSize_->text().trimmed().toLongLong();
    table_.maxSizeKB = kb > 0 && kb <= UINT32_MAX ? static_cast<uint32_t>(kb) : 0;
    table_.formatEnds = formatEnds_->isChecked();
    QDialog::accept();
}

}  // namespace vantor::ui
