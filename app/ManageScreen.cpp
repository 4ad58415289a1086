// The manage screen: the list of installed applications and the actions on its ticked rows.

#include "AppLogViewer.h"
#include "CommandResult.h"
#include "DeployCommand.h"
#include "DeviceCommands.h"
#include "InstalledApps.h"
#include "ListColumns.h"
#include "ListRows.h"
#include "MessageBox.h"
#include "SandboxFileTransfer.h"
#include "TfrmBB10.h"

#include <QDir>
#include <QTimer>
#include <QTreeWidgetItem>

#include <utility>

namespace kestrane {
namespace {

constexpr int PackageNameColumn = AppColumn::PackageName;
constexpr int StatusColumn = AppColumn::Status;
constexpr int PackageIdColumn = AppColumn::PackageId;

// How often rows read from the tool's output join the list while it is being written.
constexpr std::chrono::milliseconds ListingTurn{40};

} // namespace

QList<QWidget*> TfrmBB10::ManageActions() const {
    return {btnRefreshApp, btnCheckApp, btnLaunchApp, btnTerminate,
            btnUninstall,  btnAppLog,   btnAppFiles};
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
    if (appActions_)
        appActions_->abandon();
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
    const CommandVerdict verdict = ReadAppListing(DeviceContextInUse(), result).verdict;
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

// The runs of one click go one after the other, so the controls stay held back (and Check
// Status's hourglass on) from the first to the last.
void TfrmBB10::RunAppAction(DeployAction action) {
    if (AppsOperationRunning() || !ReadyForDeviceCommand(connectedTarget_.address))
        return;
    PrepareAppsList();
    QList<AppActionQueue::Turn> turns;
    QList<QTreeWidgetItem*> rows;
    for (int index = 0; index < lstApps->topLevelItemCount(); ++index) {
        QTreeWidgetItem* row = lstApps->topLevelItem(index);
        if (row->checkState(0) != Qt::Checked)
            continue;
        rows.append(row);
        turns.append({row->text(0), row->text(PackageNameColumn), row->text(PackageIdColumn)});
    }
    if (turns.isEmpty())
        return;
    AppActionQueue::Callbacks callbacks;
    callbacks.started = [this](ConsoleJob* job) { StartAppsOperation(job); };
    callbacks.turnDone = [rows](qsizetype index, const AppActionQueue::TurnResult& done) {
        rows[index]->setText(StatusColumn, done.status);
    };
    callbacks.ended = [this](const QString& failures, const QString& details) {
        EndAppsOperation();
        if (!failures.isEmpty())
            ShowCommandError(WithDeployToolNote(failures), details);
    };
    appActions_ = AppActionQueue::Start(
        deviceCommands().starter(JavaBinDir, ManageActions(), action == DeployAction::IsAppRunning),
        DeviceContextInUse(), connectedTarget_, action, std::move(turns),
        deviceCommands().silenceLimits().device, std::move(callbacks));
}

// ---- The sandbox of one application ------------------------------------------------------------

std::optional<SandboxApp> TfrmBB10::ChosenSandboxApp() {
    auto appOf = [](const QTreeWidgetItem* row) {
        return SandboxApp{row->text(0), row->text(PackageNameColumn), row->text(PackageIdColumn)};
    };
    const QList<QTreeWidgetItem*> selected = lstApps->selectedItems();
    if (selected.size() == 1)
        return appOf(selected.first());
    QList<const QTreeWidgetItem*> ticked;
    for (int index = 0; index < lstApps->topLevelItemCount(); ++index)
        if (lstApps->topLevelItem(index)->checkState(0) == Qt::Checked)
            ticked.append(lstApps->topLevelItem(index));
    if (selected.isEmpty() && ticked.size() == 1)
        return appOf(ticked.first());
    MessageBox::plain(this, QStringLiteral("Select one application in the list (click its name), "
                                           "then choose Log... or Files... again."));
    return std::nullopt;
}

SandboxCommands TfrmBB10::SandboxCommandsFor(QList<QWidget*> heldBack, bool hourglass) {
    SandboxCommands commands;
    commands.start = deviceCommands().starter(JavaBinDir, std::move(heldBack), hourglass);
    commands.context = DeviceContextInUse();
    commands.target = connectedTarget_;
    commands.silenceLimit = deviceCommands().silenceLimits().device;
    return commands;
}

// The viewer fetches on its own while it is open, with its own hourglass: the window's controls
// stay usable, so that the application can be terminated while its log is followed.
void TfrmBB10::btnAppLogClick() {
    const std::optional<SandboxApp> app = ChosenSandboxApp();
    if (!app)
        return;
    // One viewer per application: a second click brings it to the front.
    for (AppLogViewer* open : findChildren<AppLogViewer*>()) {
        if (open->app().packageName == app->packageName) {
            open->raise();
            open->activateWindow();
            return;
        }
    }
    if (!ReadyForDeviceCommand(connectedTarget_.address))
        return;
    auto* viewer = new AppLogViewer(SandboxCommandsFor({}, false), *app, this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->show();
    viewer->refresh();
}

void TfrmBB10::GetFile1Click() {
    if (const std::optional<SandboxApp> app = ChosenSandboxApp();
        app && ReadyForDeviceCommand(connectedTarget_.address))
        SandboxFileTransfer(this, SandboxCommandsFor(ManageActions(), true), *app).getFile();
}

void TfrmBB10::PutFile1Click() {
    if (const std::optional<SandboxApp> app = ChosenSandboxApp();
        app && ReadyForDeviceCommand(connectedTarget_.address))
        SandboxFileTransfer(this, SandboxCommandsFor(ManageActions(), true), *app).putFile();
}

} // namespace kestrane
