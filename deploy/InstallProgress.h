#pragma once

#include "CommandResult.h"

#include <QString>
#include <QStringList>
#include <QStringView>

namespace kestrane {

// The progress one line of the tool's "-installApp" output reports: the whole number between
// "Info: Progress " and the next "%" (blanks before it and a sign allowed, nothing else), or 100
// for a line holding "result::success". 0 for any other line, also for a progress line whose
// number is cut off or not a whole number. A line holding both markers counts as a progress line.
int InstallProgressOfLine(QStringView line);

// True when the line holds one of the two markers; any other line reports no progress.
bool HasProgressMarker(QStringView line);

// The status a row shows while it installs: "Installing ... (n%)".
QString InstallingStatus(int percent);

// An installation succeeded only when the command did (exit code 0, no "Error:" line) and the
// progress reached 100. A debug token's installation is judged the same way: it writes no
// progress lines, its device answers "result::success" (progress 100) or
// "result::failure CODE TEXT" with exit code 2.
bool InstallSucceeded(const CommandVerdict& verdict, int progress);

// Why an installation that did not succeed failed: the verdict itself when the command failed;
// otherwise (the tool ended well but the device never reported the result) a NoResult verdict
// whose details are the tool's output.
CommandVerdict InstallFailure(const CommandResult& result, const CommandVerdict& verdict);

// How an install-and-launch run ("-installApp -launchApp") ended once its installation
// succeeded: the device's answer after the installation's "result::success" is the launch's,
// "result::PID" or "result::running,PID" (launched), or a failure.
struct LaunchOutcome {
    bool launched = false;
    QString pid;                 // the process id when launched
    bool alreadyRunning = false; // "result::running,PID": it ran before
    QString reason;              // why it was not launched
};

// Reads the launch's part of an install-and-launch run whose installation succeeded (see
// InstallSucceeded with the progress the run reached): the first "result::" line after the first
// line holding "result::success" (from the start in a launch run of its own, which has no such
// line). Without a launch answer the reason is the verdict's (the tool
// failed after installing) or "the launch was not reported"; a refusal's reason is the verdict's
// one-line reason, else the device's own text after "result::failure ".
LaunchOutcome ReadLaunchOutcome(const CommandResult& result, const CommandVerdict& verdict);

// The row's status after an install-and-launch run whose installation succeeded, short enough
// for the Status cell: "Running (PID 123)" (launched, or it already ran), "Not launched
// (<reason>)".
QString LaunchOutcomeStatus(const LaunchOutcome& outcome);

// The same in full, for the cell's tooltip: "Installed and launched (PID 123)", "Installed; it
// was already running (PID 123)", "Installed, but not launched: <reason>".
QString LaunchOutcomeDetail(const LaunchOutcome& outcome);

// Whether the output holds the installation's "result::success": in an install-and-launch run,
// the application is installed whatever the launch after it answered.
bool InstallationReported(const QString& output);

// What an installation reports it installed ("actual_dname::NAME.ID", "actual_id::ID",
// "actual_version::V"): the package's name (the full name up to its last "."), id and version, the
// last such lines winning; all empty when the device named no package (a refused installation's
// empty lines). Serves a launch run of its own after installing a BAR whose manifest has no
// Package-Id, and the check of the device's list afterwards.
struct InstalledPackage {
    QString name;
    QString id;
    QString version;
};
InstalledPackage ReadInstalledPackage(const QString& output);

// One failed row in the run's closing box: "Speed Test (speedtest.bar): no debug token ...".
QString InstallFailureLine(const QString& appName, const QString& barPath, const QString& reason);

// The run's closing text: "Installation finished" when every row succeeded and the device's list
// confirmed every installation; otherwise that sentence, then the rows that were not installed,
// one line each (". Not installed:"), the rows the device's list does not show as installed
// ("The device does not list these as installed:"), and, when the list could not be read, that
// the installations were not confirmed, with listingProblem as the reason.
QString InstallRunSummary(const QStringList& failureLines, const QStringList& unlistedLines = {},
                          const QString& listingProblem = {});

} // namespace kestrane
