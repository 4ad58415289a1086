#pragma once

#include <QString>
#include <QStringList>

namespace kestrane {

// BlackBerry's deploy tool is BarDeploy.jar with six companion jars beside it (its manifest's
// class path); a folder that lacks any of them cannot run it.
const QStringList& DeployToolJars();

// Where to look for the deploy tool, in this order:
//   1. the folder the user chose (Kestrane's settings),
//   2. the folder named by the environment variable KESTRANE_DEPLOY_TOOL,
//   3. the BlackBerry 10 Native SDK's host folders, <root>/host_<version>/linux/x86/usr/lib, the
//      newest host version first, for each SDK root (~/bbndk, then /opt/bbndk),
//   4. ~/.local/share/kestrane/deploy-tool,
// and last the bundled device simulator, AppDir/lib/BarDeploy.jar.
struct DeployToolPlaces {
    QString chosenFolder;
    QString environmentFolder;
    QStringList sdkRoots;
    QString userFolder;
    QString appDir;

    // The places of this user and environment: KESTRANE_DEPLOY_TOOL, ~/bbndk and /opt/bbndk,
    // ~/.local/share/kestrane/deploy-tool (below $XDG_DATA_HOME when that is set).
    static DeployToolPlaces ForUser(const QString& chosenFolder, const QString& appDir);
};

// The deploy tool found, and what was passed over on the way.
struct DeployToolFound {
    // The folder that holds BarDeploy.jar.
    QString folder;
    // True for the bundled device simulator (AppDir/lib without the six companion jars: a real
    // tool copied into AppDir/lib counts as real).
    bool simulator = false;
    // Where it was found: "the folder you chose", "KESTRANE_DEPLOY_TOOL", "the BlackBerry 10
    // Native SDK", "~/.local/share/kestrane/deploy-tool", "the bundled device simulator".
    QString source;
    // One line for each place that was looked at and could not be used, saying why: a folder
    // that is gone, or the jars it lacks, by name.
    QStringList passedOver;
};

DeployToolFound FindDeployTool(const DeployToolPlaces& places);

// The jars of DeployToolJars() that folder lacks; all of them when it is not a folder.
QStringList MissingDeployToolJars(const QString& folder);

// The version the tool's "-version" output names ("blackberry-deploy version 1.4.0" gives
// "1.4.0"); empty when it names none.
QString DeployToolVersion(const QString& versionOutput);

} // namespace kestrane
