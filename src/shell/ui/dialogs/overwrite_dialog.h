#pragma once
// "Confirm File Overwrite" (template 205), and the GUI's UserPrompt: message
// boxes and the overwrite question as dialogs, reachable from a worker thread
// by a blocking queued call so the worker waits for the answer.
#include <QDialog>
#include <QObject>
#include <QPointer>

#include "dialogs/user_prompt.h"

class QLabel;

namespace vantor::ui {

class COverwriteDlg : public QDialog {
    Q_OBJECT
public:
    // Buttons by id: Yes 6 (default), Yes to All 1039, No 7, Cancel 2.
    enum : int { kYes = 6, kYesToAll = 1039, kNo = 7, kCancel = 2, kMessage = 1041 };

    COverwriteDlg(const QString& name, QWidget* parent = nullptr);
    // 0 Cancel, 1 Yes, 2 Yes to All, 3 No; 0 until a button is pressed.
    int answerCode() const { return answer_; }
    OverwriteAnswer answer() const { return static_cast<OverwriteAnswer>(answer_); }

protected:
    void reject() override;  // Esc and closing are Cancel

private:
    void finish(int code);
    int answer_ = 0;
};

class CQtUserPrompt : public QObject, public UserPrompt {
    Q_OBJECT
public:
    // Dialogs are parented to dialogParent (it may go away; then none).
    explicit CQtUserPrompt(QWidget* dialogParent, QObject* parent = nullptr);

    // Through the shell's ShowMessage, so its hook sees writer messages too.
    void message(const std::string& text, const std::string& caption, ::vantor::MessageIcon icon) override;
    OverwriteAnswer confirmOverwrite(const std::string& name) override;
    bool confirm(const std::string& text, const std::string& caption) override;

private:
    QPointer<QWidget> dialogParent_;
};

}  // namespace vantor::ui
