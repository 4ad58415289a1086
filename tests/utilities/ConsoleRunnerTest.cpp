#include "ConsoleRunner.h"
#include "FakeConsoleRunner.h"
#include "TextUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include <cerrno>
#include <csignal>

using namespace kestrane;
using kestrane::doubles::FakeConsoleAnswer;
using kestrane::doubles::FakeConsoleRun;
using kestrane::doubles::FakeConsoleRunner;
using Feed = ConsoleJob::Feed;

namespace {

constexpr int FinishTimeoutMs = 20000;

// Everything a job reported, in order.
struct Recording {
    QStringList lines;
    QStringList partialLines;
    QStringList finishedOutputs;
};

std::shared_ptr<Recording> record(ConsoleJob* job) {
    auto recording = std::make_shared<Recording>();
    QObject::connect(job, &ConsoleJob::lineReceived,
                     [recording](const QString& line) { recording->lines.append(line); });
    QObject::connect(job, &ConsoleJob::partialLineChanged, [recording](const QString& partial) {
        recording->partialLines.append(partial);
    });
    QObject::connect(job, &ConsoleJob::finished, [recording](const QString& output) {
        recording->finishedOutputs.append(output);
    });
    return recording;
}

bool waitUntilFinished(const ConsoleJob* job) {
    return QTest::qWaitFor([job] { return job->isFinished(); }, FinishTimeoutMs);
}

// Alive means running: a killed process whose parent is gone may stay a zombie for a while.
bool isRunning(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray fields = stat.readAll();
    const qsizetype end = fields.lastIndexOf(") ");
    return end >= 0 && end + 2 < fields.size() && fields[end + 2] != 'Z' && fields[end + 2] != 'X';
}

class ProcessConsoleRunnerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

    struct Result {
        QString output;
        int exitCode;
        std::shared_ptr<Recording> recording;
    };
    Result run(const QString& command, Feed feed = Feed::WholeText) {
        return runIn(folder_.path(), command, feed);
    }
    Result runIn(const QString& workingDir, const QString& command, Feed feed) {
        std::unique_ptr<ConsoleJob> job(runner_.start(command, workingDir, feed, nullptr));
        auto recording = record(job.get());
        EXPECT_TRUE(waitUntilFinished(job.get())) << command.toStdString();
        EXPECT_EQ(recording->finishedOutputs.size(), 1) << command.toStdString();
        return {job->output(), job->exitCode(), recording};
    }

    // Starts a command that prints the pid of a background child, and waits for that line.
    std::pair<ConsoleJob*, qint64> startWithBackgroundChild(const QString& command) {
        ConsoleJob* job = runner_.RunConsoleCommandLive(command, folder_.path(), &owner_);
        qint64 childPid = 0;
        QObject::connect(job, &ConsoleJob::lineReceived,
                         [&childPid](const QString& line) { childPid = line.toLongLong(); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return childPid > 0; }, FinishTimeoutMs));
        EXPECT_TRUE(isRunning(childPid));
        return {job, childPid};
    }

    QTemporaryDir folder_;
    ProcessConsoleRunner runner_{"UTF-8"};
    QObject owner_;
};

TEST_F(ProcessConsoleRunnerTest, CollectsEverythingTheCommandWrites) {
    const struct {
        const char* command;
        const char* expected;
        int exitCode;
    } cases[] = {
        {"true", "", 0},
        {"exit 3", "", 3},
        {"echo out1; echo err1 >&2; echo out2; echo err2 >&2", "out1\nerr1\nout2\nerr2\n", 0},
        {"printf ab; sleep 0.2; printf 'cd\\r\\n'", "abcd\r\n", 0},
        {"printf '\\303'; sleep 0.2; printf '\\251\\n'", "\xc3\xa9\n", 0}, // é split across reads
        {"printf 'a\\000b\\nc'", "ab\nc", 0}, // a NUL is dropped, not the rest of its chunk
    };
    for (const auto& c : cases) {
        const Result result = run(QString::fromUtf8(c.command));
        EXPECT_EQ(result.output, QString::fromUtf8(c.expected)) << c.command;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.command;
    }
}

