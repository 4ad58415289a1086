#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>

#include <chrono>

#include <sys/types.h>

namespace kestrane {

// One run of a console command. It reports only from the event loop, after the call that started
// it has returned, so a caller connects its signals right after starting it. finished() comes
// exactly once, also when the command could not be started (with an empty output) or was
// stopped; the job then stays as it is until its owner deletes it (with deleteLater() when that
// happens in one of its own signals).
class ConsoleJob : public QObject {
    Q_OBJECT

public:
    // WholeText delivers the output at the end only; Lines also delivers it line by line as it
    // arrives, for a live display of the command's progress.
    enum class Feed { WholeText, Lines };

    Feed feed() const { return feed_; }
    // Everything the command wrote so far.
    const QString& output() const { return output_; }
    bool isFinished() const { return finished_; }
    // The command interpreter's exit code, once finished; -1 when it was not started, crashed or
    // was stopped.
    int exitCode() const { return exitCode_; }

    // The bytes the command's processes have read and written so far, all of them together (what
    // the kernel counts for them, files and sockets alike): growing while the command is busy
    // without writing anything, standing still while it waits. -1 when it cannot be told.
    virtual qint64 ioBytes() const { return -1; }

    // The command waits for its turn behind another one (a command host runs one command at a
    // time): nothing of it has started yet, so it cannot fall silent. turnBegan() follows when
    // its turn comes.
    virtual bool waitsForItsTurn() const { return false; }

    // Ends the command and everything it started. finished() follows from the event loop with the
    // output gathered until then. Does nothing once finished.
    virtual void stop() = 0;

signals:
    // The command no longer waits for its turn (see waitsForItsTurn).
    void turnBegan();
    // Any feed: the command wrote something (after decoding, so a chunk holding only part of a
    // character may not count yet).
    void outputReceived();
    // Lines feed only: each complete line, once and in order, without its line break (CR, LF or
    // CR LF). When the output ends without a line break, its last line is delivered before
    // finished().
    void lineReceived(const QString& line);
    // Lines feed only: the text after the last line break, after each chunk that changes it.
    void partialLineChanged(const QString& partialLine);
    // The whole output, when the command has ended.
    void finished(const QString& output);

protected:
    ConsoleJob(Feed feed, QObject* parent);
    // Adds decoded output and feeds the lines completed by it.
    void receiveText(QStringView text);
    // Delivers the last unterminated line and finished(), once.
    void complete(int exitCode);

private:
    void feedLines(QStringView text);

    Feed feed_;
    QString output_;
    QString partialLine_;
    bool lineEndedWithCarriageReturn_ = false;
    bool finished_ = false;
    int exitCode_ = -1;
};

// Starts console commands. Each start gives an independent job, so several commands can run at the
// same time. The window holds one; tests give it a scripted runner.
class ConsoleRunner {
public:
    virtual ~ConsoleRunner() = default;

    // Starts command in workingDir. The job belongs to parent (or to the caller when parent is
    // null).
    virtual ConsoleJob* start(const QString& command, const QString& workingDir,
                              ConsoleJob::Feed feed, QObject* parent) = 0;

    // The whole output at the end (device information, application list and actions).
    ConsoleJob* RunConsoleCommand(const QString& command, const QString& workingDir,
                                  QObject* parent) {
        return start(command, workingDir, ConsoleJob::Feed::WholeText, parent);
    }
    // The whole output at the end and every line as it arrives (installation progress).
    ConsoleJob* RunConsoleCommandLive(const QString& command, const QString& workingDir,
                                      QObject* parent) {
        return start(command, workingDir, ConsoleJob::Feed::Lines, parent);
    }
};

// Runs commands with /bin/sh -c in their working folder, which is also put first on the child's
// PATH so that "java" is the launcher of the runtime folder given as working folder. Standard
// output and standard error arrive as one text in the order they were written, decoded with the
// locale's character set; a character cut off at the very end arrives as U+FFFD. A working folder
// that is empty, does not exist or is named with a colon (which PATH cannot hold) starts nothing
// (empty output).
//
// Each command runs in a process group of its own. The shell waits for its own background
// children, so their output is not lost; whatever else of the group is left when the shell ends is
// killed. Stopping a job ends the whole group, and so does the end of this program in any way,
// SIGKILL included (CommandReaper).
class ProcessConsoleRunner : public ConsoleRunner {
public:
    // encoding: the character set of the console output; empty for the locale's.
    explicit ProcessConsoleRunner(const QByteArray& encoding = QByteArray());

    // How long stop() waits after asking the command to end (SIGTERM) before killing it.
    void setStopGrace(std::chrono::milliseconds grace) { stopGrace_ = grace; }

    ConsoleJob* start(const QString& command, const QString& workingDir, ConsoleJob::Feed feed,
                      QObject* parent) override;

private:
    QByteArray encoding_;
    std::chrono::milliseconds stopGrace_{2000};
};

// The environment of a console command run in workingFolder: this program's, with the folder
// first on PATH.
QProcessEnvironment ConsoleEnvironment(const QString& workingFolder);

// A folder that commands can run in: it exists and its name holds no colon, which cannot stand in
// PATH (the command would silently find another folder's programs).
bool UsableConsoleFolder(const QString& folder);

// The bytes read and written (rchar + wchar of /proc/PID/io) by the processes of a process group
// that this user may look at, the reaped children of each included; -1 when none was found.
qint64 ProcessGroupIoBytes(pid_t group);

// The character set console programs write in this locale (nl_langinfo(CODESET)); UTF-8 when the
// locale names plain ASCII (the "C" locale), of which UTF-8 is a superset.
QByteArray LocaleConsoleEncoding();

} // namespace kestrane
