#include "Simulator.h"

#include "TextUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <stdexcept>

namespace kestrane::test {

QStringList ToolRun::outLines() const {
    return SplitLines(out);
}

Simulator::Simulator() : env_(QProcessEnvironment::systemEnvironment()) {
    if (!home_.isValid() || !userHome_.isValid())
        throw std::runtime_error("no temporary folder");
    env_.insert("KESTRANE_DEVICESIM_HOME", home_.path());
    env_.insert("KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS", "50");
    env_.insert("KESTRANE_DEVICESIM_PROGRESS_MS", "0");
    for (const char* name : {"KESTRANE_DEVICESIM_FAIL_INSTALL_AT",
                             "KESTRANE_DEVICESIM_INSTALL_FAILURE", "KESTRANE_DEVICESIM_UPLOAD_MS",
                             "KESTRANE_DEVICESIM_STALE_ENTRY_MS", "KESTRANE_DEVICESIM_ARGS_LOG"})
        env_.remove(name);
}

QString Simulator::appDir() {
    return QStringLiteral(KESTRANE_TEST_APP_DIR);
}

QString Simulator::jarPath() {
    return appDir() + QStringLiteral("/lib/BarDeploy.jar");
}

QStringList Simulator::javaArgs() const {
    return {"-Duser.home=" + userHome(), "-jar", jarPath()};
}

QStringList Simulator::deployData() const {
    QFile file(QDir(userHome()).filePath(".deployData"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return SplitLines(QString::fromUtf8(file.readAll()));
}

ToolRun Simulator::run(const QStringList& args) const {
    return runJava(javaArgs() + args);
}

ToolRun Simulator::runJava(const QStringList& javaArgs) const {
    QProcess process;
    process.setProcessEnvironment(env_);
    process.start(QStringLiteral(KESTRANE_TEST_JAVA), javaArgs);
    return finish(process);
}

void Simulator::start(QProcess& process, const QStringList& args) const {
    process.setProcessEnvironment(env_);
    process.start(QStringLiteral(KESTRANE_TEST_JAVA), javaArgs() + args);
}

ToolRun Simulator::runShell(const QString& command, const QString& workingDir) const {
    QProcessEnvironment env = env_;
    const QString javaDir = QFileInfo(QStringLiteral(KESTRANE_TEST_JAVA)).absolutePath();
    env.insert("PATH", javaDir + ":" + env.value("PATH", "/usr/bin:/bin"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingDir);
    process.start(QStringLiteral("/bin/sh"), {"-c", command});
    return finish(process);
}

ToolRun Simulator::finish(QProcess& process) const {
    if (!process.waitForFinished(60000))
        throw std::runtime_error("the simulator did not end");
    ToolRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QStringList Login(const QString& address, const QString& password) {
    return {"-device", address, "-password", password};
}

} // namespace kestrane::test