TEST_F(ProcessConsoleRunnerTest, GivesTheShellsMessageForAnUnknownCommand) {
    const Result result = run("kestrane-no-such-command --version");
    EXPECT_TRUE(result.output.contains("kestrane-no-such-command")) << result.output.toStdString();
    EXPECT_TRUE(result.output.contains("not found")) << result.output.toStdString();
    EXPECT_EQ(result.exitCode, 127);
}

TEST_F(ProcessConsoleRunnerTest, LongOutputArrivesWholeAndLineByLine) {
    const Result result = run("seq 1 50000", Feed::Lines);
    QStringList expected;
    for (int i = 1; i <= 50000; ++i)
        expected.append(QString::number(i));
    EXPECT_EQ(result.recording->lines, expected);
    EXPECT_EQ(result.output, expected.join('\n') + '\n');
    EXPECT_EQ(result.recording->finishedOutputs, QStringList{result.output});
    EXPECT_TRUE(run("seq 1 10").recording->lines.isEmpty()); // the whole-text feed has no lines
}

TEST_F(ProcessConsoleRunnerTest, FeedsLinesSplitAcrossReadsOnce) {
    const Result result = run("printf 'one\\r'; sleep 0.2; printf '\\ntw'; sleep 0.2; "
                              "printf 'o\\nthree\\r\\n\\nfour'",
                              Feed::Lines);
    EXPECT_EQ(result.recording->lines, (QStringList{"one", "two", "three", "", "four"}));
    EXPECT_TRUE(result.recording->partialLines.contains("tw"));
    EXPECT_EQ(result.recording->partialLines.last(), "");
}

TEST_F(ProcessConsoleRunnerTest, StartsNothingWithoutAnExistingWorkingFolder) {
    const QString marker = folder_.filePath("marker");
    for (const QString& workingDir : {folder_.filePath("absent"), QString()}) {
        const Result result = runIn(workingDir, "touch '" + marker + "'; echo ran", Feed::Lines);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(result.exitCode, -1);
        EXPECT_TRUE(result.recording->lines.isEmpty());
        EXPECT_FALSE(QFile::exists(marker));
    }
}

TEST_F(ProcessConsoleRunnerTest, RunsInTheWorkingFolderWithItFirstOnPath) {
    QFile launcher(folder_.filePath("java"));
    ASSERT_TRUE(launcher.open(QIODevice::WriteOnly));
    launcher.write("#!/bin/sh\necho \"folder java $*\"\n");
    launcher.close();
    launcher.setPermissions(launcher.permissions() | QFileDevice::ExeOwner);

    const Result result = run("pwd; java -version");
    EXPECT_EQ(result.output, folder_.path() + "\nfolder java -version\n");
}

TEST_F(ProcessConsoleRunnerTest, DecodesTheInjectedCharacterSet) {
    ProcessConsoleRunner latin9("ISO-8859-15");
    std::unique_ptr<ConsoleJob> job(latin9.RunConsoleCommand("printf '\\244'", ".", nullptr));
    ASSERT_TRUE(waitUntilFinished(job.get()));
    EXPECT_EQ(job->output(), QString::fromUtf8("€"));
}

TEST_F(ProcessConsoleRunnerTest, RunsSeveralCommandsAtOnce) {
    std::unique_ptr<ConsoleJob> slow(
        runner_.RunConsoleCommand("sleep 0.5; echo slow", ".", nullptr));
    std::unique_ptr<ConsoleJob> fast(runner_.RunConsoleCommand("echo fast", ".", nullptr));
    ASSERT_TRUE(waitUntilFinished(fast.get()));
    EXPECT_FALSE(slow->isFinished());
    ASSERT_TRUE(waitUntilFinished(slow.get()));
    EXPECT_EQ(fast->output(), "fast\n");
    EXPECT_EQ(slow->output(), "slow\n");
}

