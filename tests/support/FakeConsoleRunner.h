#pragma once

#include "ConsoleRunner.h"

#include <QList>
#include <QPointer>
#include <QStringList>

#include <deque>
#include <functional>

namespace kestrane::doubles {

// What a scripted command writes: its output in the chunks it arrives in, and its exit code.
struct FakeConsoleAnswer {
    QStringList chunks;
    int exitCode = 0;
};

// One start as the code under test asked for it.
struct FakeConsoleRun {
    QString command;
    QString workingDir;
    ConsoleJob::Feed feed = ConsoleJob::Feed::WholeText;
    // When the command ends in "@FILE" (the Java launcher's argument file), the arguments FILE
    // held when the command started, read back as the launcher reads them.
    QStringList fileArguments;
};

// The arguments of a Java launcher argument file as Kestrane writes them: one double-quoted
// argument per line, with \\, \", \n, \r, \t and \f escaped inside the quotes.
QStringList ReadJavaArgumentFile(const QByteArray& text);

// A job of the scripted runner: delivers its chunks one per event-loop turn, then finishes.
class FakeConsoleJob : public ConsoleJob {
    Q_OBJECT

public:
    FakeConsoleJob(Feed feed, FakeConsoleAnswer answer, bool held, QObject* parent);

    // Starts delivering an answer that was held back.
    void release();
    bool isHeld() const { return held_; }
    bool wasStopped() const { return stopped_; }
    // Finishes with the chunks delivered so far and exit code -1, as a stopped command does.
    void stop() override;

private:
    void deliverNext();
    void scheduleNext();

    FakeConsoleAnswer answer_;
    qsizetype nextChunk_ = 0;
    bool held_ = false;
    bool stopped_ = false;
};

// A console runner for tests of code that runs commands: records every start and answers it
// with a scripted output, asynchronously through the event loop as the real runner does.
// Answers added with addAnswer() are used in order; when none is left the responder is asked,
// and without one the command writes nothing and exits with 0.
//
//     FakeConsoleRunner runner;
//     runner.addAnswer("Device name: Q10\r\nresult::success\r\n");
//     window.btnConn->click();             // the handler starts a job
//     ASSERT_TRUE(runner.waitForAll());    // delivers the answer and waits for finished()
//     EXPECT_TRUE(runner.runs()[0].command.contains("-listDeviceInfo"));
class FakeConsoleRunner : public ConsoleRunner {
public:
    using Responder = std::function<FakeConsoleAnswer(const FakeConsoleRun&)>;

    void addAnswer(const QString& output, int exitCode = 0) { addAnswer({{output}, exitCode}); }
    void addAnswer(FakeConsoleAnswer answer) { answers_.push_back(std::move(answer)); }
    void setResponder(Responder responder) { responder_ = std::move(responder); }
    // While set, new jobs wait for FakeConsoleJob::release() (or releaseAll()) before answering,
    // to look at the code under test while its commands run.
    void setHoldAnswers(bool hold) { holdAnswers_ = hold; }
    void releaseAll();

    const QList<FakeConsoleRun>& runs() const { return runs_; }
    // The jobs started so far that still exist, in start order (null once deleted).
    const QList<QPointer<FakeConsoleJob>>& jobs() const { return jobs_; }
    FakeConsoleJob* lastJob() const { return jobs_.isEmpty() ? nullptr : jobs_.last().data(); }
    // Forgets the starts and jobs so far (a test's set-up commands), so that runs() and jobs()
    // begin with what the test itself starts.
    void forgetRuns() {
        runs_.clear();
        jobs_.clear();
    }

    // Runs the event loop until every job that still exists has finished; false on timeout.
    bool waitForAll(int timeoutMs = 5000) const;

    ConsoleJob* start(const QString& command, const QString& workingDir, ConsoleJob::Feed feed,
                      QObject* parent) override;

private:
    std::deque<FakeConsoleAnswer> answers_;
    Responder responder_;
    bool holdAnswers_ = false;
    QList<FakeConsoleRun> runs_;
    QList<QPointer<FakeConsoleJob>> jobs_;
};

} // namespace kestrane::doubles
