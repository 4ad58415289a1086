#pragma once

#include "ConsoleRunner.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

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
// device, Java options and runtime folder, kept while this object lives, running that device's
// commands one at a time in the order they were started. A job behaves as a ProcessConsoleRunner
// job of the same command: the output of both streams as one text in the order written, the
// tool's exit code, -1 when it was stopped or its runtime died.
//
// Stopping a running job ends its host with everything it started (the next command starts a new
// one); stopping a job that waits for its turn only takes it out of the line. A runtime that
// cannot trap System.exit (Java 24 and later), a host that does not start or a missing host jar
// make every command of that kind a run of its own, as ProcessConsoleRunner runs it. Hosts are
// known to the CommandReaper, so none outlives the program.
class CommandHostRunner {
public:
    explicit CommandHostRunner(const QByteArray& encoding = QByteArray());
    ~CommandHostRunner();
    CommandHostRunner(const CommandHostRunner&) = delete;
    CommandHostRunner& operator=(const CommandHostRunner&) = delete;

    ConsoleJob* start(const HostCommand& command, ConsoleJob::Feed feed, QObject* parent);

    // The number of host runtimes running now, for tests.
    int hostCount() const;
    // Their process ids (each the Java runtime's), for tests.
    QList<qint64> hostProcessIds() const;

private:
    void enqueue(HostJob* job);

    QByteArray encoding_;
    std::map<QString, std::unique_ptr<CommandHost>> hosts_;
    // Kinds of command (runtime folder and options) whose host could not be used.
    QStringList refused_;
};

// Whether device commands go through command hosts: only when the environment variable
// KESTRANE_COMMAND_HOST is "1"; otherwise one Java runtime per command, as before.
bool CommandHostEnabled();

} // namespace kestrane
