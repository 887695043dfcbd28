#pragma once
// The application object: the run's one AppState (selected partition,
// ranges, file-type group, filter criteria, progress fields), the drives
// the run works on, and the main frame. One instance per process.
#include <QString>
#include <QStringList>
#include <memory>

#include "shell/app_state.h"

namespace vantor::ui {

class CMainFrame;

inline constexpr const char* kAppTitle = "Vantor Data Recovery Professional 2.0";

struct StartOptions {
    QStringList images;         // attached in order; they replace the system drives
    QString fallbackImage;      // attached when no system drive can be read
    bool showWindow = true;
};

// Parses --image FILE (repeatable), --fallback-image FILE. Unknown
// arguments are left to Qt. False with `error` set on a bad command line.
bool ParseCommandLine(const QStringList& args, StartOptions& out, QString& error);

class CTolamApp {
public:
    CTolamApp();
    ~CTolamApp();
    CTolamApp(const CTolamApp&) = delete;
    CTolamApp& operator=(const CTolamApp&) = delete;

    static CTolamApp* instance();

    // Sets up the drives, creates and shows the main frame. False ends the run.
    bool StartUp(const StartOptions& options);
    void ShutDown();

    AppState& state() { return state_; }
    const AppState& state() const { return state_; }
    CMainFrame* mainFrame() const { return frame_.get(); }

    // Attaches one more disk image after those attached so far (the drive
    // browser's refresh mounts its volumes). False (and nothing changed) when
    // it cannot be opened. driveNumber receives the image's drive number.
    bool AttachImage(const QString& path, QString& error, int* driveNumber = nullptr);
    QStringList attachedImages() const;

private:
    void SetUpDevices(const StartOptions& options);

    AppState state_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace vantor::ui
