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

DeviceFailure MissingPiece(FailureKind kind, const QString& message) {
    return {kind, message, message, {}};
}

DeviceFailure JavaRuntimeProblem(const QString& javaBinDir) {
    const QString none = JavaRuntimeMissingMessage(javaBinDir);
    if (!none.isEmpty())
        return MissingPiece(FailureKind::JavaMissing, none);
    if (javaBinDir.contains(QLatin1Char(':')))
        return MissingPiece(
            FailureKind::JavaMissing,
            QStringLiteral("The Java runtime in %1 cannot be used: its folder name holds a "
                           "colon (:). Install or link the runtime under a name without one.")
                .arg(javaBinDir));
    const QString launcher = javaBinDir + QStringLiteral("/java");
    const QFileInfo info(launcher);
    if (!info.isFile() || !info.isExecutable())
        return MissingPiece(FailureKind::JavaMissing,
                            missingFileMessage(QStringLiteral("The Java runtime"), launcher));
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

DeviceFailure NoAnswerFailure(std::chrono::milliseconds limit) {
    return {FailureKind::NoAnswer,
            SilenceMessage(limit) +
                QStringLiteral(" Check that the device is switched on, unlocked and connected, "
                               "then try again."),
            QStringLiteral("no answer within the time limit"),
            {}};
}

DeviceFailure MissingDeployTool(const QString& appDir, const QString& javaBinDir,
                                const QString& toolFolder) {
    const DeviceFailure runtime = JavaRuntimeProblem(javaBinDir);
    if (runtime.kind != FailureKind::None)
        return runtime;
    const QString jar = DeployToolJarPath({appDir, {}, toolFolder});
    if (!QFileInfo(jar).isFile())
        return MissingPiece(FailureKind::DeployToolMissing,
                            missingFileMessage(QStringLiteral("The deploy tool"), jar));
    if (!QFileInfo(DeploySecurityPath(appDir)).isFile())
        return MissingPiece(
            FailureKind::TlsSettingsMissing,
            missingFileMessage(QStringLiteral("The deploy tool's TLS settings file"),
                               DeploySecurityPath(appDir)));
    return {};
}

QString MissingDeployToolMessage(const QString& appDir, const QString& javaBinDir,
                                 const QString& toolFolder) {
    return MissingDeployTool(appDir, javaBinDir, toolFolder).message;
}

QString ToolOutputText(const QString& output) {
    QString text;
    for (const QString& line : SplitLines(output))
        text += line + QLatin1Char('\n');
    return text;
}

CommandVerdict JudgeDeviceCommand(const CommandResult& result, const QString& appDir,
                                  const QString& javaBinDir, const QString& toolFolder) {
    if (!result.withheld.isEmpty())
        return CommandVerdict::Failed({FailureKind::LastAttemptLeft,
                                       result.withheld,
                                       QStringLiteral("not sent: one password attempt is left"),
                                       {}});
    if (result.timedOut) {
        DeviceFailure silence = NoAnswerFailure(result.silenceLimit);
        silence.details = ToolOutputText(result.output);
        return CommandVerdict::Failed(silence);
    }
    if (result.output.trimmed().isEmpty() && result.exitCode != 0) {
        const DeviceFailure missing = MissingDeployTool(appDir, javaBinDir, toolFolder);
        if (missing.kind != FailureKind::None)
            return CommandVerdict::Failed(missing);
        const QString ended =
            QStringLiteral("The deploy tool ended without writing anything (exit code %1).")
                .arg(result.exitCode);
        return CommandVerdict::Failed({FailureKind::Unknown, ended, ended, {}});
    }
    if (result.exitCode != 0 || HasErrorLine(result.output))
        return CommandVerdict::Failed(DescribeToolFailure(result.output, result.exitCode));
    return {true, {}};
}

} // namespace kestrane
