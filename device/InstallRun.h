#pragma once

#include "DeviceCommandRunner.h"
#include "DeviceOperations.h"
#include "InstallProgress.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace kestrane {

// The status texts of an installation's rows.
inline const QString InstallLoadingStatus = QStringLiteral("Loading...");
inline const QString InstallDoneStatus = QStringLiteral("Done");
inline const QString InstallErrorStatus = QStringLiteral("Error");

// Installs a queue of BAR files on one device, one run of the tool after the other in the given
// order, debug tokens first (applications built for development need one). Callbacks name items
// by their index in the queue. Each run's progress comes from the tool's progress lines (only a
// higher percentage counts); a run succeeded when the command did and the progress reached 100.
// After a failed run the front end decides whether to go on (Ignore) or to stop (Abort); at the end
// it gets the closing summary (InstallRunSummary), which an aborted run does not give.
class InstallRun : public std::enable_shared_from_this<InstallRun> {
public:
    struct Item {
        QString name;
        QString barPath;
        // The BAR's manifest names its Package-Id. The tool's install-and-launch needs it; without
        // it the installation runs alone and the launch follows as a run of its own, with the
        // package the installation's answer names.
        bool hasPackageId = true;
        // A debug token: installed with the tool's -installDebugToken, never launched.
        bool debugToken = false;
    };
    enum class Decision { Ignore, Abort };
    struct Callbacks {
        // Item index's run has started (its status is InstallLoadingStatus); the job gives its
        // live output.
        std::function<void(int index, ConsoleJob* job)> started;
        // Item index reached a higher percentage; status is InstallingStatus(percent).
        std::function<void(int index, int percent, const QString& status)> progressed;
        // Item index's run has ended: InstallDoneStatus or InstallErrorStatus; failure is the
        // reason when it failed (InstallFailure). With the launch, an installed item's status
        // says whether the application runs (LaunchOutcomeStatus) and launch is what its launch
        // answered; one installed but not launched counts as installed. launch is empty for an
        // item that was not launched (no launch asked, a debug token, a failed installation).
        std::function<void(int index, bool succeeded, const QString& status,
                           const CommandVerdict& failure,
                           const std::optional<LaunchOutcome>& launch)>
            finished;
        // Asked after each failed item that is not the run's end of the road; Ignore when unset.
        std::function<Decision(int index, const CommandVerdict& failure)> decide;
        // The run has ended: aborted, or with the closing summary.
        std::function<void(bool aborted, const QString& summary)> ended;
        // When set, the tool's progress lines go here instead of being read at once; the front
        // end hands them back through readProgressLine().
        std::function<void(const QString& line)> progressLine;
    };
    struct Options {
        // Launch each application after installing it (the tool's -installApp -launchApp).
        bool launch = false;
        std::chrono::milliseconds silenceLimit{0};
    };

    // Starts the first item (the first debug token, if any) at once; nothing runs when items is
    // empty. The run keeps itself alive until it has ended.
    static std::shared_ptr<InstallRun> Start(StartDeviceCommand start, DeviceContext context,
                                             DeviceTarget target, QList<Item> items,
                                             Options options, Callbacks callbacks);

    // Reads one line of the running item's output for its progress.
    void readProgressLine(QStringView line);

    bool isActive() const { return active_; }
    int index() const { return index_; }
    int progress() const { return progress_; }
    const QStringList& failures() const { return failures_; }

private:
    InstallRun() = default;
    void installItem(int index);
    void finishItem(const CommandResult& result);
    void launchInstalled(const CommandResult& installation);
    void settleLaunchedItem(const LaunchOutcome& launch);
    void settleItem(bool succeeded, const CommandVerdict& failure, const QString& status = {},
                    const std::optional<LaunchOutcome>& launch = std::nullopt);
    void end(bool aborted);

    StartDeviceCommand start_;
    DeviceContext context_;
    DeviceTarget target_;
    QList<Item> items_;
    Options options_;
    Callbacks callbacks_;
    bool active_ = false;
    QList<int> order_; // the items' indexes in the order they are installed
    int index_ = 0;
    int progress_ = 0;
    QStringList failures_;
};

} // namespace kestrane
