#include "InstallProgress.h"

#include "TextUtils.h"

#include <QRegularExpression>

namespace kestrane {
namespace {

const QString ProgressMarker = QStringLiteral("Info: Progress ");
const QString SuccessMarker = QStringLiteral("result::success");

// A whole number with blanks before it and an optional sign, nothing after it; 0 otherwise.
int WholeNumber(QStringView text) {
    while (!text.isEmpty() && text.front() == QLatin1Char(' '))
        text = text.mid(1);
    bool ok = false;
    const int value = text.toInt(&ok);
    const bool plain = !text.isEmpty() && !text.back().isSpace();
    return ok && plain ? value : 0;
}

} // namespace

int InstallProgressOfLine(QStringView line) {
    const qsizetype marker = line.indexOf(ProgressMarker);
    if (marker >= 0) {
        const qsizetype number = marker + ProgressMarker.size();
        const qsizetype percent = line.indexOf(QLatin1Char('%'), number);
        return percent < 0 ? 0 : WholeNumber(line.mid(number, percent - number));
    }
    return line.contains(SuccessMarker) ? 100 : 0;
}

bool HasProgressMarker(QStringView line) {
    return line.contains(ProgressMarker) || line.contains(SuccessMarker);
}

QString InstallingStatus(int percent) {
    return QStringLiteral("Installing ... (%1%)").arg(percent);
}

bool InstallSucceeded(const CommandVerdict& verdict, int progress) {
    return verdict.succeeded && progress >= 100;
}

CommandVerdict InstallFailure(const CommandResult& result, const CommandVerdict& verdict) {
    if (!verdict.succeeded)
        return verdict;
    return CommandVerdict::Failed(
        {FailureKind::NoResult,
         QStringLiteral("The deploy tool ended without reporting the installation's result. "
                        "Look for the application under Manage Apps, and install it again if "
                        "it is not there."),
         QStringLiteral("the installation's result was not reported"),
         ToolOutputText(result.output)});
}

LaunchOutcome ReadLaunchOutcome(const CommandResult& result, const CommandVerdict& verdict) {
    static const QLatin1StringView answerMarker("result::");
    static const QLatin1StringView failureMarker("result::failure");
    static const QRegularExpression pidAnswer(QStringLiteral("^(running,)?([0-9]+)$"));
    const QStringList lines = SplitLines(result.output);
    qsizetype at = 0;
    while (at < lines.size() && !lines[at].contains(SuccessMarker))
        ++at;
    // A launch run of its own has no installation's answer before the launch's.
    if (at == lines.size())
        at = -1;
    LaunchOutcome outcome;
    const QString verdictReason = verdict.succeeded ? QString() : verdict.reason;
    for (++at; at < lines.size(); ++at) {
        const QString line = lines[at].trimmed();
        if (line.startsWith(failureMarker)) {
            outcome.reason =
                !verdictReason.isEmpty() ? verdictReason : line.mid(failureMarker.size()).trimmed();
            return outcome;
        }
        if (!line.startsWith(answerMarker))
            continue;
        const QRegularExpressionMatch pid = pidAnswer.match(line.mid(answerMarker.size()));
        if (pid.hasMatch() && verdict.succeeded) {
            outcome.launched = true;
            outcome.alreadyRunning = pid.capturedLength(1) > 0;
            outcome.pid = pid.captured(2);
        } else {
            outcome.reason = !verdictReason.isEmpty()
                                 ? verdictReason
                                 : QStringLiteral("the device answered \"%1\"").arg(line);
        }
        return outcome;
    }
    outcome.reason =
        !verdictReason.isEmpty() ? verdictReason : QStringLiteral("the launch was not reported");
    return outcome;
}

bool InstallationReported(const QString& output) {
    return output.contains(SuccessMarker);
}

QString LaunchOutcomeStatus(const LaunchOutcome& outcome) {
    if (!outcome.launched)
        return QStringLiteral("Not launched (%1)").arg(outcome.reason);
    return QStringLiteral("Running (PID %1)").arg(outcome.pid);
}

QString LaunchOutcomeDetail(const LaunchOutcome& outcome) {
    if (!outcome.launched)
        return QStringLiteral("Installed, but not launched: %1").arg(outcome.reason);
    if (outcome.alreadyRunning)
        return QStringLiteral("Installed; it was already running (PID %1)").arg(outcome.pid);
    return QStringLiteral("Installed and launched (PID %1)").arg(outcome.pid);
}

InstalledPackage ReadInstalledPackage(const QString& output) {
    static const QLatin1StringView nameMarker("actual_dname::");
    static const QLatin1StringView idMarker("actual_id::");
    static const QLatin1StringView versionMarker("actual_version::");
    QString fullName, id, version;
    for (const QString& line : SplitLines(output)) {
        if (line.startsWith(nameMarker))
            fullName = line.mid(nameMarker.size()).trimmed();
        else if (line.startsWith(idMarker))
            id = line.mid(idMarker.size()).trimmed();
        else if (line.startsWith(versionMarker))
            version = line.mid(versionMarker.size()).trimmed();
    }
    const qsizetype dot = fullName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || id.isEmpty())
        return {};
    return {fullName.left(dot), id, version};
}

QString InstallFailureLine(const QString& appName, const QString& barPath, const QString& reason) {
    const QString file = barPath.mid(barPath.lastIndexOf(QLatin1Char('/')) + 1);
    const QString name = appName.isEmpty() ? file : QStringLiteral("%1 (%2)").arg(appName, file);
    return QStringLiteral("%1: %2").arg(name, reason);
}

QString InstallRunSummary(const QStringList& failureLines, const QStringList& unlistedLines,
                          const QString& listingProblem) {
    QString summary = QStringLiteral("Installation finished");
    if (!failureLines.isEmpty())
        summary += QStringLiteral(". Not installed:\n") + failureLines.join(QLatin1Char('\n'));
    if (!unlistedLines.isEmpty())
        summary += QStringLiteral("\nThe device does not list these as installed:\n") +
                   unlistedLines.join(QLatin1Char('\n'));
    if (!listingProblem.isEmpty())
        summary += QStringLiteral("\nThe installations were not confirmed: the device's list of "
                                  "applications could not be read (%1).")
                       .arg(listingProblem);
    return summary;
}

} // namespace kestrane