TEST_F(ProcessConsoleRunnerTest, StopEndsEverythingTheCommandStarted) {
    auto [job, childPid] = startWithBackgroundChild("echo before; sleep 100 & echo $!; wait");
    const auto recording = record(job);
    job->stop();
    ASSERT_TRUE(waitUntilFinished(job));
    EXPECT_EQ(recording->finishedOutputs.size(), 1);
    EXPECT_TRUE(job->output().startsWith("before\n"));
    EXPECT_EQ(job->exitCode(), -1);
    EXPECT_TRUE(QTest::qWaitFor([pid = childPid] { return !isRunning(pid); }, FinishTimeoutMs));
}

TEST_F(ProcessConsoleRunnerTest, StopKillsACommandThatIgnoresTheRequestToEnd) {
    runner_.setStopGrace(std::chrono::milliseconds(300));
    auto [job, childPid] = startWithBackgroundChild("trap '' TERM; sleep 100 & echo $!; wait");
    job->stop();
    ASSERT_TRUE(waitUntilFinished(job));
    EXPECT_TRUE(QTest::qWaitFor([pid = childPid] { return !isRunning(pid); }, FinishTimeoutMs));
}

TEST_F(ProcessConsoleRunnerTest, DeletingARunningJobEndsItsCommand) {
    auto [job, childPid] = startWithBackgroundChild("trap '' TERM; sleep 100 & echo $!; wait");
    delete job;
    EXPECT_TRUE(QTest::qWaitFor([pid = childPid] { return !isRunning(pid); }, FinishTimeoutMs));
}

// A character cut off at the very end still shows that something was there.
TEST_F(ProcessConsoleRunnerTest, ACharacterCutAtTheEndBecomesTheReplacementCharacter) {
    EXPECT_EQ(run(R"(printf 'ab\342\202')").output, QStringLiteral("ab\uFFFD"));
    const Result lines = run(R"(printf 'x\nab\342\202')", Feed::Lines);
    EXPECT_EQ(lines.recording->lines, QStringList({"x", QStringLiteral("ab\uFFFD")}));
}

// Background children of the shell are waited for: what they write after the shell's own last
// command arrives, and the exit code stays the command's.
TEST_F(ProcessConsoleRunnerTest, WaitsForWhatBackgroundChildrenWrite) {
    const Result result = run("(sleep 0.3; echo late) & echo early; exit 3");
    EXPECT_EQ(result.output, "early\nlate\n");
    EXPECT_EQ(result.exitCode, 3);
}

// A child that left the shell's care (its parent subshell ended) ends with the command.
TEST_F(ProcessConsoleRunnerTest, NothingOfTheCommandOutlivesIt) {
    const Result result = run("( (sleep 100 >/dev/null 2>&1 &) ); echo $$");
    const pid_t group = result.output.trimmed().toInt();
    ASSERT_GT(group, 0);
    EXPECT_TRUE(QTest::qWaitFor([group] { return ::kill(-group, 0) != 0 && errno == ESRCH; },
                                FinishTimeoutMs));
}

// PATH cannot name a folder with a colon: such a folder starts nothing rather than letting the
// shell find another folder's java.
TEST_F(ProcessConsoleRunnerTest, StartsNothingInAFolderNamedWithAColon) {
    const QString folder = folder_.filePath("jdk:17");
    ASSERT_TRUE(QDir().mkpath(folder));
    const Result result = runIn(folder, "echo ran", Feed::WholeText);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.exitCode, -1);
}

// Whatever ends the program that owns the runner, its commands end with it, and so does the
// private folder it asked to have removed.
class RunnerOwnerKilled : public ::testing::TestWithParam<int> {};

