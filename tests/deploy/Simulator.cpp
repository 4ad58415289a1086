#include "Simulator.h"

#include "TextUtils.h"

#include <QFileInfo>
#include <QProcess>

#include <stdexcept>

namespace kestrane::test {

QStringList ToolRun::outLines() const {
    return SplitLines(out);
}

Simulator::Simulator() : env_(QProcessEnvironment::systemEnvironment()) {
    if (!home_.isValid())
        throw std::runtime_error("no temporary folder");
    env_.insert("KESTRANE_DEVICESIM_HOME", home_.path());
    env_.insert("KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS", "50");
    env_.insert("KESTRANE_DEVICESIM_PROGRESS_MS", "0");
    env_.remove("KESTRANE_DEVICESIM_FAIL_INSTALL_AT");
    env_.remove("KESTRANE_DEVICESIM_ARGS_LOG");
}

QString Simulator::appDir() {
    return QStringLiteral(KESTRANE_TEST_APP_DIR);
}

QString Simulator::jarPath() {
    return appDir() + QStringLiteral("/lib/BarDeploy.jar");
}

ToolRun Simulator::run(const QStringList& args) const {
    QProcess process;
    start(process, args);
    return finish(process);
}

void Simulator::start(QProcess& process, const QStringList& args) const {
    process.setProcessEnvironment(env_);
    process.start(QStringLiteral(KESTRANE_TEST_JAVA), QStringList{"-jar", jarPath()} + args);
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
