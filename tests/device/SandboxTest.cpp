// An application's sandbox through the device library: the paths it accepts, fetched files that
// reach the user's name only whole, the log's bounded tail and the exit code, with a stand-in
// for the deploy tool that writes what a run would have written.
#include "Sandbox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace kestrane;

namespace {

const SandboxApp kApp{"Speed Test", "com.acme.speedtest", "testDev_speedtest__0b911cdd"};

// What the stand-in tool does with one run: the bytes it writes to SAVEAS (before it ends), its
// output and its exit code.
struct ToolScript {
    QByteArray written;
    QString output;
    int exitCode = 0;
};

class Sandbox : public ::testing::Test {
protected:
    SandboxCommands commands(const ToolScript& script) {
        SandboxCommands commands;
        commands.context.tool.appDir = QStringLiteral("/opt/kestrane");
        commands.context.javaBinDir = QStringLiteral("/usr/bin");
        commands.target = {QStringLiteral("169.254.0.1"), QStringLiteral("z30")};
        commands.start = [this, script](const DeployInvocation& invocation,
                                        const DeviceCommandRunner::Settings&,
                                        DeviceCommandRunner::Continuation whenDone) {
            invocations_.append(invocation);
            const QStringList& args = invocation.toolArguments;
            if (args.value(2) == QLatin1String("-getFile") && !script.written.isNull()) {
                QFile saveAs(args.value(4));
                EXPECT_TRUE(saveAs.open(QIODevice::WriteOnly | QIODevice::Truncate));
                saveAs.write(script.written);
            }
            CommandResult result;
            result.output = script.output;
            result.exitCode = script.exitCode;
            whenDone(result);
            return nullptr;
        };
        return commands;
    }

    SandboxOutcome get(const ToolScript& script, const QString& path, const QString& destination) {
        SandboxOutcome outcome;
        bool called = false;
        commands(script).getFile(kApp, path, destination, [&](const SandboxOutcome& done) {
            outcome = done;
            called = true;
        });
        EXPECT_TRUE(called);
        return outcome;
    }

    static QByteArray contentOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }

    static void write(const QString& path, const QByteArray& content) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir dir_;
    QList<DeployInvocation> invocations_;
};

const QString kSaved = "Info: Sending request: GET_FILE\nInfo: Action: Get File\nInfo: Sending "
                       "File: data/notes.db\nInfo: File saved: %1\n";

TEST_F(Sandbox, PathsMustStayInsideTheSandbox) {
    for (const char* good : {"logs/log", "data/notes.db", "data/a/../b.txt", "./db/x", "shared/ü"})
        EXPECT_EQ(SandboxPathProblem(good), "") << good;
    const struct {
        const char* path;
        const char* says;
    } bad[] = {
        {"", "No sandbox path given"},
        {"/accounts/1000/appdata/x", "starts with /"},
        {"data//x", "empty part"},
        {"data/", "empty part"},
        {"../x", "leaves the application's sandbox"},
        {"data/../../x", "leaves the application's sandbox"},
        {"data/..", "the sandbox itself"},
        {".", "the sandbox itself"},
        {"data/x\n-device", "control character"},
        {"data/\tx", "control character"},
    };
    for (const auto& c : bad) {
        const QString problem = SandboxPathProblem(QString::fromUtf8(c.path));
        EXPECT_TRUE(problem.contains(QLatin1String(c.says)))
            << c.path << ": " << problem.toStdString();
        EXPECT_TRUE(problem.contains("logs/log")) << "says what to give instead";
    }
    EXPECT_TRUE(SandboxPathProblem(QString("data/x") + QChar(0)).contains("control character"));
    // Nothing runs for a bad path.
    EXPECT_EQ(get({}, "../x", dir_.filePath("x")).verdict.kind, FailureKind::LocalFile);
    EXPECT_TRUE(invocations_.isEmpty());
}

