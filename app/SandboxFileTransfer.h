#pragma once

#include "Sandbox.h"

#include <QString>

class QWidget;

namespace kestrane {

// Files...: a file fetched from an application's sandbox to this computer, or stored into it.
// Each asks its two questions in the window's dialogs (so tests answer them through their
// queues), checks the sandbox path before anything runs, runs one deploy tool command and says
// how it went in a box: a sentence, the tool's text in the details of a failure. The commands'
// starter decides what is held back and whether the hourglass shows while the tool runs.
class SandboxFileTransfer {
public:
    SandboxFileTransfer(QWidget* window, SandboxCommands commands, SandboxApp app);

    // The folders last used (in the sandbox, on this computer) are offered again by the next
    // question, for this run of the program.
    // Get File...: the sandbox path (data/ to start with), then where to save it. A file saved
    // over is replaced only when the whole file came.
    void getFile() const;
    // Put File...: the file on this computer, then its sandbox path (data/ and its name to start
    // with).
    void putFile() const;

private:
    bool askSandboxPath(const QString& caption, const QString& label, QString& path) const;

    QWidget* window_;
    SandboxCommands commands_;
    SandboxApp app_;
};

} // namespace kestrane
