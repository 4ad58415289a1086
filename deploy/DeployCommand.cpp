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

QString DeployActionOption(DeployAction action) {
    switch (action) {
    case DeployAction::ListDeviceInfo:
        return QStringLiteral("-listDeviceInfo");
    case DeployAction::ListInstalledApps:
        return QStringLiteral("-listInstalledApps");
    case DeployAction::InstallApp:
        return QStringLiteral("-installApp");
    case DeployAction::IsAppRunning:
        return QStringLiteral("-isAppRunning");
    case DeployAction::LaunchApp:
        return QStringLiteral("-launchApp");
    case DeployAction::TerminateApp:
        return QStringLiteral("-terminateApp");
    case DeployAction::UninstallApp:
        return QStringLiteral("-uninstallApp");
    }
    return {};
}

bool ActionChecksJavaRuntime(DeployAction action) {
    return action == DeployAction::ListDeviceInfo || action == DeployAction::ListInstalledApps ||
           action == DeployAction::InstallApp;
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

QString ShellQuotePath(const QString& path) {
    if (isPlainShellWord(path))
        return QLatin1Char('"') + path + QLatin1Char('"');
    return singleQuoted(path);
}

QString DeployCommandHead(const QString& appDir, DeployAction action, const QString& addressField,
                          const QString& passwordField) {
    return QStringLiteral("java -Djava.security.properties=") +
           ShellQuote(DeploySecurityPath(appDir)) + QStringLiteral(" -Xmx512M -jar ") +
           ShellQuotePath(DeployToolPath(appDir)) + QLatin1Char(' ') + DeployActionOption(action) +
           QStringLiteral(" -device ") + ShellQuote(RemoveSpaces(addressField)) +
           QStringLiteral(" -password ") + ShellQuote(TrimControls(passwordField)) +
           QLatin1Char(' ');
}

QString InstallArguments(const QString& barPath) {
    return ShellQuotePath(barPath);
}

QString PackageArguments(const QString& packageName, const QString& packageId) {
    return QStringLiteral(" -package-name ") + ShellQuote(packageName) +
           QStringLiteral(" -package-id ") + ShellQuote(packageId);
}

} // namespace kestrane
