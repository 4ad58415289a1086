#include "InstalledApps.h"

#include <algorithm>

namespace kestrane {

namespace {

// The text from `start` up to the next ",", without it; empty when no "," follows.
QString upToComma(const QString& line, qsizetype start) {
    if (start < 0 || start >= line.size())
        return {};
    const qsizetype comma = line.indexOf(QLatin1Char(','), start);
    return comma < 0 ? QString() : line.mid(start, comma - start);
}

// Package name, id and version, found from the line's first "::": the four characters after it
// are searched for in the line, and their first occurrence, less one separator character, ends
// the package name; the id runs from there to the "::"; the version starts after "::", a run as
// long as the id and one more character.
InstalledApp readPackageFields(const QString& line) {
    InstalledApp app;
    const qsizetype colons = line.indexOf(QLatin1StringView("::"));
    const QString probe = line.mid(colons + 2, 4);
    const qsizetype probeAt = probe.isEmpty() ? -1 : line.indexOf(probe);
    app.packageName = line.left(std::max<qsizetype>(probeAt - 1, 0));
    const qsizetype idStart = app.packageName.size() + 1;
    if (colons > idStart)
        app.packageId = line.mid(idStart, colons - idStart);
    app.version = upToComma(line, colons + app.packageId.size() + 3);
    return app;
}

InstalledApp readDeveloperLine(const QString& line) {
    InstalledApp app = readPackageFields(line);
    app.appName = app.packageName.mid(app.packageName.lastIndexOf(QLatin1Char('.')) + 1);
    return app;
}

InstalledApp readAppWorldLine(const QString& line) {
    InstalledApp app = readPackageFields(line);
    // Without "name::" the name is taken from the line's sixth character on.
    app.appName = upToComma(line, line.indexOf(QLatin1StringView("name::")) + 6);
    return app;
}

} // namespace

InstalledApp ReadInstalledAppLine(const QString& line) {
    InstalledApp app;
    if (line.contains(QLatin1StringView("source::developer")))
        app = readDeveloperLine(line);
    if (line.contains(QLatin1StringView("source::appworld")))
        app = readAppWorldLine(line);
    return app;
}

QString AppActionStatus(DeployAction action, const QString& output) {
    switch (action) {
    case DeployAction::IsAppRunning:
        return output.contains(QLatin1StringView("result::true")) ? QStringLiteral("Running")
                                                                  : QStringLiteral("Stop");
    case DeployAction::LaunchApp:
        return QStringLiteral("Running");
    case DeployAction::TerminateApp:
        return QStringLiteral("Stop");
    case DeployAction::UninstallApp:
        return QStringLiteral("Uninstalled");
    default:
        return {};
    }
}

} // namespace kestrane
