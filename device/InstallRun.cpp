#include "InstallRun.h"

#include "InstallProgress.h"

#include <QObject>

namespace kestrane {

std::shared_ptr<InstallRun> InstallRun::Start(StartDeviceCommand start, DeviceContext context,
                                              DeviceTarget target, QList<Item> items,
                                              Options options, Callbacks callbacks) {
    std::shared_ptr<InstallRun> run(new InstallRun);
    run->start_ = std::move(start);
    run->context_ = std::move(context);
    run->target_ = std::move(target);
    run->items_ = std::move(items);
    run->options_ = options;
    run->callbacks_ = std::move(callbacks);
    // Debug tokens go first, in their queue order, then the rest: a device without a valid token
    // refuses applications built for development, so a token queued with them must be on the
    // device before they are.
    for (const bool tokens : {true, false}) {
        for (int index = 0; index < run->items_.size(); ++index) {
            if (run->items_[index].debugToken == tokens)
                run->order_.append(index);
        }
    }
    if (!run->items_.isEmpty()) {
        run->active_ = true;
        run->installItem(run->order_.first());
    }
    return run;
}

void InstallRun::installItem(int index) {
    const Item& item = items_[index];
    DeployAction action = DeployAction::InstallApp;
    QStringList arguments = InstallArguments(item.barPath);
    if (item.debugToken) {
        action = DeployAction::InstallDebugToken;
        arguments = DebugTokenArguments(item.barPath);
    } else if (options_.launch && item.hasPackageId) {
        action = DeployAction::InstallAndLaunchApp;
    }
    const DeployInvocation command =
        DeployCommand(context_.tool, action, target_.address, target_.password, arguments);
    index_ = index;
    progress_ = 0;
    DeviceCommandRunner::Settings settings;
    settings.feed = ConsoleJob::Feed::Lines;
    settings.silenceLimit = options_.silenceLimit;
    // The tool writes nothing while it uploads the BAR: moving data is not silence.
    settings.ioCountsAsActivity = true;
    auto self = shared_from_this();
    ConsoleJob* job = start_(command, settings,
                             [self](const CommandResult& result) { self->finishItem(result); });
    if (callbacks_.started)
        callbacks_.started(index, job);
    // Every complete line is looked at once, in order, whatever chunks the output arrived in;
    // only lines with a progress marker can raise the progress.
    std::weak_ptr<InstallRun> weak = self;
    QObject::connect(job, &ConsoleJob::lineReceived, job, [weak](const QString& line) {
        const std::shared_ptr<InstallRun> run = weak.lock();
        if (!run || !HasProgressMarker(line))
            return;
        if (run->callbacks_.progressLine)
            run->callbacks_.progressLine(line);
        else
            run->readProgressLine(line);
    });
}

void InstallRun::readProgressLine(QStringView line) {
    if (!active_)
        return;
    const int progress = InstallProgressOfLine(line);
    if (progress <= progress_)
        return;
    progress_ = progress;
    if (callbacks_.progressed)
        callbacks_.progressed(index_, progress, InstallingStatus(progress));
}

void InstallRun::finishItem(const CommandResult& result) {
    const CommandVerdict verdict = context_.judge(result);
    const Item& item = items_[index_];
    reported_ = ReadInstalledPackage(result.output);
    const bool launching = options_.launch && !item.debugToken;
    if (launching && item.hasPackageId && InstallationReported(result.output)) {
        // One run installed and then launched (or failed to launch) the application: installed
        // either way, and the status says whether it runs.
        settleLaunchedItem(ReadLaunchOutcome(result, verdict));
        return;
    }
    const bool succeeded = InstallSucceeded(verdict, progress_);
    if (succeeded && launching) {
        launchInstalled(result);
        return;
    }
    settleItem(succeeded, succeeded ? CommandVerdict(true) : InstallFailure(result, verdict));
}

// The installation's answer names what it installed (actual_dname::, actual_id::); the launch
// is then a run of its own.
void InstallRun::launchInstalled(const CommandResult& installation) {
    const InstalledPackage package = ReadInstalledPackage(installation.output);
    if (package.name.isEmpty()) {
        settleItem(false, CommandVerdict::Failed(
                              {FailureKind::NoResult,
                               QStringLiteral("Installed, but the device did not say which package "
                                              "it installed, so it could not be launched."),
                               QStringLiteral("installed, not launched"),
                               ToolOutputText(installation.output)}));
        return;
    }
    const DeployInvocation command =
        DeployCommand(context_.tool, DeployAction::LaunchApp, target_.address, target_.password,
                      PackageArguments(package.name, package.id));
    DeviceCommandRunner::Settings settings;
    settings.silenceLimit = options_.silenceLimit;
    auto self = shared_from_this();
    start_(command, settings, [self](const CommandResult& launch) {
        self->settleLaunchedItem(ReadLaunchOutcome(launch, self->context_.judge(launch)));
    });
}

void InstallRun::settleLaunchedItem(const LaunchOutcome& launch) {
    settleItem(true, CommandVerdict(true), LaunchOutcomeStatus(launch), launch);
}

void InstallRun::settleItem(bool succeeded, const CommandVerdict& failure, const QString& status,
                            const std::optional<LaunchOutcome>& launch) {
    const Item& item = items_[index_];
    if (!succeeded) {
        failures_.append(InstallFailureLine(item.name, item.barPath, failure.reason));
    } else if (!item.debugToken) {
        Expected expected{index_, item.packageName, item.version};
        if (expected.packageName.isEmpty())
            expected.packageName = reported_.name;
        if (expected.version.isEmpty())
            expected.version = reported_.version;
        if (!expected.packageName.isEmpty())
            expected_.append(expected);
    }
    if (callbacks_.finished)
        callbacks_.finished(index_, succeeded,
                            !status.isEmpty() ? status
                            : succeeded       ? InstallDoneStatus
                                              : InstallErrorStatus,
                            failure, launch);
    if (!succeeded && callbacks_.decide && callbacks_.decide(index_, failure) == Decision::Abort) {
        end(true);
        return;
    }
    const qsizetype next = order_.indexOf(index_) + 1;
    if (next < order_.size()) {
        installItem(order_[next]);
        return;
    }
    end(false);
}

void InstallRun::end(bool aborted) {
    if (aborted || expected_.isEmpty()) {
        finishRun(aborted);
        return;
    }
    confirmInstalled();
}

// One listing for the whole run: the device's own word on what it has now.
void InstallRun::confirmInstalled() {
    const DeployInvocation command = DeployCommand(context_.tool, DeployAction::ListInstalledApps,
                                                   target_.address, target_.password);
    DeviceCommandRunner::Settings settings;
    settings.silenceLimit = options_.listingSilenceLimit;
    auto self = shared_from_this();
    start_(command, settings,
           [self](const CommandResult& result) { self->readConfirmations(result); });
}

void InstallRun::readConfirmations(const CommandResult& listingResult) {
    const AppListing listing = ReadAppListing(context_, listingResult);
    if (!listing.verdict.succeeded)
        listingProblem_ = listing.verdict.reason;
    for (const Expected& expected : std::as_const(expected_)) {
        InstallConfirmation confirmation;
        if (listing.verdict.succeeded) {
            confirmation =
                ConfirmInstallation(expected.packageName, expected.version, listing.apps);
        } else {
            confirmation.state = InstallConfirmation::State::NotChecked;
            confirmation.reason = listingProblem_;
        }
        const QString status = InstallConfirmationStatus(confirmation);
        if (!status.isEmpty()) {
            const Item& item = items_[expected.index];
            unlisted_.append(InstallFailureLine(item.name, item.barPath, status));
        }
        if (callbacks_.confirmed)
            callbacks_.confirmed(expected.index, confirmation);
    }
    finishRun(false);
}

void InstallRun::finishRun(bool aborted) {
    active_ = false;
    if (callbacks_.ended)
        callbacks_.ended(aborted, aborted
                                      ? QString()
                                      : InstallRunSummary(failures_, unlisted_, listingProblem_));
}

InstallConfirmation ConfirmInstallation(const QString& packageName, const QString& version,
                                        const QList<InstalledApp>& listed) {
    std::optional<QString> otherVersion;
    for (const InstalledApp& app : listed) {
        if (app.packageName != packageName)
            continue;
        if (version.isEmpty() || app.version == version)
            return {};
        if (!otherVersion)
            otherVersion = app.version;
    }
    if (otherVersion)
        return {InstallConfirmation::State::OtherVersion, *otherVersion, {}};
    return {InstallConfirmation::State::NotListed, {}, {}};
}

QString InstallConfirmationStatus(const InstallConfirmation& confirmation) {
    switch (confirmation.state) {
    case InstallConfirmation::State::OtherVersion:
        return QStringLiteral("Installed, but the device lists version %1")
            .arg(confirmation.listedVersion);
    case InstallConfirmation::State::NotListed:
        return QStringLiteral("Installed, but the device does not list it");
    case InstallConfirmation::State::Confirmed:
    case InstallConfirmation::State::NotChecked:
        return {};
    }
    return {};
}

} // namespace kestrane
