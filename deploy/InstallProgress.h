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
// progress reached 100.
bool InstallSucceeded(const CommandVerdict& verdict, int progress);

// Why an installation that did not succeed failed: the verdict itself when the command failed;
// otherwise (the tool ended well but the device never reported the result) a NoResult verdict
// whose details are the tool's output.
CommandVerdict InstallFailure(const CommandResult& result, const CommandVerdict& verdict);

// One failed row in the run's closing box: "Speed Test (speedtest.bar): no debug token ...".
QString InstallFailureLine(const QString& appName, const QString& barPath, const QString& reason);

// The run's closing text: "Installation finished" when every row succeeded; otherwise that
// sentence, then the rows that were not installed, one line each.
QString InstallRunSummary(const QStringList& failureLines);

} // namespace kestrane
