#pragma once
// The mail-repair pages: the DBX and PST pages (the stores to repair and the
// destination folder) and the log page that runs the repair and shows its log.
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

namespace vantor::ui {

class CSkinButton;
class CTolamApp;
class CQtUserPrompt;

// The user's documents folder (the XDG one, else ~/Documents), created when missing.
QString DocumentsFolder();

class CMailRepairPage : public QWidget {
    Q_OBJECT
public:
    // repairMode 1: Outlook Express (DBX); 2: Outlook (PST).
    CMailRepairPage(CTolamApp& app, int repairMode, QWidget* parent);

    // Rows for the chosen files, "File" and "Folder".
    void addFiles(const QStringList& paths);
    // The add-files and browse buttons; tests answer them without a dialog.
    using FileChooser = std::function<QStringList(QWidget* parent)>;
    using FolderChooser = std::function<QString(QWidget* parent)>;
    void setFileChooser(FileChooser chooser) { chooseFiles_ = std::move(chooser); }
    void setFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }

    QTreeWidget* fileList() const { return list_; }
    QLineEdit* destinationEdit() const { return destination_; }
    QCheckBox* extractBox() const { return extract_; }
    QWidget* addButton() const { return add_; }
    QWidget* browseButton() const { return browse_; }
    CSkinButton* nextButton() const { return next_; }
    CSkinButton* backButton() const { return back_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void onAdd();
    void onBrowse();
    void onNext();

    CTolamApp& app_;
    int mode_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* destination_ = nullptr;
    QCheckBox* extract_ = nullptr;  // DBX only
    QWidget* add_ = nullptr;
    QWidget* browse_ = nullptr;
    CSkinButton* back_ = nullptr;
    CSkinButton* next_ = nullptr;
    FileChooser chooseFiles_;
    FolderChooser chooseFolder_;
};

class CRepairLogPage : public QWidget {
    Q_OBJECT
public:
    // returnPage: the repair page Back leads to (107 or 108).
    CRepairLogPage(CTolamApp& app, int returnPage, QWidget* parent);
    ~CRepairLogPage() override;

    QPlainTextEdit* logText() const { return log_; }
    CSkinButton* backButton() const { return back_; }
    CSkinButton* nextButton() const { return next_; }
    bool running() const { return running_.load(); }
    // The run has ended and its log is shown.
    bool done() const { return done_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void start();
    void finished();

    CTolamApp& app_;
    int returnPage_;
    QPlainTextEdit* log_ = nullptr;
    CSkinButton* back_ = nullptr;
    CSkinButton* next_ = nullptr;
    std::unique_ptr<CQtUserPrompt> prompt_;
    std::thread worker_;
    std::atomic<bool> running_{false};
    std::atomic<bool> continue_{true};
    bool done_ = false;
};

QWidget* CreateMailRepairPage(CTolamApp& app, int page, QWidget* parent);
QWidget* CreateRepairLogPage(CTolamApp& app, int returnPage, QWidget* parent);

}  // namespace vantor::ui
