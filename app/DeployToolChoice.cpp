// Which deploy tool answers: found where the user, the environment or the BlackBerry SDK put it,
// or the bundled device simulator; shown in the title and the connection panel, and chosen from
// the connection panel's menu.

#include "DeployCommand.h"
#include "DeployToolHome.h"
#include "DeployToolLookup.h"
#include "DeviceCommands.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "Settings.h"
#include "TfrmBB10.h"

#include <QDir>
#include <QSettings>

namespace kestrane {

DeployToolFound TfrmBB10::CurrentDeployTool() const {
    return FindDeployTool(DeployToolPlaces::ForUser(ChosenDeployToolFolder(), AppDir));
}

DeployTool TfrmBB10::DeployToolInUse() const {
    return {AppDir, DeployToolHome(), CurrentDeployTool().folder};
}

QString TfrmBB10::WithDeployToolNote(const QString& text) const {
    if (!CurrentDeployTool().simulator)
        return text;
    return text + QStringLiteral("\n\n") + SimulatorAnsweredNote;
}

void TfrmBB10::ShowDeployToolInUse() {
    const DeployToolFound tool = CurrentDeployTool();
    if (tool.folder != deployToolVersionFolder_)
        deployToolVersion_.clear();
    QString where =
        QStringLiteral("%1\n%2").arg(tool.source, QDir::toNativeSeparators(tool.folder));
    if (!tool.passedOver.isEmpty())
        where += QStringLiteral("\n\nPassed over:\n") + tool.passedOver.join(QLatin1Char('\n'));
    if (tool.simulator) {
        lbDeployTool->setText(QStringLiteral("Simulator"));
        lbDeployTool->setToolTip(QStringLiteral("A simulated device answers: Kestrane's bundled "
                                                "device simulator stands in for BlackBerry's "
                                                "deploy tool. Click to choose the real tool.\n\n") +
                                 where);
    } else {
        lbDeployTool->setText(QStringLiteral("BarDeploy"));
        lbDeployTool->setToolTip(
            QStringLiteral("BlackBerry's deploy tool answers%1.\n\n")
                .arg(deployToolVersion_.isEmpty()
                         ? QString()
                         : QStringLiteral(" (version %1)").arg(deployToolVersion_)) +
            where);
    }
    lbDeployTool->adjustSize();
    deployToolInfo_->setText(
        tool.simulator ? QStringLiteral("Deploy tool: the bundled device simulator")
                       : QStringLiteral("Deploy tool: %1%2")
                             .arg(QDir::toNativeSeparators(tool.folder),
                                  deployToolVersion_.isEmpty()
                                      ? QString()
                                      : QStringLiteral(" (version %1)").arg(deployToolVersion_)));
    UpdateWindowTitle();
}

// The real tool names its version ("blackberry-deploy version 1.4.0"); asked once per folder.
void TfrmBB10::AskDeployToolVersion() {
    const DeployToolFound tool = CurrentDeployTool();
    if (tool.simulator || JavaBinDir.isEmpty() || tool.folder == deployToolVersionFolder_)
        return;
    deployToolVersionFolder_ = tool.folder;
    DeployInvocation invocation;
    invocation.javaOptions = {QStringLiteral("-Djava.security.properties=") +
                              DeploySecurityPath(AppDir)};
    invocation.toolArguments = {QStringLiteral("-jar"), DeployToolJarPath(DeployToolInUse()),
                                QStringLiteral("-version")};
    DeviceCommands::Settings settings;
    settings.silenceLimit = deviceCommands().silenceLimits().device;
    deviceCommands().run(invocation, JavaBinDir, settings, [this](const CommandResult& result) {
        deployToolVersion_ = DeployToolVersion(result.output);
        ShowDeployToolInUse();
    });
}

void TfrmBB10::ChooseDeployTool1Click() {
    const QString folder = FileDialog::getExistingDirectory(
        this, {QStringLiteral("Choose the folder of BlackBerry's deploy tool (BarDeploy.jar)"),
               QString(), QDir::homePath()});
    if (folder.isEmpty())
        return;
    const QStringList missing = MissingDeployToolJars(folder);
    if (!missing.isEmpty()) {
        ShowCommandError(
            QStringLiteral("%1 cannot run the deploy tool: it lacks %2. The deploy "
                           "tool is BarDeploy.jar with its six companion jars in "
                           "one folder, as the BlackBerry 10 Native SDK has them in "
                           "host_<version>/linux/x86/usr/lib.")
                .arg(QDir::toNativeSeparators(folder), missing.join(QStringLiteral(", "))));
        return;
    }
    KestraneSettings().setValue(ChosenDeployToolKey, QDir(folder).absolutePath());
    ShowDeployToolInUse();
    AskDeployToolVersion();
}

void TfrmBB10::UseSimulator1Click() {
    KestraneSettings().remove(ChosenDeployToolKey);
    ShowDeployToolInUse();
}

} // namespace kestrane
