#include "DeviceOperations.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

namespace kestrane {

CommandCheck CheckBeforeDeviceCommand(const DeviceContext& context, const QString& address) {
    const QString missingJava = JavaRuntimeMissingMessage(context.javaBinDir);
    if (!missingJava.isEmpty())
        return {FailureKind::JavaMissing, missingJava};
    const QString badAddress = InvalidAddressMessage(address);
    if (!badAddress.isEmpty())
        return {FailureKind::InvalidAddress, badAddress};
    const DeviceFailure missing =
        MissingDeployTool(context.tool.appDir, context.javaBinDir, context.tool.folder);
    if (missing.kind != FailureKind::None)
        return {missing.kind, missing.message};
    return {};
}

ConnectOutcome ReadConnectOutcome(const DeviceContext& context, const CommandResult& result) {
    ConnectOutcome outcome{context.judge(result), {}};
    if (!outcome.verdict.succeeded)
        return outcome;
    outcome.info = ReadDeviceInfo(result.output);
    if (!outcome.info.connected)
        outcome.verdict = CommandVerdict(false, NoDeviceInformationMessage, FailureKind::NoResult,
                                         NoDeviceInformationMessage, ToolOutputText(result.output));
    return outcome;
}

QList<InstalledApp> ReadInstalledApps(const QString& output) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QList<InstalledApp> apps;
    for (const QString& line : output.split(lineBreak, Qt::SkipEmptyParts)) {
        InstalledApp app = ReadInstalledAppLine(line);
        if (!app.appName.isEmpty())
            apps.append(std::move(app));
    }
    return apps;
}

AppListing ReadAppListing(const DeviceContext& context, const CommandResult& result) {
    AppListing listing{context.judge(result), {}};
    if (listing.verdict.succeeded)
        listing.apps = ReadInstalledApps(result.output);
    return listing;
}

int DeviceExitCode(FailureKind kind) {
    switch (kind) {
    case FailureKind::None:
        return 0;
    case FailureKind::InvalidAddress:
    case FailureKind::BarFileMissing:
    case FailureKind::LocalFile:
        return 1;
    case FailureKind::WrongPassword:
    case FailureKind::LastAttemptLeft:
        return 3;
    case FailureKind::NoAttemptsLeft:
        return 4;
    case FailureKind::CannotConnect:
    case FailureKind::ConnectionClosed:
    case FailureKind::NoAnswer:
    case FailureKind::LoginSystemError:
        return 5;
    case FailureKind::JavaMissing:
    case FailureKind::DeployToolMissing:
    case FailureKind::TlsSettingsMissing:
        return 6;
    case FailureKind::DevelopmentModeOff:
    case FailureKind::DeviceRefused:
    case FailureKind::NoResult:
    case FailureKind::Unknown:
        return 2;
    }
    return 2;
}

QString ExecutableFolder() {
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    const QString resolved = executable.canonicalFilePath();
    return QFileInfo(resolved.isEmpty() ? executable.absoluteFilePath() : resolved).absolutePath();
}

} // namespace kestrane
