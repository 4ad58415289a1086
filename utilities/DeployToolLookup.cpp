#include "DeployToolLookup.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace kestrane {
namespace {

const QString ToolJar = QStringLiteral("BarDeploy.jar");

// host_10_3_1_12 as numbers, for the newest first.
QList<int> HostVersion(const QString& name) {
    QList<int> numbers;
    for (const QString& part : name.mid(5).split(QLatin1Char('_')))
        numbers.append(part.toInt());
    return numbers;
}

QStringList SdkToolFolders(const QString& root) {
    QStringList hosts = QDir(root).entryList({QStringLiteral("host_*")}, QDir::Dirs);
    std::sort(hosts.begin(), hosts.end(),
              [](const QString& a, const QString& b) { return HostVersion(b) < HostVersion(a); });
    QStringList folders;
    for (const QString& host : hosts)
        folders.append(root + QLatin1Char('/') + host + QStringLiteral("/linux/x86/usr/lib"));
    return folders;
}

QString PassedOver(const QString& source, const QString& folder, const QStringList& missing) {
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("%1 %2: no such folder").arg(source, folder);
    return QStringLiteral("%1 %2: %3 missing")
        .arg(source, folder, missing.join(QStringLiteral(", ")));
}

} // namespace

const QStringList& DeployToolJars() {
    static const QStringList jars{ToolJar,
                                  QStringLiteral("apache-mime4j-0.6.jar"),
                                  QStringLiteral("commons-codec-1.4.jar"),
                                  QStringLiteral("commons-logging-1.1.1.jar"),
                                  QStringLiteral("httpclient-4.0.3.jar"),
                                  QStringLiteral("httpcore-4.0.1.jar"),
                                  QStringLiteral("httpmime-4.0.3.jar")};
    return jars;
}

QStringList MissingDeployToolJars(const QString& folder) {
    QStringList missing;
    for (const QString& jar : DeployToolJars())
        if (!QFileInfo(folder + QLatin1Char('/') + jar).isFile())
            missing.append(jar);
    return missing;
}

DeployToolPlaces DeployToolPlaces::ForUser(const QString& chosenFolder, const QString& appDir) {
    const QString home = QDir::homePath();
    const QString xdgData = qEnvironmentVariable("XDG_DATA_HOME");
    const QString dataHome = !xdgData.isEmpty() && QDir::isAbsolutePath(xdgData)
                                 ? xdgData
                                 : home + QStringLiteral("/.local/share");
    return {chosenFolder,
            qEnvironmentVariable("KESTRANE_DEPLOY_TOOL"),
            {home + QStringLiteral("/bbndk"), QStringLiteral("/opt/bbndk")},
            dataHome + QStringLiteral("/kestrane/deploy-tool"),
            appDir};
}

DeployToolFound FindDeployTool(const DeployToolPlaces& places) {
    DeployToolFound found;
    // A place named explicitly (chosen, or in the environment) is reported whatever is wrong with
    // it; a usual place only when it exists but is incomplete.
    const auto tryFolder = [&](const QString& source, const QString& folder, bool named) {
        if (folder.isEmpty())
            return false;
        const QStringList missing = MissingDeployToolJars(folder);
        if (missing.isEmpty()) {
            found.folder = QDir(folder).absolutePath();
            found.source = source;
            return true;
        }
        if (named || QFileInfo(folder).isDir())
            found.passedOver.append(PassedOver(source, folder, missing));
        return false;
    };
    if (tryFolder(QStringLiteral("the folder you chose"), places.chosenFolder, true) ||
        tryFolder(QStringLiteral("KESTRANE_DEPLOY_TOOL"), places.environmentFolder, true))
        return found;
    for (const QString& root : places.sdkRoots)
        for (const QString& folder : SdkToolFolders(root))
            if (tryFolder(QStringLiteral("the BlackBerry 10 Native SDK"), folder, false))
                return found;
    if (tryFolder(QStringLiteral("~/.local/share/kestrane/deploy-tool"), places.userFolder, false))
        return found;
    const QString bundled = places.appDir + QStringLiteral("/lib");
    found.folder = bundled;
    // The real tool copied over the simulator, companions and all, is the real tool.
    found.simulator = !MissingDeployToolJars(bundled).isEmpty();
    found.source = found.simulator ? QStringLiteral("the bundled device simulator")
                                   : QStringLiteral("Kestrane's lib folder");
    return found;
}

QString DeployToolVersion(const QString& versionOutput) {
    static const QRegularExpression version(QStringLiteral("version\\s+(\\S+)"));
    const QRegularExpressionMatch match = version.match(versionOutput);
    return match.hasMatch() ? match.captured(1) : QString();
}

} // namespace kestrane
