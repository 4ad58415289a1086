#include "FakeConsoleRunner.h"

#include <QFile>
#include <QRegularExpression>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

namespace kestrane::doubles {

FakeConsoleJob::FakeConsoleJob(Feed feed, FakeConsoleAnswer answer, bool held, QObject* parent)
    : ConsoleJob(feed, parent), answer_(std::move(answer)), held_(held) {
    if (!held_)
        scheduleNext();
}

void FakeConsoleJob::release() {
    if (!std::exchange(held_, false))
        return;
    scheduleNext();
}

void FakeConsoleJob::stop() {
    if (isFinished() || stopped_)
        return;
    stopped_ = true;
    held_ = false;
    QTimer::singleShot(0, this, [this] { complete(-1); });
}

void FakeConsoleJob::scheduleNext() {
    QTimer::singleShot(0, this, &FakeConsoleJob::deliverNext);
}

void FakeConsoleJob::deliverNext() {
    if (stopped_ || isFinished())
        return;
    if (nextChunk_ == answer_.chunks.size()) {
        complete(answer_.exitCode);
        return;
    }
    receiveText(answer_.chunks[nextChunk_++]);
    scheduleNext();
}

void FakeConsoleRunner::releaseAll() {
    for (const auto& job : std::as_const(jobs_)) {
        if (job)
            job->release();
    }
}

bool FakeConsoleRunner::waitForAll(int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    const auto allFinished = [this] {
        return std::all_of(jobs_.cbegin(), jobs_.cend(),
                           [](const auto& job) { return !job || job->isFinished(); });
    };
    while (!allFinished()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QStringList ReadJavaArgumentFile(const QByteArray& text) {
    QStringList arguments;
    for (const QByteArray& line : text.split('\n')) {
        if (line.size() < 2 || line.front() != '"' || line.back() != '"')
            continue;
        QByteArray value;
        for (qsizetype i = 1; i + 1 < line.size(); ++i) {
            char c = line[i];
            if (c == '\\' && i + 2 < line.size()) {
                c = line[++i];
                c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == 'f' ? '\f' : c;
            }
            value += c;
        }
        arguments.append(QString::fromUtf8(value));
    }
    return arguments;
}

namespace {

// The file named by a command's last word "@FILE" (plain, or in single quotes).
QString ArgumentFileOf(const QString& command) {
    static const QRegularExpression plain(QStringLiteral(" @([^ ']+)$"));
    static const QRegularExpression quoted(QStringLiteral(" '@(.*)'$"));
    QRegularExpressionMatch match = plain.match(command);
    if (match.hasMatch())
        return match.captured(1);
    match = quoted.match(command);
    return match.hasMatch()
               ? match.captured(1).replace(QStringLiteral("'\\''"), QStringLiteral("'"))
               : QString();
}

} // namespace

ConsoleJob* FakeConsoleRunner::start(const QString& command, const QString& workingDir,
                                     ConsoleJob::Feed feed, QObject* parent) {
    FakeConsoleRun run{command, workingDir, feed, {}};
    const QString argumentFile = ArgumentFileOf(command);
    if (!argumentFile.isEmpty()) {
        QFile file(argumentFile);
        if (file.open(QIODevice::ReadOnly))
            run.fileArguments = ReadJavaArgumentFile(file.readAll());
    }
    runs_.append(run);
    FakeConsoleAnswer answer;
    if (!answers_.empty()) {
        answer = std::move(answers_.front());
        answers_.pop_front();
    } else if (responder_) {
        answer = responder_(run);
    }
    auto* job = new FakeConsoleJob(feed, std::move(answer), holdAnswers_, parent);
    jobs_.append(job);
    return job;
}

} // namespace kestrane::doubles
