// The command host runs the deploy tool's commands one after another in one runtime. Whatever a
// command gives as a run of its own, it must give through the host: the same lines on the same
// stream and the same exit code, also after the commands before it ended with System.exit.
#include "ArgumentFile.h"
#include "BarFixture.h"
#include "CommandHostFrames.h"
#include "DeployCommand.h"
#include "Simulator.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kestrane;
using namespace kestrane::test;

namespace {

// One host started as Kestrane starts it, with the simulator's environment.
class HostSession {
public:
    HostSession(const Simulator& sim, const QStringList& hostArguments) {
        process_.setProcessEnvironment(sim.environment());
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(
            QStringLiteral(KESTRANE_TEST_JAVA),
            QStringList{"-Djava.security.properties=" + DeploySecurityPath(Simulator::appDir()),
                        "-Duser.home=" + sim.userHome(), "-Xmx512M"} +
                hostArguments);
        if (!folder_.isValid() || !process_.waitForStarted(10000))
            throw std::runtime_error("the host did not start");
    }
    ~HostSession() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000))
            process_.kill();
        process_.waitForFinished(5000);
    }

    // The first frame: Ready or Refused.
    CommandHostFrame greeting() { return nextFrame(); }

    ToolRun run(const QStringList& args) {
        const ArgumentFile file(
            folder_.path(), JavaArgumentFileText(QStringList{"-jar", Simulator::jarPath()} + args));
        process_.write(QFile::encodeName(file.path()) + "\n");
        ToolRun run;
        for (;;) {
            const CommandHostFrame frame = nextFrame();
            if (frame.tag == CommandHostFrame::Out)
                run.out += QString::fromUtf8(frame.payload);
            else if (frame.tag == CommandHostFrame::Err)
                run.err += QString::fromUtf8(frame.payload);
            else if (frame.tag == CommandHostFrame::Exit) {
                run.exitCode = frame.exitCode();
                return run;
            } else
                throw std::runtime_error("unexpected frame");
        }
    }

    QProcess& process() { return process_; }

private:
    CommandHostFrame nextFrame() {
        CommandHostFrame frame;
        while (!reader_.next(frame)) {
            if (reader_.broken() || !process_.waitForReadyRead(60000))
                throw std::runtime_error("the host's output ended");
            reader_.append(process_.readAllStandardOutput());
        }
        return frame;
    }

    QTemporaryDir folder_;
    QProcess process_;
    CommandHostFrameReader reader_;
};

// The logging records' dates differ from run to run.
QString WithoutDates(QString text) {
    static const QRegularExpression date(
        QStringLiteral("^[A-Z][a-z]{2} \\d{2}, \\d{4} \\d{1,2}:\\d{2}:\\d{2} [AP]M "),
        QRegularExpression::MultilineOption);
    return text.replace(date, QStringLiteral("DATE "));
}

TEST(CommandHost, EveryOutcomeIsTheSameAsARunOfItsOwn) {
    Simulator alone;
    Simulator hosted;
    QTemporaryDir files;
    ASSERT_TRUE(files.isValid());
    const QString bar = files.filePath("hello.bar");
    WriteBar(bar, BarManifest("com.example.Hello", "Hello World", "1.0.0.1"));
    const QString notBar = files.filePath("not-a-bar.bar");
    {
        QFile file(notBar);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a zip archive");
    }
    const QString gone = files.filePath("gone \"it's\" $HOME \\ \xc3\xbc.bar");
    const QStringList install{"-installApp"};
    const QStringList info{"-listDeviceInfo"};

    struct Case {
        const char* name;
        QStringList args;
        int exitCode;
        int times = 1;
    };
    const Case cases[] = {
        {"device information", info + Login(kFullTouch, "z30"), 0},
        {"installation with progress", install + Login(kFullTouch, "z30") + QStringList{bar}, 0},
        {"application list", QStringList{"-listInstalledApps"} + Login(kFullTouch, "z30"), 0},
        {"wrong password", info + Login(kKeyboard, "x"), 3, 9},
        {"no attempts left", info + Login(kKeyboard, "x"), 4},
        {"Development Mode off", info + Login(kNoDevMode, "z10"), 2},
        {"closed connection", info + Login(kClosesConnection, "z30"), 1},
        {"login system error", info + Login(kLoginSystemError, "z30"), 1},
        {"refused installation", install + Login(kFullTouch, "z30") + QStringList{notBar}, 2},
        {"missing BAR", install + Login(kFullTouch, "z30") + QStringList{gone}, 1},
        {"unknown package",
         QStringList{"-uninstallApp"} + Login(kFullTouch, "z30") +
             QStringList{"-package-name", "com.example.None", "-package-id", "x"},
         2},
        {"no device", info, 1},
        {"usage", {}, 0},
        {"after all that, success again", info + Login(kFullTouch, "z30"), 0},
    };
    HostSession host(hosted, CommandHostArguments(Simulator::appDir()));
    ASSERT_EQ(host.greeting().tag, CommandHostFrame::Ready);
    for (const Case& c : cases) {
        for (int n = 0; n < c.times; ++n) {
            const ToolRun expected = alone.run(c.args);
            const ToolRun actual = host.run(c.args);
            ASSERT_EQ(expected.exitCode, c.exitCode) << c.name << "\n"
                                                     << expected.merged().toStdString();
            EXPECT_EQ(actual.exitCode, expected.exitCode) << c.name;
            EXPECT_EQ(WithoutDates(actual.out), WithoutDates(expected.out)) << c.name;
            EXPECT_EQ(WithoutDates(actual.err), WithoutDates(expected.err)) << c.name;
        }
    }
    // Login cookies are random; the devices and password hashes kept are the same.
    static const QRegularExpression cookie(QStringLiteral("=[^;]*;"));
    EXPECT_EQ(hosted.deployData().replaceInStrings(cookie, "=;"),
              alone.deployData().replaceInStrings(cookie, "=;"));
}

