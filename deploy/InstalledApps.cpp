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

// The text from start up to the next "," or the line's end.
QString field(const QString& line, qsizetype start) {
    const qsizetype comma = line.indexOf(QLatin1Char(','), start);
    return comma < 0 ? line.mid(start) : line.mid(start, comma - start);
}

// <package name>.<package id>::<folder>,<version>,...,name::<app name>,...
// Package ids hold no ".", so the text before the "::" splits at its last "."; the folder is
// usually the id again, but not always, so nothing is read from it.
InstalledApp readByFields(const QString& line, qsizetype colons) {
    InstalledApp app;
    const qsizetype dot = line.lastIndexOf(QLatin1Char('.'), colons - 1);
    app.packageName = line.left(dot);
    app.packageId = line.mid(dot + 1, colons - dot - 1);
    const qsizetype versionComma = line.indexOf(QLatin1Char(','), colons + 2);
    if (versionComma >= 0)
        app.version = field(line, versionComma + 1);
    const QLatin1StringView nameField(",name::");
    const qsizetype name = line.indexOf(nameField, colons + 2);
    app.appName = name >= 0
                      ? field(line, name + nameField.size())
                      : app.packageName.mid(app.packageName.lastIndexOf(QLatin1Char('.')) + 1);
    return app;
}

} // namespace

InstalledApp ReadInstalledAppLine(const QString& line) {
    const bool developer = line.contains(QLatin1StringView("source::developer"));
    const bool appWorld = line.contains(QLatin1StringView("source::appworld"));
    if (!developer && !appWorld)
        return {};
    const qsizetype colons = line.indexOf(QLatin1StringView("::"));
    if (colons > 0 && line.lastIndexOf(QLatin1Char('.'), colons - 1) >= 0)
        return readByFields(line, colons);
    // Without a "." before the "::" there is no package name to split off: the line is read by
    // position, as the tool's older lines were laid out.
    return appWorld ? readAppWorldLine(line) : readDeveloperLine(line);
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
