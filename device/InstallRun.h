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

// What the device's list of applications, read after a run, says of a package an installation
// reported: listed at the BAR's version (Confirmed), at another one (OtherVersion, with the
// version listed), not at all (NotListed); NotChecked when the list could not be read (with the
// listing's one-line reason).
struct InstallConfirmation {
    enum class State { Confirmed, OtherVersion, NotListed, NotChecked };
    State state = State::Confirmed;
    QString listedVersion;
    QString reason;
    bool operator==(const InstallConfirmation&) const = default;
};

// Looks for packageName among the listed applications: Confirmed when one of its rows stands at
// version (any row when version is empty), OtherVersion with the first row's version when none
// does, NotListed when the package has no row.
InstallConfirmation ConfirmInstallation(const QString& packageName, const QString& version,
                                        const QList<InstalledApp>& listed);

// What an installed row says when the device's list does not confirm it: "Installed, but the
// device lists version X", "Installed, but the device does not list it"; empty otherwise.
QString InstallConfirmationStatus(const InstallConfirmation& confirmation);

// Installs a queue of BAR files on one device, one run of the tool after the other in the given
// order, debug tokens first (applications built for development need one). Callbacks name items
// by their index in the queue. Each run's progress comes from the tool's progress lines (only a
// higher percentage counts); a run succeeded when the command did and the progress reached 100.
// After a failed run the front end decides whether to go on (Ignore) or to stop (Abort).
//
// "Installed" is then checked against the device itself: a run that was not aborted reads the
// device's list of applications once ("-listInstalledApps") when any application was installed,
// and tells for each one whether its package stands at the BAR's version (confirmed). At the end
// the front end gets the closing summary (InstallRunSummary), which an aborted run does not give.
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
        // What the device's list must show afterwards: the package (the manifest's Package-Name)
        // at its version (Package-Version, else Application-Version). Either empty: what the
        // installation's answer names (actual_dname::, actual_version::). Without a package
        // name from either, the item is not looked for.
        QString packageName{};
        QString version{};
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
        // After the last item, for each installed application in the order they were installed:
        // what the device's list says of it. Its finished() status stands when it is confirmed
        // or was not checked; otherwise InstallConfirmationStatus() replaces it.
        std::function<void(int index, const InstallConfirmation& confirmation)> confirmed;
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
        // The silence limit of the listing after the run (a device command's, not an
        // installation's).
        std::chrono::milliseconds listingSilenceLimit{0};
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
    void confirmInstalled();
    void readConfirmations(const CommandResult& listingResult);
    void finishRun(bool aborted);

    // An installed application to look for in the device's list.
    struct Expected {
        int index;
        QString packageName{};
        QString version{};
    };

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
    // What the running item's installation reported it installed.
    InstalledPackage reported_;
    QList<Expected> expected_;
    QStringList unlisted_;
    QString listingProblem_;
};

} // namespace kestrane
