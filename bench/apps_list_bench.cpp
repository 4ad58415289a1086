// How long the manage screen takes from "&Refresh" until every row of a long application list is
// listed, apart from the deploy tool's own time. For each list size the simulated phone gets that
// many applications; then, with the medians of several runs:
//   tool       the deploy tool (the device simulator) alone, run as the window runs it, its output
//              read to the end;
//   window     the whole chain: the click on "&Refresh", the tool, every row listed and painted;
//   window - tool  the window's share of it;
//   replayed   the window's own work only: the tool's recorded output fed through the window's
//              live path (one event-loop turn per piece), once line by line and once in 16 KiB
//              pieces, from the click until the rows are listed and painted;
//   paced lag  the recorded lines fed steadily over about a second: the time from the last line
//              until every row is listed and painted (the window keeping up while rows arrive).

#include "ArgumentFile.h"
#include "DeployCommand.h"
#include "DeviceCommands.h"
#include "TfrmBB10.h"
#include "WindowBench.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace kestrane;

namespace {

const QString Address = QStringLiteral("169.254.0.1");
const QString Password = QStringLiteral("z30");

// Plays back a recorded output: one piece per event-loop turn, as a pipe delivers it, or (paced)
// a share of the pieces every millisecond so that the whole takes about a second, as a tool that
// writes steadily.
class ReplayJob : public ConsoleJob {
public:
    ReplayJob(Feed feed, QStringList pieces, bool paced, QObject* parent)
        : ConsoleJob(feed, parent), pieces_(std::move(pieces)), paced_(paced),
          perTick_(paced ? std::max<qsizetype>(1, pieces_.size() / 1000) : 1) {
        schedule();
    }
    void stop() override { stopped_ = true; }
    // When the last piece was written.
    QElapsedTimer lastPiece;

private:
    void schedule() {
        QTimer::singleShot(paced_ ? 1 : 0, Qt::PreciseTimer, this, [this] { next(); });
    }
    void next() {
        if (stopped_ || index_ == pieces_.size()) {
            complete(stopped_ ? -1 : 0);
            return;
        }
        for (qsizetype i = 0; i < perTick_ && index_ < pieces_.size(); ++i)
            receiveText(pieces_[index_++]);
        if (index_ == pieces_.size())
            lastPiece.start();
        schedule();
    }
    QStringList pieces_;
    bool paced_;
    qsizetype perTick_;
    qsizetype index_ = 0;
    bool stopped_ = false;
};

// Starts commands with the system's runner, or replays pieces when some are set; keeps the last
// job so that its end can be waited for.
class BenchRunner : public ConsoleRunner {
public:
    QStringList replay;
    bool paced = false;
    ConsoleJob* lastJob = nullptr;

    ConsoleJob* start(const QString& command, const QString& workingDir, ConsoleJob::Feed feed,
                      QObject* parent) override {
        lastJob = replay.isEmpty() ? system_.start(command, workingDir, feed, parent)
                                   : new ReplayJob(feed, replay, paced, parent);
        return lastJob;
    }

private:
    ProcessConsoleRunner system_;
};

// A name of random letters, capitals among them, so that the rows arrive out of order.
QString RandomWord(std::mt19937& random, int length) {
    static const QString letters =
        QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    QString word;
    for (int i = 0; i < length; ++i)
        word.append(letters[static_cast<qsizetype>(random() % letters.size())]);
    return word;
}

// The simulator's state file for the phone with count applications.
bool WriteDeviceState(const QString& home, int count) {
    std::mt19937 random(42);
    QString text = QStringLiteral("failedAttempts=0\napps=%1\n").arg(count);
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("com.bench.app%1").arg(i, 5, 10, QLatin1Char('0'));
        QString id;
        do {
            id = RandomWord(random, 27);
        } while ((name + QLatin1Char('.')).contains(id.left(4)));
        const QString prefix = QStringLiteral("app.%1.").arg(i);
        text += prefix + "name=" + name + "\n" + prefix + "id=" + id + "\n" + prefix +
                "version=1.0.0." + QString::number(i) + "\n" + prefix +
                "displayName=" + RandomWord(random, 10) + "\n" + prefix + "size=1000\n" + prefix +
                "preinstalled=" + (i % 2 == 0 ? "true" : "false") + "\n" + prefix + "pid=0\n";
    }
    QFile file(home + QStringLiteral("/") + Address + QStringLiteral(".properties"));
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
}