// The command's output arrives as it is written, not when the command ends.
TEST(CommandHost, OutputArrivesWhileTheCommandRuns) {
    Simulator sim;
    sim.setEnv("KESTRANE_DEVICESIM_PROGRESS_MS", "3000");
    QTemporaryDir files;
    ASSERT_TRUE(files.isValid());
    const QString bar = files.filePath("hello.bar");
    WriteBar(bar, BarManifest("com.example.Hello", "Hello World", "1.0.0.1"));
    HostSession host(sim, CommandHostArguments(Simulator::appDir()));
    ASSERT_EQ(host.greeting().tag, CommandHostFrame::Ready);
    const ArgumentFile file(
        files.path(),
        JavaArgumentFileText(QStringList{"-jar", Simulator::jarPath(), "-installApp"} +
                             Login(kFullTouch, "z30") + QStringList{bar}));
    host.process().write(QFile::encodeName(file.path()) + "\n");
    CommandHostFrameReader reader;
    CommandHostFrame frame;
    QByteArray seen;
    while (!seen.contains("Info: Progress")) {
        ASSERT_TRUE(host.process().waitForReadyRead(10000));
        reader.append(host.process().readAllStandardOutput());
        while (reader.next(frame)) {
            ASSERT_NE(frame.tag, CommandHostFrame::Exit) << "ended before any progress arrived";
            seen += frame.payload;
        }
    }
}

// A runtime that refuses the exit trap (Java 24 and later, here forced with "disallow") is told
// at the start, and the host ends.
TEST(CommandHost, SaysSoWhenTheRuntimeRefusesTheExitTrap) {
    Simulator sim;
    QStringList arguments = CommandHostArguments(Simulator::appDir());
    arguments.replaceInStrings("-Djava.security.manager=allow", "-Djava.security.manager=disallow");
    HostSession host(sim, arguments);
    EXPECT_EQ(host.greeting().tag, CommandHostFrame::Refused);
    EXPECT_TRUE(host.process().waitForFinished(10000));
    EXPECT_EQ(host.process().exitCode(), 0);
}

// Frames cut into any pieces come out whole; a stream that is not frames is told.
TEST(CommandHostFrames, AreReadWhateverPiecesTheyArriveIn) {
    const QByteArray stream = QByteArray("R\0\0\0\x01"
                                         "1",
                                         6) +
                              QByteArray("O\0\0\0\x03"
                                         "ab\n",
                                         8) +
                              QByteArray("X\0\0\0\x04\0\0\0\x02", 9);
    for (qsizetype piece = 1; piece <= stream.size(); ++piece) {
        CommandHostFrameReader reader;
        QList<CommandHostFrame> frames;
        for (qsizetype at = 0; at < stream.size(); at += piece) {
            reader.append(stream.mid(at, piece));
            CommandHostFrame frame;
            while (reader.next(frame))
                frames.append(frame);
        }
        ASSERT_EQ(frames.size(), 3) << piece;
        EXPECT_EQ(frames[1].payload, "ab\n");
        EXPECT_EQ(frames[2].exitCode(), 2);
    }
    CommandHostFrameReader reader;
    reader.append("WARNING: A terminally deprecated method");
    CommandHostFrame frame;
    EXPECT_FALSE(reader.next(frame));
    EXPECT_TRUE(reader.broken());
}

} // namespace
