#pragma once
// What every page wires its top-bar and navigation buttons to, and the two
// ways the shell talks to the user (message boxes, opening documents). Both
// go through replaceable hooks so tests can answer and watch them.
#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

namespace vantor::ui {

class CHomeView;

enum class MessageIcon { None, Information, Warning, Error, Question };

// A plain message box with an OK button (the fixed texts and captions the
// pages use: "Notice", "Error", "Information", ...).
void ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                 MessageIcon icon = MessageIcon::Information);
// The word at the end of a piece of work, with a button that opens folder
// (none when folder is empty). Through the message hook when one is set.
void ShowWorkSummary(QWidget* parent, const QString& text, const QString& caption, const QString& folder);
using MessageHook = std::function<void(QWidget* parent, const QString& text, const QString& caption, MessageIcon icon)>;
// Installs a replacement for every ShowMessage (empty: back to the dialog).
void SetMessageHook(MessageHook hook);

// Opens a document or address with the desktop's handler ("open" verb).
// Without one, a local page is shown in a help window of our own; other
// failures are silent.
void OpenDocument(const QUrl& url);
// That help window: it deletes itself when closed, Esc closes it.
QWidget* ShowHelpWindow(const QUrl& url);
void SetOpenDocumentHook(std::function<void(const QUrl&)> hook);

// The host view that owns `page` (walks up the parents), or null.
CHomeView* HostOf(QWidget* page);
// Sends the page-switch message to the page's host. The host destroys the
// sending page inside this call: the caller must not touch its members after.
void RequestPage(QWidget* page, int pageNumber, int mode);

void GoHome(QWidget* page);                // (101, 0)
void GoBackToStart(QWidget* page);         // drive browser, partition page: (101, 1)
void GoBackToBrowser(QWidget* page, int mode);  // result pages: (102, mode)
void GoNext(QWidget* page, int mode);      // drive browser: (103, mode)
void ShowHelp();                           // also F1 in the main window
void ShowProductPage(QWidget* parent);     // the about box: there is no product web page

// The help index shipped with the program.
QString HelpIndexPath();
// The product's web home page; empty, as none exists, so Home opens nothing.
QUrl ProductHomePage();

}  // namespace vantor::ui
