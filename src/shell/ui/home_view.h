#pragma once
// The host view: the start page (banner, category list, task buttons) and
// the one current page, switched by the page-number/mode message.
#include <QWidget>
#include <array>

#include "shell/ui/page_host.h"

namespace vantor::ui {

class CSkinButton;
class CSkinCategoryList;
class CTolamApp;

class CHomeView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTaskButtonCount = 7;
    static constexpr int kFirstTaskCommand = 600;

    CHomeView(CTolamApp& app, QWidget* parent);
    ~CHomeView() override;

    // Handler of WM_USER + 1: destroys the current page, then creates the one
    // for (page, mode).
    void SwitchPage(int page, int mode);
    // Handler of WM_USER + 16: shows the task buttons of category `index`.
    void SelectCategory(int index);
    // Task buttons, commands 600-606.
    void OnTaskButton(int command);

    CTolamApp& app() { return app_; }
    int currentPageId() const { return currentPageId_; }
    int category() const { return category_; }
    QWidget* currentPage() const { return currentPage_; }
    PageKind currentPageKind() const { return currentKind_; }
    CSkinButton* taskButton(int command) const;
    CSkinButton* homeButton() const { return home_; }
    CSkinButton* helpButton() const { return help_; }
    CSkinButton* aboutButton() const { return about_; }
    CSkinCategoryList* categoryList() const { return categories_; }
    // How often a category change asked for the panel to be drawn again.
    int panelRedraws() const { return panelRedraws_; }
    // Shown while a page number has no page (pages of engines still to come):
    // what is missing, and the way back.
    const QString& missingPageText() const { return missingText_; }
    CSkinButton* missingPageBack() const { return missingBack_; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void DestroyPage();
    void ShowStartControls(bool on);
    void ShowCategoryButtons();
    void HideTaskButtons();
    void ShowMissingPage(int page, int mode, PageKind kind);
    int PanelForCategory();

    CTolamApp& app_;
    int currentPageId_;
    int category_;
    QWidget* currentPage_ = nullptr;
    PageKind currentKind_ = PageKind::None;
    CSkinButton* home_ = nullptr;
    CSkinButton* help_ = nullptr;
    CSkinButton* about_ = nullptr;
    CSkinCategoryList* categories_ = nullptr;
    std::array<CSkinButton*, kTaskButtonCount> tasks_{};
    int panelRedraws_ = 0;
    QString missingText_;
    CSkinButton* missingBack_ = nullptr;
    int missingBackPage_ = 0;
    int missingBackMode_ = 0;
};

}  // namespace vantor::ui