TEST_P(RunnerOwnerKilled, EndsEveryCommandItStarted) {
    QProcess owner;
    owner.start(QStringLiteral(KESTRANE_RUNNER_OWNER), {});
    ASSERT_TRUE(owner.waitForStarted());
    ASSERT_TRUE(owner.waitForReadyRead(FinishTimeoutMs));
    const QString folder = QString::fromLocal8Bit(owner.readLine()).trimmed();
    ASSERT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
    ASSERT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);
    while (!owner.canReadLine())
        ASSERT_TRUE(owner.waitForReadyRead(FinishTimeoutMs));
    const pid_t group = QString::fromLatin1(owner.readLine()).trimmed().toInt();
    ASSERT_GT(group, 0);
    ASSERT_EQ(::kill(-group, 0), 0);

    ::kill(static_cast<pid_t>(owner.processId()), GetParam());
    ASSERT_TRUE(owner.waitForFinished(FinishTimeoutMs));
    EXPECT_TRUE(QTest::qWaitFor([group] { return ::kill(-group, 0) != 0 && errno == ESRCH; },
                                FinishTimeoutMs));
    // Its private folder goes with it, the argument file in it first, although its own exit
    // handler never ran.
    EXPECT_TRUE(QTest::qWaitFor([&folder] { return !QFileInfo::exists(folder); }, FinishTimeoutMs));
}

INSTANTIATE_TEST_SUITE_P(Signals, RunnerOwnerKilled, ::testing::Values(SIGKILL, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == SIGKILL ? "SIGKILL" : "SIGTERM";
                         });

// The line feed is shared by every job: checked here for every way of cutting one text into three
// chunks, through the scripted runner.
TEST(ConsoleJobLineFeed, GivesEachLineOnceWhereverTheChunksEnd) {
    const QString text = QStringLiteral("ab\r\ncd\re\n\nf\r\rg");
    const QRegularExpression lineBreak(QStringLiteral("[\r\n]"));
    for (qsizetype first = 0; first <= text.size(); ++first) {
        for (qsizetype second = first; second <= text.size(); ++second) {
            const std::string cut = std::to_string(first) + "/" + std::to_string(second);
            FakeConsoleRunner runner;
            runner.addAnswer(
                {{text.left(first), text.mid(first, second - first), text.mid(second)}});
            std::unique_ptr<ConsoleJob> job(runner.RunConsoleCommandLive("cmd", "dir", nullptr));
            auto recording = record(job.get());
            // While output arrives, the partial line is the text after its last line break.
            QObject::connect(
                job.get(), &ConsoleJob::partialLineChanged, [&](const QString& partial) {
                    if (!job->isFinished()) {
                        EXPECT_EQ(partial, job->output().section(lineBreak, -1)) << cut;
                    }
                });
            ASSERT_TRUE(runner.waitForAll());
            EXPECT_EQ(recording->lines, SplitLines(text)) << cut;
            EXPECT_EQ(recording->finishedOutputs, QStringList{text}) << cut;
            EXPECT_EQ(recording->partialLines.last(), "") << cut;
        }
    }
}

TEST(FakeConsoleRunner, RecordsStartsAndAnswersInOrder) {
    FakeConsoleRunner runner;
    runner.addAnswer("first\n", 2);
    runner.setResponder([](const FakeConsoleRun& run) {
        return FakeConsoleAnswer{{run.command + " in " + run.workingDir}, 0};
    });
    runner.setHoldAnswers(true);
    QObject owner;
    ConsoleJob* held = runner.RunConsoleCommand("one", "/jre/bin", &owner);
    ConsoleJob* stopped = runner.RunConsoleCommandLive("two", "/jre/bin", &owner);
    QCoreApplication::processEvents();
    EXPECT_FALSE(held->isFinished());

    stopped->stop();
    runner.releaseAll();
    ASSERT_TRUE(runner.waitForAll());
    EXPECT_EQ(held->output(), "first\n");
    EXPECT_EQ(held->exitCode(), 2);
    EXPECT_EQ(stopped->output(), "");
    EXPECT_EQ(stopped->exitCode(), -1);
    ASSERT_EQ(runner.runs().size(), 2);
    EXPECT_EQ(runner.runs()[1].command, "two");
    EXPECT_EQ(runner.runs()[1].workingDir, "/jre/bin");
    EXPECT_EQ(runner.runs()[1].feed, Feed::Lines);
    runner.setHoldAnswers(false);
    ConsoleJob* answered = runner.RunConsoleCommand("three", "", &owner);
    EXPECT_EQ(answered, runner.lastJob());
    ASSERT_TRUE(runner.waitForAll());
    EXPECT_EQ(answered->output(), "three in ");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
