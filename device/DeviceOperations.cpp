#include "DeviceOperations.h"


#include <QRegularExpression>

namespace kestrane {

CommandCheck CheckBeforeDeviceCommand(const DeviceContext& context, const QString& address) {
    const QString missingJava = JavaRuntimeMissingMessage(context.javaBinDir);
    if (!missingJava.isEmpty())
        return {FailureKind::JavaMissing, missingJava};
    const QString badAddress = InvalidAddressMessage(address);
    if (!badAddress.isEmpty())
        return {FailureKind::InvalidAddress, badAddress};
    const DeviceFailure missing = MissingDeployTool(context.tool.appDir, context.javaBinDir);
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
                                         NoDeviceInformationMessage,
                                         ToolOutputText(result.output));
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

} // namespace kestrane
