#pragma once

#include "Sandbox.h"

#include <QDialog>
#include <QTimer>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kestrane {

// Log...: an application's logs/log in a viewer of its own, monospace, newest at the bottom
// (its last 4 MiB). Refresh fetches it again; Follow fetches it every two seconds while the
// viewer is open; Save As... writes what it shows to a file. Below the log, the exit code once
// the application has exited. While a fetch runs the viewer shows the hourglass and the window
// stays usable; a failure is shown in an error box (a sentence, the tool's text in its details).
class AppLogViewer : public QDialog {
    Q_OBJECT
public:
    AppLogViewer(SandboxCommands commands, SandboxApp app, QWidget* parent = nullptr);

    // Fetches the log, then the exit code.
    void refresh();

    const SandboxApp& app() const { return app_; }

    // For tests and the window's look.
    QPlainTextEdit* text() const { return text_; }
    QCheckBox* follow() const { return follow_; }
    QLabel* exitCode() const { return exitCode_; }
    QPushButton* refreshButton() const { return refresh_; }
    bool fetching() const { return fetching_; }

    // How often Follow fetches the log.
    static constexpr int FollowIntervalMs = 2000;

private:
    void showLog(const SandboxOutcome& outcome);
    void showExitCode(const SandboxOutcome& outcome);
    void finished();
    void saveAs();

    SandboxCommands commands_;
    SandboxApp app_;
    QPlainTextEdit* text_;
    QCheckBox* follow_;
    QLabel* exitCode_;
    QPushButton* refresh_;
    QPushButton* save_;
    QTimer followTimer_;
    bool fetching_ = false;
    // Set when the viewer goes while a fetch runs: its answer is then dropped.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace kestrane
