#pragma once

#include "ConsoleRunner.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <list>
#include <map>
#include <memory>

namespace kestrane {

// One deploy tool command for a command host: what a run of its own would be started with, and
// that run's command text for when no host can be used.
struct HostCommand {
    // The Java runtime's folder, where the command runs.
    QString workingDir;
    // The Java options of the tool's run (TLS settings, user.home, heap).
    QStringList javaOptions;
    // The program folder, whose lib/ holds the host's jar.
    QString appDir;
    // The device address: each device gets a host of its own.
    QString device;
    // The argument file with "-jar JAR ARGUMENTS...", as the launcher reads it.
    QString argumentFile;
    // The /bin/sh command of a run of its own (LauncherCommand).
    QString ownRunCommand;
};

class CommandHost;
class HostJob;

// Runs deploy tool commands through command hosts (lib/CommandHost.jar): one Java runtime per
// device, Java options and runtime folder, running that device's commands one at a time in the
// order they were started. A job behaves as a ProcessConsoleRunner job of the same command: the
// output of both streams as one text in the order written, beginning with the Java runtime's
// start notices ("Picked up JAVA_TOOL_OPTIONS: ...") as a runtime of its own would, the tool's exit
// code, -1 when it was stopped or its runtime died.
//
// A host runs a command only in the environment the command would have had as a run of its own
// (this program's environment when the command was started): when the next command's differs
// (a variable was set or changed meanwhile), that host is asked to end and a new one starts.
// A host idle for idleLimit is asked to end too; the next command starts a new one. Asked to end,
// a host closes its input and ends; whatever of it is left after the stop grace is killed.
//
// Stopping a running job ends its host with everything it started (SIGTERM, SIGKILL after the
// stop grace; the next command starts a new host); stopping a job that waits for its turn only
// takes it out of the line. A runtime that cannot trap System.exit (Java 24 and later), a host
// that does not start or a missing host jar make every command of that kind a run of its own, as
// ProcessConsoleRunner runs it. Hosts are known to the CommandReaper, so none outlives the
// program.
class CommandHostRunner {
public:
    // How long a host may stand idle before it is asked to end. A minute: a person working in
    // the window usually sends the next command within it, and a host left longer only holds its
    // memory (about 60 MB) for a command that then pays one runtime start again.
    static constexpr std::chrono::milliseconds DefaultIdleLimit = std::chrono::seconds(60);

    explicit CommandHostRunner(const QByteArray& encoding = QByteArray());
    ~CommandHostRunner();
    CommandHostRunner(const CommandHostRunner&) = delete;
    CommandHostRunner& operator=(const CommandHostRunner&) = delete;

    ConsoleJob* start(const HostCommand& command, ConsoleJob::Feed feed, QObject* parent);

    // Tests shorten these.
    void setIdleLimit(std::chrono::milliseconds limit) { idleLimit_ = limit; }
    void setStopGrace(std::chrono::milliseconds grace) { stopGrace_ = grace; }

    // The number of hosts that take commands now, for tests.
    int hostCount() const;
    // Their process group ids (each the group of the shell that runs the host's Java runtime),
    // for tests.
    QList<qint64> hostProcessIds() const;
    // The hosts asked to end that have not yet ended, for tests.
    int leavingHostCount() const { return static_cast<int>(leaving_.size()); }

private:
    void enqueue(HostJob* job);

    QByteArray encoding_;
    std::chrono::milliseconds idleLimit_ = DefaultIdleLimit;
    std::chrono::milliseconds stopGrace_{2000};
    std::map<QString, std::unique_ptr<CommandHost>> hosts_;
    // Hosts asked to end, kept until their runtime has ended.
    std::list<std::unique_ptr<CommandHost>> leaving_;
    // Kinds of command (runtime folder and options) whose host could not be used.
    QStringList refused_;
};

// Whether device commands go through command hosts: unless the environment variable
// KESTRANE_COMMAND_HOST is "0", which makes every command a Java runtime of its own.
bool CommandHostEnabled();

} // namespace kestrane
