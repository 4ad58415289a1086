#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kestrane::test {

// One run of a command: exit code and both output streams (kept apart, so tests can tell them).
struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
    QString merged() const { return out + err; }
    QStringList outLines() const;
};

// The built device simulator (lib/BarDeploy.jar) with a state folder of its own, a Java user.home
// of its own (where the deploy tool keeps its login data, .deployData) and short delays.
class Simulator {
public:
    Simulator();

    // Runs `java -Duser.home=<userHome> -jar BarDeploy.jar args...` without a shell.
    ToolRun run(const QStringList& args) const;
    // Starts the same, for a test that watches the run as it goes.
    void start(QProcess& process, const QStringList& args) const;
    // Runs `java javaArgs...`, with the simulator's environment.
    ToolRun runJava(const QStringList& javaArgs) const;
    // The Java arguments of run(): the user.home option, "-jar" and the jar.
    QStringList javaArgs() const;
    // Runs a command text through /bin/sh -c in `workingDir`, with java's folder first on PATH.
    ToolRun runShell(const QString& command, const QString& workingDir) const;

    void setEnv(const QString& name, const QString& value) { env_.insert(name, value); }
    const QProcessEnvironment& environment() const { return env_; }
    void unsetEnv(const QString& name) { env_.remove(name); }
    QString stateHome() const { return home_.path(); }
    QString userHome() const { return userHome_.path(); }
    // The lines of .deployData in the user.home folder; empty when there is none.
    QStringList deployData() const;
    // The folder that holds the program and lib/ (the program's AppDir).
    static QString appDir();
    static QString jarPath();

private:
    ToolRun finish(QProcess& process) const;

    QTemporaryDir home_;
    QTemporaryDir userHome_;
    QProcessEnvironment env_;
};

// The address and password of a simulated device.
inline const QString kFullTouch = QStringLiteral("169.254.0.1");
inline const QString kKeyboard = QStringLiteral("169.254.1.1");
inline const QString kPlayBook = QStringLiteral("169.254.2.1");
inline const QString kNoDevMode = QStringLiteral("169.254.3.1");
// Addresses where the connection is accepted but no device answers: one never answers, the other
// closes the connection at every request.
inline const QString kSilent = QStringLiteral("169.254.4.1");
inline const QString kClosesConnection = QStringLiteral("169.254.5.1");
// Answers the login with an empty document: a login system error, whatever the password.
inline const QString kLoginSystemError = QStringLiteral("169.254.6.1");

QStringList Login(const QString& address, const QString& password);

} // namespace kestrane::test
