#include "DeployCommand.h"

#include "TextUtils.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace kestrane {

namespace {

bool isPlainShellCharacter(QChar c) {
    const char16_t u = c.unicode();
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9'))
        return true;
    return QStringView(u"._/:@%+=,-").contains(c);
}

bool isPlainShellWord(const QString& value) {
    return std::all_of(value.begin(), value.end(), isPlainShellCharacter);
}

QString singleQuoted(const QString& value) {
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

QStringList DeployActionOptions(DeployAction action) {
    switch (action) {
    case DeployAction::ListDeviceInfo:
        return {QStringLiteral("-listDeviceInfo")};
    case DeployAction::ListInstalledApps:
        return {QStringLiteral("-listInstalledApps")};
    case DeployAction::InstallApp:
        return {QStringLiteral("-installApp")};
    case DeployAction::IsAppRunning:
        return {QStringLiteral("-isAppRunning")};
    case DeployAction::LaunchApp:
        return {QStringLiteral("-launchApp")};
    case DeployAction::TerminateApp:
        return {QStringLiteral("-terminateApp")};
    case DeployAction::UninstallApp:
        return {QStringLiteral("-uninstallApp")};
    case DeployAction::InstallAndLaunchApp:
        return {QStringLiteral("-installApp"), QStringLiteral("-launchApp")};
    case DeployAction::InstallDebugToken:
        return {QStringLiteral("-installDebugToken")};
    case DeployAction::GetFile:
        return {QStringLiteral("-getFile")};
    case DeployAction::PutFile:
        return {QStringLiteral("-putFile")};
    case DeployAction::PrintExitCode:
        return {QStringLiteral("-printExitCode")};
    }
    return {};
}

QString DeployActionOption(DeployAction action) {
    return DeployActionOptions(action).join(QLatin1Char(' '));
}

QString JavaRuntimeMissingMessage(const QString& javaBinDir) {
    if (!javaBinDir.isEmpty())
        return {};
    return QStringLiteral("You have to install Java Runtime Environment before using this Utility");
}

QString InvalidAddressMessage(const QString& addressField) {
    const QString address = RemoveSpaces(addressField);
    const QStringList groups = address.split(QLatin1Char('.'));
    const bool valid =
        groups.size() == 4 && std::all_of(groups.begin(), groups.end(), [](const QString& group) {
            static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
            return digits.match(group).hasMatch() && group.toInt() <= 255;
        });
    if (valid)
        return {};
    return QStringLiteral("\"%1\" is not a device address. Type four numbers from 0 to 255 "
                          "separated by dots, for example 169.254.0.1.")
        .arg(address);
}

QString DeployToolPath(const QString& appDir) {
    return appDir + QStringLiteral("/lib/BarDeploy.jar");
}

QString DeploySecurityPath(const QString& appDir) {
    return appDir + QStringLiteral("/lib/deploy-tls.security");
}

QString ShellQuote(const QString& value) {
    if (!value.isEmpty() && isPlainShellWord(value))
        return value;
    return singleQuoted(value);
}

QString DeployToolJarPath(const DeployTool& tool) {
    return tool.folder.isEmpty() ? DeployToolPath(tool.appDir)
                                 : tool.folder + QStringLiteral("/BarDeploy.jar");
}

DeployInvocation DeployCommand(const DeployTool& tool, DeployAction action,
                               const QString& addressField, const QString& passwordField,
                               const QStringList& arguments) {
    DeployInvocation invocation;
    invocation.device = RemoveSpaces(addressField);
    invocation.toolHome = tool.home;
    invocation.appDir = tool.appDir;
    invocation.javaOptions = {QStringLiteral("-Djava.security.properties=") +
                              DeploySecurityPath(tool.appDir)};
    if (!tool.home.isEmpty())
        invocation.javaOptions.append(QStringLiteral("-Duser.home=") + tool.home);
    if (action == DeployAction::GetFile || action == DeployAction::PrintExitCode)
        invocation.javaOptions.append(QStringLiteral("-Dfile.encoding=ISO-8859-1"));
    invocation.javaOptions.append(QStringLiteral("-Xmx512M"));
    // A debug token's file is the value of its option, a transfer's two paths follow its option;
    // every other argument comes last.
    qsizetype followOption = 0;
    if (action == DeployAction::InstallDebugToken)
        followOption = arguments.size();
    else if (action == DeployAction::GetFile || action == DeployAction::PutFile)
        followOption = std::min<qsizetype>(2, arguments.size());
    invocation.toolArguments = QStringList{QStringLiteral("-jar"), DeployToolJarPath(tool)} +
                               DeployActionOptions(action) + arguments.mid(0, followOption);
    invocation.toolArguments +=
        QStringList{QStringLiteral("-device"), invocation.device, QStringLiteral("-password"),
                    TrimControls(passwordField)};
    invocation.toolArguments += arguments.mid(followOption);
    return invocation;
}

QStringList InstallArguments(const QString& barPath) {
    return {barPath};
}

QStringList DebugTokenArguments(const QString& tokenPath) {
    return {tokenPath};
}

QStringList PackageArguments(const QString& packageName, const QString& packageId) {
    return {QStringLiteral("-package-name"), packageName, QStringLiteral("-package-id"), packageId};
}

QStringList SandboxFileArguments(const QString& first, const QString& second,
                                 const QString& packageName, const QString& packageId) {
    return QStringList{first, second} + PackageArguments(packageName, packageId);
}

QString LauncherCommand(const DeployInvocation& invocation, const QString& argumentFile) {
    QStringList words{QStringLiteral("java")};
    for (const QString& option : invocation.javaOptions)
        words.append(ShellQuote(option));
    words.append(ShellQuote(QLatin1Char('@') + argumentFile));
    return words.join(QLatin1Char(' '));
}

} // namespace kestrane