// The tool alone: milliseconds until it has ended and its output is read; the output in output.
double TimeTool(const QString& command, const QString& javaBinDir, QString& output) {
    QProcess process;
    process.setWorkingDirectory(javaBinDir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"),
                       javaBinDir + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    process.waitForFinished(-1);
    output = QString::fromUtf8(process.readAll());
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// The window: milliseconds from the click on "&Refresh" until the list is filled and painted.
double TimeRefresh(TfrmBB10& window, BenchRunner& runner, int expectedRows) {
    QElapsedTimer timer;
    timer.start();
    window.btnRefreshApp->click();
    QEventLoop loop;
    // The window's own handling of the end was connected first and runs before this.
    QObject::connect(runner.lastJob, &ConsoleJob::finished, &loop, &QEventLoop::quit);
    loop.exec();
    window.lstApps->viewport()->repaint();
    auto* replayed = dynamic_cast<ReplayJob*>(runner.lastJob);
    // Paced: only the time after the tool's last line counts, the window's lag behind it.
    const QElapsedTimer& since = runner.paced && replayed ? replayed->lastPiece : timer;
    const double elapsed = static_cast<double>(since.nsecsElapsed()) / 1e6;
    if (window.lstApps->topLevelItemCount() != expectedRows) {
        std::fprintf(stderr, "listed %d rows instead of %d\n", window.lstApps->topLevelItemCount(),
                     expectedRows);
        std::exit(1);
    }
    return elapsed;
}

QStringList Pieces(const QString& output, bool byLine) {
    QStringList pieces;
    if (byLine) {
        for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            pieces.append(line + QLatin1Char('\n'));
        return pieces;
    }
    for (qsizetype at = 0; at < output.size(); at += 16384)
        pieces.append(output.mid(at, 16384));
    return pieces;
}

} // namespace

int main(int argc, char** argv) {
    const bench::WindowBench setup(argc, argv, 5);
    const int runs = setup.runs;

    auto runner = std::make_shared<BenchRunner>();
    TfrmBB10 window(Services{nullptr, nullptr, runner});
    window.AppDir = QStringLiteral(KESTRANE_BENCH_APP_DIR);
    window.show();
    if (window.JavaBinDir.isEmpty()) {
        std::fprintf(stderr, "no Java runtime found\n");
        return 1;
    }
    window.edtIP->setAddressText(Address);
    window.edtPwd->setText(Password);
    window.btnConnClick();
    while (window.deviceCommands().isRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (window.connectedTarget().address != Address) {
        std::fprintf(stderr, "cannot connect to the simulated phone\n");
        return 1;
    }
    window.AppsListPending = false;
    window.btnManageApps->click();
    const DeployInvocation invocation =
        DeployCommand(window.DeployToolInUse(), DeployAction::ListInstalledApps, Address, Password);
    const ArgumentFile arguments(setup.home.path(), JavaArgumentFileText(invocation.toolArguments));
    const QString command = LauncherCommand(invocation, arguments.path());

    std::printf("%6s %8s %8s %14s %13s %14s %11s   (median of %d runs, ms)\n", "rows", "tool",
                "window", "window - tool", "replay lines", "replay 16 KiB", "paced lag", runs);
    for (const int rows : {500, 1000, 2000, 5000}) {
        if (!WriteDeviceState(setup.home.path(), rows)) {
            std::fprintf(stderr, "cannot write the simulator's state\n");
            return 1;
        }
        std::vector<double> tool, chain, byLine, byBlock, pacedLag;
        QString output;
        for (int run = 0; run < runs; ++run) {
            tool.push_back(TimeTool(command, window.JavaBinDir, output));
            runner->replay.clear();
            chain.push_back(TimeRefresh(window, *runner, rows));
            runner->replay = Pieces(output, true);
            byLine.push_back(TimeRefresh(window, *runner, rows));
            runner->replay = Pieces(output, false);
            byBlock.push_back(TimeRefresh(window, *runner, rows));
            runner->replay = Pieces(output, true);
            runner->paced = true;
            pacedLag.push_back(TimeRefresh(window, *runner, rows));
            runner->paced = false;
        }
        std::printf("%6d %8.1f %8.1f %14.1f %13.1f %14.1f %11.1f\n", rows, bench::Median(tool),
                    bench::Median(chain), bench::Median(chain) - bench::Median(tool),
                    bench::Median(byLine), bench::Median(byBlock), bench::Median(pacedLag));
        std::fflush(stdout);
    }
    return 0;
}
