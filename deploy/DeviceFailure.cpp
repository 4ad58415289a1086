#include "DeviceFailure.h"

#include "CommandResult.h"
#include "TextUtils.h"

#include <QRegularExpression>
#include <QStringList>

#include <optional>

namespace kestrane {
namespace {

const QString ErrorMarker = QStringLiteral("Error:");
const QString DeviceFailureMarker = QStringLiteral("result::failure");

// The first line that holds text, or an empty text.
QString FirstLineHolding(const QStringList& lines, QStringView text) {
    for (const QString& line : lines)
        if (line.contains(text))
            return line;
    return {};
}

// The device's host from a line naming "https://HOST:443", or a neutral phrase.
QString HostNamedIn(const QString& line) {
    static const QRegularExpression url(QStringLiteral("https?://([^:/\\s]+)"));
    const QRegularExpressionMatch match = url.match(line);
    if (match.hasMatch())
        return match.captured(1);
    static const QRegularExpression host(QStringLiteral("to /?([0-9A-Za-z.\\-]+):[0-9]+"));
    const QRegularExpressionMatch plain = host.match(line);
    return plain.hasMatch() ? plain.captured(1) : QStringLiteral("the address");
}

DeviceFailure Failure(FailureKind kind, const QString& message, const QString& reason) {
    return {kind, message, reason, {}};
}

std::optional<DeviceFailure> LoginFailure(const QStringList& lines) {
    const QString tooMany =
        FirstLineHolding(lines, u"Authentication failed. There have been too many");
    if (!tooMany.isEmpty()) {
        static const QRegularExpression count(QStringLiteral("\\((\\d+)\\)"));
        const QRegularExpressionMatch match = count.match(tooMany);
        const QString limit = match.hasMatch() ? match.captured(1) : QStringLiteral("10");
        return Failure(FailureKind::NoAttemptsLeft,
                       QStringLiteral("The device takes no more passwords: there have been too "
                                      "many failed attempts (%1). Type the password on the device "
                                      "itself to reset the count, then try again.")
                           .arg(limit),
                       QStringLiteral("locked after %1 wrong passwords").arg(limit));
    }
    static const QRegularExpression attempts(
        QStringLiteral("Authentication failed\\. There have been (\\d+) of (\\d+) failed"));
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = attempts.match(line);
        if (!match.hasMatch())
            continue;
        const QString done = match.captured(1);
        const QString limit = match.captured(2);
        return Failure(
            FailureKind::WrongPassword,
            QStringLiteral("The device refused the password: %1 of %2 failed "
                           "attempts. Check the password and try again; after %2 "
                           "failed attempts the device locks until the password is "
                           "typed on the device itself.")
                .arg(done, limit),
            QStringLiteral("wrong password (%1 of %2 failed attempts)").arg(done, limit));
    }
    if (!FirstLineHolding(lines, u"Authentication failed due to system error").isEmpty())
        return Failure(FailureKind::LoginSystemError,
                       QStringLiteral("The device could not check the password (a system error "
                                      "on the device). Restart the device, then try again."),
                       QStringLiteral("the device could not check the password"));
    return std::nullopt;
}

std::optional<DeviceFailure> ConnectionFailure(const QStringList& lines) {
    if (!FirstLineHolding(lines, u"Error: Device is not in the Development Mode").isEmpty())
        return Failure(FailureKind::DevelopmentModeOff,
                       QStringLiteral("Development Mode is off on the device. Switch it on in "
                                      "Settings > Security and Privacy > Development Mode, then "
                                      "try again."),
                       QStringLiteral("Development Mode is off"));
    const QString cannot = FirstLineHolding(lines, u"Error: Cannot connect");
    if (!cannot.isEmpty()) {
        const QString host = HostNamedIn(cannot);
        if (cannot.contains(QLatin1StringView("refused")))
            return Failure(FailureKind::CannotConnect,
                           QStringLiteral("Nothing at %1 accepted the connection. Check the "
                                          "address, that the device is connected over USB or "
                                          "Wi-Fi and that Development Mode is on; restarting the "
                                          "device may help.")
                               .arg(host),
                           QStringLiteral("cannot connect: %1 refused the connection").arg(host));
        if (cannot.contains(QLatin1StringView("unreachable")))
            return Failure(FailureKind::CannotConnect,
                           QStringLiteral("This computer has no network route to the device. "
                                          "Check the USB or Wi-Fi connection and the address."),
                           QStringLiteral("cannot connect: network unreachable"));
        if (cannot.contains(QLatin1StringView("timed out")))
            return Failure(FailureKind::CannotConnect,
                           QStringLiteral("The device at %1 did not take the connection in time. "
                                          "Check that it is connected and awake, and that the "
                                          "address is right.")
                               .arg(host),
                           QStringLiteral("cannot connect: %1 timed out").arg(host));
        return Failure(FailureKind::CannotConnect,
                       QStringLiteral("The deploy tool cannot connect to the device. Check the "
                                      "address and the connection. The tool says: %1")
                           .arg(cannot),
                       QStringLiteral("cannot connect"));
    }
    if (!FirstLineHolding(lines, u"Error: The target server failed to respond").isEmpty())
        return Failure(FailureKind::ConnectionClosed,
                       QStringLiteral("The device closed the connection without answering. It "
                                      "may be busy or restarting: wait a moment and try again; "
                                      "if it keeps happening, restart the device."),
                       QStringLiteral("the device closed the connection"));
    return std::nullopt;
}

std::optional<DeviceFailure> BarFileFailure(const QStringList& lines) {
    const QString marker =
        QStringLiteral("Error: File does not exist or not a file or cannot read:");
    const QString line = FirstLineHolding(lines, marker);
    if (line.isEmpty())
        return std::nullopt;
    const QString path = line.mid(line.indexOf(marker) + marker.size()).trimmed();
    return Failure(FailureKind::BarFileMissing,
                   QStringLiteral("The BAR file %1 no longer exists or cannot be read. Check the "
                                  "file, or remove it from the list and add it again.")
                       .arg(path),
                   QStringLiteral("the BAR file is gone or cannot be read"));
}

// "want (10, 3, 0, 0) have (10, 2, 1, 3247)" as the two versions, dotted.
std::optional<std::pair<QString, QString>> RequiredAndPresentVersions(const QString& text) {
    static const QRegularExpression versions(
        QStringLiteral("want \\(([0-9, ]+)\\) have \\(([0-9, ]+)\\)"));
    const QRegularExpressionMatch match = versions.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const auto dotted = [](QString list) {
        return list.remove(QLatin1Char(' ')).replace(',', '.');
    };
    return std::pair{dotted(match.captured(1)), dotted(match.captured(2))};
}

std::optional<DeviceFailure> DeviceAnswerFailure(const QStringList& lines) {
    const QString line = FirstLineHolding(lines, DeviceFailureMarker);
    if (line.isEmpty())
        return std::nullopt;
    const QString answer =
        line.mid(line.indexOf(DeviceFailureMarker) + DeviceFailureMarker.size()).trimmed();
    const QString code = answer.section(QLatin1Char(' '), 0, 0);
    const QString text = answer.section(QLatin1Char(' '), 1).trimmed();
    if (code == QLatin1StringView("881"))
        return Failure(FailureKind::DeviceRefused,
                       QStringLiteral("The device refused the application: it has no debug token "
                                      "(%1). Install a debug token made for this device's PIN, "
                                      "or install a BAR signed for release.")
                           .arg(answer),
                       QStringLiteral("no debug token on the device (881)"));
    if (code == QLatin1StringView("533")) {
        const auto versions = RequiredAndPresentVersions(text);
        if (versions)
            return Failure(FailureKind::DeviceRefused,
                           QStringLiteral("The application needs a newer OS: it wants %1, the "
                                          "device has %2 (533). Update the device's OS, or "
                                          "build the application for the device's version.")
                               .arg(versions->first, versions->second),
                           QStringLiteral("needs OS %1, the device has %2 (533)")
                               .arg(versions->first, versions->second));
        return Failure(FailureKind::DeviceRefused,
                       QStringLiteral("The application needs a newer OS than the device has "
                                      "(%1). Update the device's OS, or build the application "
                                      "for the device's version.")
                           .arg(answer),
                       QStringLiteral("needs a newer OS (533)"));
    }
    if (code == QLatin1StringView("500") &&
        text.contains(QLatin1StringView("cannot determine package name")))
        return Failure(FailureKind::DeviceRefused,
                       QStringLiteral("The device has no application with this package name and "
                                      "id (%1). Refresh the list of installed applications: it "
                                      "may have been uninstalled.")
                           .arg(answer),
                       QStringLiteral("no such application on the device (500)"));
    if (code == QLatin1StringView("500") && text.contains(QLatin1StringView("File exists")))
        return Failure(FailureKind::DeviceRefused,
                       QStringLiteral("The device could not install the application because "
                                      "files of it are already there (%1). Uninstall the "
                                      "application, then install it again.")
                           .arg(answer),
                       QStringLiteral("files of the application are already on the device (500)"));
    return Failure(FailureKind::DeviceRefused,
                   QStringLiteral("The device refused the command: %1.").arg(answer),
                   QStringLiteral("refused: %1").arg(answer));
}

// The tool's own verdict lines: "Error:" at a line's start, the device's "result::failure".
DeviceFailure UnknownFailure(const QStringList& lines, int exitCode) {
    QStringList own;
    for (const QString& line : lines)
        if (line.startsWith(ErrorMarker) || line.contains(DeviceFailureMarker))
            own.append(line);
    if (own.isEmpty()) {
        const QString ended =
            QStringLiteral("The deploy tool failed (exit code %1) without saying why.")
                .arg(exitCode);
        return Failure(FailureKind::Unknown,
                       ended + QStringLiteral(" The details show everything it wrote."),
                       QStringLiteral("failed with exit code %1").arg(exitCode));
    }
    return Failure(FailureKind::Unknown, own.join(QLatin1Char('\n')), own.constFirst());
}

} // namespace

