#pragma once
// The application object: the run's one AppState (selected partition,
// ranges, file-type group, filter criteria, progress fields), the drives
// the run works on, and the main frame. One instance per process.
#include <QString>
#include <QStringList>
#include <memory>

#include "platform/error_codes.h"
#include "raw/raw_signature.h"
#include "shell/app_state.h"

namespace vantor::ui {

class CMainFrame;

inline constexpr const char* kAppTitle = "Vantor Data Recovery Professional 2.0";

struct StartOptions {
    QStringList images;         // attached in order; they replace the system drives
    QString fallbackImage;      // attached when no system drive can be read
    bool showWindow = true;
    bool showHelp = false;      // --help: print CommandLineHelpText and end
};

// Parses --image FILE (repeatable), --fallback-image FILE, --help / -h.
// Unknown arguments are left to Qt. False with `error` set on a bad command line.
bool ParseCommandLine(const QStringList& args, StartOptions& out, QString& error);
QString CommandLineHelpText();
// What the user is told when a disk image cannot be opened: the path and the
// system's text for the error.
QString ImageOpenErrorText(const QString& path, ErrorCode error);

class CTolamApp {
public:
    CTolamApp();
    ~CTolamApp();
    CTolamApp(const CTolamApp&) = delete;
    CTolamApp& operator=(const CTolamApp&) = delete;

    static CTolamApp* instance();

    // Sets up the drives, creates and shows the main frame, then tells which
    // images could not be opened (they are left out). False ends the run.
    bool StartUp(const StartOptions& options);
    void ShutDown();

    AppState& state() { return state_; }
    const AppState& state() const { return state_; }
    CMainFrame* mainFrame() const { return frame_.get(); }
    // The signature table with the raw options' ticks and settings, kept
    // for the run once loaded.
    RawSignatureTable& rawTable() { return rawTable_; }

    // Attaches one more disk image after those attached so far (the drive
    // browser's refresh mounts its volumes). False (and nothing changed) when
    // it cannot be opened. driveNumber receives the image's drive number.
    bool AttachImage(const QString& path, QString& error, int* driveNumber = nullptr);
    QStringList attachedImages() const;

private:
    // The texts of the images that could not be opened.
    QStringList SetUpDevices(const StartOptions& options);

    AppState state_;
    RawSignatureTable rawTable_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace vantor::ui
