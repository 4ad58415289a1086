#include "InstallProgress.h"

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

QString InstallFailureLine(const QString& appName, const QString& barPath, const QString& reason) {
    const QString file = barPath.mid(barPath.lastIndexOf(QLatin1Char('/')) + 1);
    const QString name = appName.isEmpty() ? file : QStringLiteral("%1 (%2)").arg(appName, file);
    return QStringLiteral("%1: %2").arg(name, reason);
}

QString InstallRunSummary(const QStringList& failureLines) {
    const QString finished = QStringLiteral("Installation finished");
    if (failureLines.isEmpty())
        return finished;
    return finished + QStringLiteral(". Not installed:\n") + failureLines.join(QLatin1Char('\n'));
}

} // namespace kestrane
