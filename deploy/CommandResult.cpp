#include "CommandResult.h"

#include "DeployCommand.h"
#include "TextUtils.h"

#include <QFileInfo>

namespace kestrane {

namespace {

const QString ErrorMarker = QStringLiteral("Error:");

QString missingFileMessage(const QString& what, const QString& path) {
    return QStringLiteral("%1 is missing: %2 does not exist.").arg(what, path);
}

QString javaRuntimeProblem(const QString& javaBinDir) {
    const QString none = JavaRuntimeMissingMessage(javaBinDir);
    if (!none.isEmpty())
        return none;
    if (javaBinDir.contains(QLatin1Char(':')))
        return QStringLiteral("The Java runtime in %1 cannot be used: its folder name holds a "
                              "colon (:). Install or link the runtime under a name without one.")
            .arg(javaBinDir);
    const QString launcher = javaBinDir + QStringLiteral("/java");
    const QFileInfo info(launcher);
    if (!info.isFile() || !info.isExecutable())
        return missingFileMessage(QStringLiteral("The Java runtime"), launcher);
    return {};
}

} // namespace

// Looks at each line start in place: an installation's output can be large, and no copy of its
// lines is needed to find one marker. A line starts at the text's start and after CR or LF (an
// empty line between CR and LF cannot hold the marker).
bool HasErrorLine(const QString& output) {
    const QStringView text(output);
    bool atLineStart = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (atLineStart && c == ErrorMarker.front() && text.mid(i).startsWith(ErrorMarker))
            return true;
        atLineStart = c == QLatin1Char('\r') || c == QLatin1Char('\n');
    }
    return false;
}

QString SilenceMessage(std::chrono::milliseconds limit) {
    const qint64 ms = limit.count();
    const QString seconds = ms % 1000 == 0 || ms >= 10000
                                ? QString::number((ms + 500) / 1000)
                                : QString::number(static_cast<double>(ms) / 1000.0, 'f', 1);
    return QStringLiteral("The device did not answer within %1 seconds.").arg(seconds);
}

QString MissingDeployToolMessage(const QString& appDir, const QString& javaBinDir) {
    const QString runtime = javaRuntimeProblem(javaBinDir);
    if (!runtime.isEmpty())
        return runtime;
    if (!QFileInfo(DeployToolPath(appDir)).isFile())
        return missingFileMessage(QStringLiteral("The deploy tool"), DeployToolPath(appDir));
    if (!QFileInfo(DeploySecurityPath(appDir)).isFile())
        return missingFileMessage(QStringLiteral("The deploy tool's TLS settings file"),
                                  DeploySecurityPath(appDir));
    return {};
}

QString ToolOutputText(const QString& output) {
    QString text;
    for (const QString& line : SplitLines(output))
        text += line + QLatin1Char('\n');
    return text;
}

CommandVerdict JudgeDeviceCommand(const CommandResult& result, const QString& appDir,
                                  const QString& javaBinDir) {
    if (result.timedOut)
        return {false, SilenceMessage(result.silenceLimit)};
    if (result.output.trimmed().isEmpty() && result.exitCode != 0) {
        const QString missing = MissingDeployToolMessage(appDir, javaBinDir);
        if (!missing.isEmpty())
            return {false, missing};
        return {false, QStringLiteral("The deploy tool ended without writing anything "
                                      "(exit code %1).")
                           .arg(result.exitCode)};
    }
    if (result.exitCode != 0 || HasErrorLine(result.output))
        return {false, ToolOutputText(result.output)};
    return {true, {}};
}

} // namespace kestrane
