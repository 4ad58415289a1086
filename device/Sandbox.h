#pragma once

#include "DeviceCommandRunner.h"
#include "DeviceOperations.h"
#include "SandboxPath.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace kestrane {

// An application's sandbox on the device (app read-only, data, db, logs, shared, tmp): its files
// fetched and stored through the deploy tool, and its exit code once it has exited.

// The application's standard output and error, and the file that holds its exit code once it
// has exited.
inline const QString SandboxLogPath = QStringLiteral("logs/log");
inline const QString SandboxExitCodePath = QStringLiteral("logs/devmode_exitcode.txt");

// How much of a log is kept in memory for showing: its last 4 MiB.
constexpr qsizetype SandboxLogLimit = qsizetype(4) * 1024 * 1024;

// A fetched file's way to its destination: the tool writes a temporary file beside it, which
// replaces the destination only when the tool succeeded, so that the user's name never holds a
// partial or empty file and an existing file stays as it was after a failure.
class FetchedFile {
public:
    // Creates the temporary file beside destination. error() says why it cannot be written (a
    // folder, a folder that is not there or cannot be written).
    explicit FetchedFile(QString destination);
    ~FetchedFile();
    FetchedFile(const FetchedFile&) = delete;
    FetchedFile& operator=(const FetchedFile&) = delete;

    const QString& error() const { return error_; }
    // Where the tool writes; empty when error() is set.
    const QString& temporaryPath() const { return temporary_; }
    const QString& destination() const { return destination_; }

    // After the tool ended: when it succeeded, renames the temporary file to the destination
    // (empty text) or says why it could not; otherwise removes it and returns an empty text.
    QString finish(bool toolSucceeded);

private:
    QString destination_;
    QString temporary_;
    QString error_;
};

// The last limit bytes of a file's content, from the first whole line among them when it had to
// be cut; empty when the file cannot be read.
QByteArray ReadTail(const QString& path, qsizetype limit);

// The exit code a successful "-printExitCode" printed: its last line that is no "Info:" line, as
// a whole number; nothing when there is none.
std::optional<int> ReadExitCode(const QString& output);

// The application a sandbox belongs to: its name (for messages) and its package as the
// device's list gives it.
struct SandboxApp {
    QString name;
    QString packageName;
    QString packageId;
};

// What a sandbox command came to. notFound: the device has no such file (or, for the exit code,
// the application has not exited); the verdict then says so in plain words.
struct SandboxOutcome {
    CommandVerdict verdict;
    bool notFound = false;
    // The exit code, when asked for and the application has exited.
    std::optional<int> exitCode;
    // The fetched bytes (FetchSandboxBytes).
    QByteArray bytes;
};
using SandboxDone = std::function<void(const SandboxOutcome& outcome)>;

// Each starts one deploy tool run with start and calls done once, also when nothing could be run
// (a bad path, a local file that cannot be read or written: a LocalFile failure that says so, at
// once). Paths are checked with SandboxPathProblem first.
struct SandboxCommands {
    StartDeviceCommand start;
    DeviceContext context;
    DeviceTarget target;
    std::chrono::milliseconds silenceLimit{0};

    // Fetches path into the file destination (through FetchedFile).
    void getFile(const SandboxApp& app, const QString& path, const QString& destination,
                 SandboxDone done) const;
    // Fetches path and keeps its last limit bytes in the outcome, through a temporary file.
    void fetchBytes(const SandboxApp& app, const QString& path, qsizetype limit,
                    SandboxDone done) const;
    // Stores the file hostFile as path.
    void putFile(const SandboxApp& app, const QString& hostFile, const QString& path,
                 SandboxDone done) const;
    // Reads the exit code: outcome.exitCode, or notFound when the application has not exited.
    void readExitCode(const SandboxApp& app, SandboxDone done) const;
};

// The outcome of a command that could not be run for a reason of this computer's side.
SandboxOutcome SandboxInputFailure(const QString& message);

} // namespace kestrane
