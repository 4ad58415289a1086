// The manage screen: the list of installed applications and the actions on its ticked rows.

#include "InstalledApps.h"
#include "CommandResult.h"
#include "DeployCommand.h"
#include "DeviceCommands.h"
#include "ListRows.h"
#include "TfrmBB10.h"

#include <QDir>
#include <QTimer>
#include <QTreeWidgetItem>

#include <utility>

namespace kestrane {
namespace {

// The columns of lstApps that hold more than the caption.
constexpr int PackageNameColumn = 2;
constexpr int StatusColumn = 3;
constexpr int PackageIdColumn = 4;

// How often rows read from the tool's output join the list while it is being written.
constexpr std::chrono::milliseconds ListingTurn{40};

} // namespace

// One click of an application action: the rows ticked when it was clicked, in on-screen order,
// and how far the runs have come.
struct TfrmBB10::AppActionRun {
    struct Turn {
        QTreeWidgetItem* row;
        QString packageName;
        QString packageId;
    };
    DeployAction action;
    DeployTool tool;
    DeviceTarget target;
    QList<Turn> turns;
    qsizetype next = 0;
    quint64 generation = 0;
    // What the error box shows at the end: each failed row's name and message, and behind its
    // details the tool's text for each.
    QString failures;
    QString failureDetails;
};

QList<QWidget*> TfrmBB10::ManageActions() const {
    return {btnRefreshApp, btnCheckApp, btnLaunchApp, btnTerminate, btnUninstall};
}

void TfrmBB10::StartAppsOperation(ConsoleJob* job) {
    appsJob_ = job;
}

void TfrmBB10::EndAppsOperation() {
    appsJob_ = nullptr;
}

// Whoever removes rows (this screen's refresh, Connect for another device), a running command
// must not write into rows that are gone, nor go on acting with another device's package names.
void TfrmBB10::PrepareAppsList() {
    if (std::exchange(appsListPrepared_, true))
        return;
    listAppsTimer_.setSingleShot(true);
    listAppsTimer_.setInterval(ListingTurn);
    connect(&listAppsTimer_, &QTimer::timeout, this, [this] { ListQueuedApps(); });
    QAbstractItemModel* rows = lstApps->model();
    connect(rows, &QAbstractItemModel::modelAboutToBeReset, &appsListWatch_,
            [this] { AppsListRowsGoing(); });
    connect(rows, &QAbstractItemModel::rowsAboutToBeRemoved, &appsListWatch_,
            [this] { AppsListRowsGoing(); });
}

void TfrmBB10::AppsListRowsGoing() {
    ++appsListGeneration_;
    queuedAppLines_.clear();
    listAppsTimer_.stop();
    if (!AppsOperationRunning())
        return;
    ConsoleJob* job = appsJob_;
    EndAppsOperation();
    job->stop();
}

// ---- The list --------------------------------------------------------------------------------

void TfrmBB10::btnRefreshAppClick() {
    // The button is held back while the screen is busy; the first visit of the screen calls this
    // directly, so it checks too.
    if (AppsOperationRunning() || !ReadyForDeviceCommand(connectedTarget_.address))
        return;
    PrepareAppsList();
    QDir::setCurrent(JavaBinDir);
    const DeployInvocation command =
        DeployCommand(DeployToolInUse(), DeployAction::ListInstalledApps, connectedTarget_.address,
                      connectedTarget_.password);
    lstApps->clear();
    DeviceCommands::Settings settings;
    settings.feed = ConsoleJob::Feed::Lines;
    settings.heldBack = ManageActions();
    settings.hourglass = true;
    settings.silenceLimit = deviceCommands().silenceLimits().device;
    const quint64 generation = appsListGeneration_;
    ConsoleJob* job = deviceCommands().run(command, JavaBinDir, settings,
                                           [this, generation](const CommandResult& result) {
                                               if (generation == appsListGeneration_)
                                                   FinishAppsList(result);
                                           });
    // Rows appear while the tool is still listing.
    connect(job, &ConsoleJob::lineReceived, this, [this, generation](const QString& line) {
        if (generation == appsListGeneration_)
            QueueInstalledAppLine(line);
    });
    StartAppsOperation(job);
}

void TfrmBB10::QueueInstalledAppLine(const QString& line) {
    queuedAppLines_.append(line);
    if (!listAppsTimer_.isActive())
        listAppsTimer_.start();
}

void TfrmBB10::ListQueuedApps() {
    listAppsTimer_.stop();
    for (const QString& line : std::as_const(queuedAppLines_)) {
        const InstalledApp app = ReadInstalledAppLine(line);
        if (!app.appName.isEmpty())
            AddListViewRow(lstApps, app.appName, app.version, app.packageName, QString(),
                           app.packageId);
    }
    queuedAppLines_.clear();
}

void TfrmBB10::FinishAppsList(const CommandResult& result) {
    ListQueuedApps();
    EndAppsOperation();
    const CommandVerdict verdict = JudgeCommand(result);
    if (verdict.succeeded)
        return;
    // The rows read before the tool failed or went silent would look like the whole list.
    lstApps->clear();
    ShowCommandFailure(verdict);
}

// ---- The actions -----------------------------------------------------------------------------

void TfrmBB10::btnCheckAppClick() {
    RunAppAction(DeployAction::IsAppRunning);
}

void TfrmBB10::btnLaunchAppClick() {
    RunAppAction(DeployAction::LaunchApp);
}

void TfrmBB10::btnTerminateClick() {
    RunAppAction(DeployAction::TerminateApp);
}

void TfrmBB10::btnUninstallClick() {
    RunAppAction(DeployAction::UninstallApp);
}

void TfrmBB10::RunAppAction(DeployAction action) {
    if (AppsOperationRunning() || !ReadyForDeviceCommand(connectedTarget_.address))
        return;
    PrepareAppsList();
    auto run = std::make_shared<AppActionRun>();
    run->action = action;
    run->target = connectedTarget_;
    run->tool = DeployToolInUse();
    run->generation = appsListGeneration_;
    for (int index = 0; index < lstApps->topLevelItemCount(); ++index) {
        QTreeWidgetItem* row = lstApps->topLevelItem(index);
        if (row->checkState(0) == Qt::Checked)
            run->turns.append({row, row->text(PackageNameColumn), row->text(PackageIdColumn)});
    }
    if (run->turns.isEmpty())
        return;
    RunAppActionTurn(run);
}

// The next run starts from the previous one's continuation, so the runs never overlap and the
// controls stay held back (and Check Status's hourglass on) from the first to the last.
void TfrmBB10::RunAppActionTurn(const std::shared_ptr<AppActionRun>& run) {
    const AppActionRun::Turn& turn = run->turns[run->next];
    DeviceCommands::Settings settings;
    settings.heldBack = ManageActions();
    settings.hourglass = run->action == DeployAction::IsAppRunning;
    settings.silenceLimit = deviceCommands().silenceLimits().device;
    const DeployInvocation command =
        DeployCommand(run->tool, run->action, run->target.address, run->target.password,
                      PackageArguments(turn.packageName, turn.packageId));
    ConsoleJob* job = deviceCommands().run(command, JavaBinDir, settings,
                                           [this, run](const CommandResult& result) {
                                               if (run->generation == appsListGeneration_)
                                                   FinishAppActionTurn(run, result);
                                           });
    StartAppsOperation(job);
}

void TfrmBB10::FinishAppActionTurn(const std::shared_ptr<AppActionRun>& run,
                                   const CommandResult& result) {
    const AppActionRun::Turn& turn = run->turns[run->next++];
    const CommandVerdict verdict = JudgeCommand(result);
    if (verdict.succeeded) {
        turn.row->setText(StatusColumn, AppActionStatus(run->action, result.output));
    } else {
        turn.row->setText(StatusColumn, AppActionFailedStatus);
        run->failures +=
            turn.row->text(0) + QStringLiteral(": ") + verdict.errorText + QLatin1Char('\n');
        if (!verdict.details.isEmpty())
            run->failureDetails +=
                turn.row->text(0) + QStringLiteral(":\n") + verdict.details + QLatin1Char('\n');
    }
    // A device that went silent for one row is not asked again for the others.
    if (run->next < run->turns.size() && !result.timedOut) {
        RunAppActionTurn(run);
        return;
    }
    EndAppsOperation();
    if (!run->failures.isEmpty())
        ShowCommandError(WithDeployToolNote(run->failures), run->failureDetails);
}

} // namespace kestrane