// The user's name gets the fetched file only when the tool succeeded; a file there before stays
// as it was otherwise; no temporary file is left behind either way.
TEST_F(Sandbox, AFetchedFileReachesItsNameOnlyWhole) {
    const QString readOnly = dir_.filePath("read-only");
    QDir().mkpath(readOnly);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
    const bool root = geteuid() == 0;
    const QString existing = dir_.filePath("existing.db");
    const struct {
        const char* what;
        ToolScript script;
        QString destination;
        bool existedBefore;
        bool succeeds;
        FailureKind kind;
        bool toolRuns;
    } cases[] = {
        {"new file",
         {"whole", kSaved, 0},
         dir_.filePath("new.db"),
         false,
         true,
         FailureKind::None,
         true},
        {"replaces a file", {"whole", kSaved, 0}, existing, true, true, FailureKind::None, true},
        {"device has no such file",
         {QByteArray(""),
          "Info: Sending request: GET_FILE\nInfo: Action: Get File\nInfo: Sending File: "
          "data/notes.db\nresult::failure 404 file not found\n",
          2},
         existing,
         true,
         false,
         FailureKind::DeviceRefused,
         true},
        {"tool failure after part of the file",
         {"wh", "Info: Sending File: data/notes.db\nError: Connection reset\n", 1},
         existing,
         true,
         false,
         FailureKind::Unknown,
         true},
        {"stopped after part of the file, nothing existed",
         {"wh", "Info: Sending File: data/notes.db\n", -1},
         dir_.filePath("partial.db"),
         false,
         false,
         FailureKind::Unknown,
         true},
        {"destination is a folder",
         {"whole", kSaved, 0},
         dir_.path(),
         false,
         false,
         FailureKind::LocalFile,
         false},
        {"folder does not exist",
         {"whole", kSaved, 0},
         dir_.filePath("missing/x.db"),
         false,
         false,
         FailureKind::LocalFile,
         false},
        {"read-only folder",
         {"whole", kSaved, 0},
         readOnly + "/x.db",
         false,
         root,
         root ? FailureKind::None : FailureKind::LocalFile,
         root},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write(existing, "before");
        invocations_.clear();
        const SandboxOutcome outcome = get(c.script, "data/notes.db", c.destination);
        EXPECT_EQ(outcome.verdict.succeeded, c.succeeds) << outcome.verdict.errorText.toStdString();
        if (!c.succeeds && c.kind != FailureKind::Unknown) {
            EXPECT_EQ(outcome.verdict.kind, c.kind);
        }
        if (!c.succeeds) {
            EXPECT_FALSE(outcome.verdict.errorText.isEmpty()) << "a failure says what happened";
        }
        EXPECT_EQ(invocations_.size(), c.toolRuns ? 1 : 0);
        if (c.succeeds) {
            EXPECT_EQ(contentOf(c.destination), "whole");
        } else if (c.existedBefore) {
            EXPECT_EQ(contentOf(c.destination), "before");
        } else if (!QFileInfo(c.destination).isDir()) {
            EXPECT_FALSE(QFileInfo::exists(c.destination));
        }
        if (c.toolRuns) {
            // The tool wrote beside the destination, and with every byte kept as it is.
            const QString saveAs = invocations_[0].toolArguments.value(4);
            EXPECT_EQ(QFileInfo(saveAs).absolutePath(), QFileInfo(c.destination).absolutePath());
            EXPECT_NE(saveAs, c.destination);
            EXPECT_TRUE(invocations_[0].javaOptions.contains("-Dfile.encoding=ISO-8859-1"));
        }
        const QStringList leftovers = QDir(QFileInfo(c.destination).absolutePath())
                                          .entryList({"*.part"}, QDir::Hidden | QDir::Files);
        EXPECT_TRUE(leftovers.isEmpty()) << leftovers.join(' ').toStdString();
    }
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(Sandbox, ADeviceWithoutTheFileIsSaidInPlainWords) {
    const SandboxOutcome outcome =
        get({QByteArray(""), "Info: Sending File: data/x\nresult::failure 404 file not found\n", 2},
            "data/x", dir_.filePath("x"));
    EXPECT_TRUE(outcome.notFound);
    EXPECT_EQ(outcome.verdict.errorText,
              "Speed Test has no file \"data/x\" in its sandbox. Check the path: it is relative "
              "to the sandbox, such as logs/log or data/FILE.");
    EXPECT_TRUE(outcome.verdict.details.contains("result::failure 404 file not found"));
}

// A log kept in memory is its last 4 MiB, from a whole line on.
TEST_F(Sandbox, ALogIsKeptToItsLastLinesWithinTheBound) {
    QByteArray log;
    for (int i = 0; log.size() < SandboxLogLimit + 100000; ++i)
        log += "line " + QByteArray::number(i) + " of the application's output\n";
    SandboxOutcome outcome;
    commands({log, "Info: Sending File: logs/log\nInfo: File saved: x\n", 0})
        .fetchBytes(kApp, SandboxLogPath, SandboxLogLimit,
                    [&](const SandboxOutcome& done) { outcome = done; });
    ASSERT_TRUE(outcome.verdict.succeeded) << outcome.verdict.errorText.toStdString();
    EXPECT_LE(outcome.bytes.size(), SandboxLogLimit);
    EXPECT_GT(outcome.bytes.size(), SandboxLogLimit - 100);
    EXPECT_TRUE(outcome.bytes.startsWith("line ")) << "starts with a whole line";
    EXPECT_TRUE(log.endsWith(outcome.bytes));
    // A small one comes whole.
    write(dir_.filePath("small"), "a\nb");
    EXPECT_EQ(ReadTail(dir_.filePath("small"), SandboxLogLimit), "a\nb");
}

TEST_F(Sandbox, ExitCodeOrThatTheAppHasNotExited) {
    const QString getLines = "Info: Sending request: GET_FILE\nInfo: Action: Get File\nInfo: "
                             "Sending File: logs/devmode_exitcode.txt\n";
    const struct {
        QString output;
        int exitCode;
        std::optional<int> code;
        bool notFound;
    } cases[] = {
        {getLines + "0\n", 0, 0, false},
        {getLines + "255\r\n", 0, 255, false},
        {getLines + "-11\n", 0, -11, false},
        {getLines + "result::failure 404 file not found\n", 2, std::nullopt, true},
    };
    for (const auto& c : cases) {
        SandboxOutcome outcome;
        commands({QByteArray(), c.output, c.exitCode})
            .readExitCode(kApp, [&](const SandboxOutcome& done) { outcome = done; });
        EXPECT_EQ(outcome.exitCode, c.code) << c.output.toStdString();
        EXPECT_EQ(outcome.notFound, c.notFound);
        if (c.notFound) {
            EXPECT_EQ(outcome.verdict.errorText, "Speed Test has not exited: it is running, or it "
                                                 "has not run since it was installed.");
        }
    }
    EXPECT_TRUE(invocations_.last().javaOptions.contains("-Dfile.encoding=ISO-8859-1"));
    EXPECT_EQ(invocations_.last().toolArguments.value(2), "-printExitCode");
    // An answer without a number is no exit code.
    SandboxOutcome empty;
    commands({QByteArray(), getLines, 0}).readExitCode(kApp, [&](const SandboxOutcome& done) {
        empty = done;
    });
    EXPECT_FALSE(empty.verdict.succeeded);
    EXPECT_EQ(empty.verdict.kind, FailureKind::NoResult);
}

TEST_F(Sandbox, PutChecksItsFileAndSendsItByItsFullPath) {
    SandboxOutcome outcome;
    commands({}).putFile(kApp, dir_.filePath("gone.db"), "db/notes.db",
                         [&](const SandboxOutcome& done) { outcome = done; });
    EXPECT_EQ(outcome.verdict.kind, FailureKind::LocalFile);
    EXPECT_TRUE(invocations_.isEmpty());
    write(dir_.filePath("notes.db"), "x");
    commands({QByteArray(),
              "Info: Sending request: PUT_FILE\nInfo: Action: Put File\nInfo: File "
              "size: 1\nresult::success\n",
              0})
        .putFile(kApp, dir_.filePath("notes.db"), "db/notes.db",
                 [&](const SandboxOutcome& done) { outcome = done; });
    EXPECT_TRUE(outcome.verdict.succeeded) << outcome.verdict.errorText.toStdString();
    EXPECT_EQ(invocations_.last().toolArguments.mid(2, 3),
              (QStringList{"-putFile", dir_.filePath("notes.db"), "db/notes.db"}));
}

} // namespace