QString FailureKindName(FailureKind kind) {
    switch (kind) {
    case FailureKind::None:
        return QStringLiteral("none");
    case FailureKind::WrongPassword:
        return QStringLiteral("wrong-password");
    case FailureKind::NoAttemptsLeft:
        return QStringLiteral("no-attempts-left");
    case FailureKind::DevelopmentModeOff:
        return QStringLiteral("development-mode-off");
    case FailureKind::CannotConnect:
        return QStringLiteral("cannot-connect");
    case FailureKind::ConnectionClosed:
        return QStringLiteral("connection-closed");
    case FailureKind::NoAnswer:
        return QStringLiteral("no-answer");
    case FailureKind::LoginSystemError:
        return QStringLiteral("login-system-error");
    case FailureKind::JavaMissing:
        return QStringLiteral("java-missing");
    case FailureKind::DeployToolMissing:
        return QStringLiteral("deploy-tool-missing");
    case FailureKind::TlsSettingsMissing:
        return QStringLiteral("tls-settings-missing");
    case FailureKind::InvalidAddress:
        return QStringLiteral("invalid-address");
    case FailureKind::LastAttemptLeft:
        return QStringLiteral("last-attempt-left");
    case FailureKind::BarFileMissing:
        return QStringLiteral("bar-file-missing");
    case FailureKind::LocalFile:
        return QStringLiteral("local-file");
    case FailureKind::DeviceRefused:
        return QStringLiteral("device-refused");
    case FailureKind::NoResult:
        return QStringLiteral("no-result");
    case FailureKind::Unknown:
        return QStringLiteral("unknown");
    }
    return {};
}

DeviceFailure DescribeToolFailure(const QString& output, int exitCode) {
    const QStringList lines = SplitLines(output);
    std::optional<DeviceFailure> failure = LoginFailure(lines);
    if (!failure)
        failure = ConnectionFailure(lines);
    if (!failure)
        failure = BarFileFailure(lines);
    if (!failure)
        failure = DeviceAnswerFailure(lines);
    if (!failure)
        failure = UnknownFailure(lines, exitCode);
    failure->details = ToolOutputText(output);
    return *failure;
}

} // namespace kestrane
