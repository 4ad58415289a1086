#pragma once

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace kestrane::testing {

// A state folder of the test's own for the device simulator: its devices remember nothing of other
// tests (installed apps, failed attempts), and it logs the arguments of its last run there. The
// simulator runs as a child of the test, so the folder is handed over through the environment.
class SimulatorState {
public:
    SimulatorState() {
        if (!dir_.isValid())
            return;
        qputenv("KESTRANE_DEVICESIM_HOME", dir_.path().toUtf8());
        qputenv("KESTRANE_DEVICESIM_ARGS_LOG", filePath(QStringLiteral("args.log")).toUtf8());
    }

    bool isValid() const { return dir_.isValid(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

    // The arguments the simulator received in its last run, each as it arrived.
    QStringList receivedArguments() const {
        QFile log(filePath(QStringLiteral("args.log")));
        if (!log.open(QIODevice::ReadOnly))
            return {QStringLiteral("<no run>")};
        QStringList arguments;
        for (const QByteArray& argument : log.readAll().split('\0'))
            arguments.append(QString::fromUtf8(argument));
        arguments.removeLast(); // every argument ends with a NUL
        return arguments;
    }

private:
    QTemporaryDir dir_;
};

} // namespace kestrane::testing
