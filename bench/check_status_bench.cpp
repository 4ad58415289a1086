// The manage screen's "&Check Status" of 20 ticked rows, through the command host and with one
// Java runtime per command, in the same run: two windows connected to the same simulated phone
// (20 applications), one made with KESTRANE_COMMAND_HOST=0; each round clicks Check Status in
// one and then the other, from the click until the last status is shown. Medians, milliseconds.
// Before the rounds each window has connected and listed the applications, as a user does before
// ticking rows, so the host window's host is running (warm) as it is after those two commands.
//
//     check-status-bench [ROUNDS]      default 9; offscreen unless QT_QPA_PLATFORM is set

#include "DeviceCommands.h"
#include "ListColumns.h"
#include "TfrmBB10.h"
#include "WindowBench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace kestrane;

namespace {

const QString Address = QStringLiteral("169.254.0.1");
constexpr int Rows = 20;

bool WriteDeviceState(const QString& home) {
    QString text = QStringLiteral("failedAttempts=0\napps=%1\n").arg(Rows);
    for (int i = 0; i < Rows; ++i) {
        const QString prefix = QStringLiteral("app.%1.").arg(i);
        text += prefix + QStringLiteral("name=com.bench.app%1\n").arg(i, 2, 10, QLatin1Char('0')) +
                prefix + QStringLiteral("id=benchApp%1id\n").arg(i, 2, 10, QLatin1Char('0')) +
                prefix + QStringLiteral("version=1.0.0.%1\n").arg(i) + prefix +
                QStringLiteral("displayName=App %1\n").arg(i, 2, 10, QLatin1Char('0')) + prefix +
                "size=1000\n" + prefix + "preinstalled=false\n" + prefix +
                (i % 2 ? "pid=0\n" : "pid=4242\n");
    }
    QFile file(home + QStringLiteral("/") + Address + QStringLiteral(".properties"));
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
}

void WaitForCommands(TfrmBB10& window) {
    while (window.deviceCommands().isRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Connected, its manage screen open and listing the 20 applications, every row ticked.
std::unique_ptr<TfrmBB10> ReadyWindow() {
    auto window = std::make_unique<TfrmBB10>(
        Services{nullptr, nullptr, std::make_shared<ProcessConsoleRunner>()});
    window->AppDir = QStringLiteral(KESTRANE_BENCH_APP_DIR);
    window->show();
    if (window->JavaBinDir.isEmpty()) {
        std::fprintf(stderr, "no Java runtime found\n");
        std::exit(1);
    }
    window->edtIP->setAddressText(Address);
    window->edtPwd->setText(QStringLiteral("z30"));
    window->btnConnClick();
    WaitForCommands(*window);
    if (window->connectedTarget().address != Address) {
        std::fprintf(stderr, "cannot connect to the simulated phone\n");
        std::exit(1);
    }
    window->btnManageApps->click();
    WaitForCommands(*window);
    if (window->lstApps->topLevelItemCount() != Rows) {
        std::fprintf(stderr, "listed %d applications instead of %d\n",
                     window->lstApps->topLevelItemCount(), Rows);
        std::exit(1);
    }
    for (int i = 0; i < Rows; ++i)
        window->lstApps->topLevelItem(i)->setCheckState(AppColumn::Name, Qt::Checked);
    return window;
}

double CheckStatus(TfrmBB10& window) {
    for (int i = 0; i < Rows; ++i)
        window.lstApps->topLevelItem(i)->setText(AppColumn::Status, QString());
    QElapsedTimer timer;
    timer.start();
    window.btnCheckApp->click();
    WaitForCommands(window);
    const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    for (int i = 0; i < Rows; ++i) {
        const QString status = window.lstApps->topLevelItem(i)->text(AppColumn::Status);
        if (status != QStringLiteral("Running") && status != QStringLiteral("Stop")) {
            std::fprintf(stderr, "row %d: status \"%s\"\n", i, qPrintable(status));
            std::exit(1);
        }
    }
    return elapsed;
}

} // namespace

int main(int argc, char** argv) {
    const bench::WindowBench setup(argc, argv, 9);
    const int rounds = setup.runs;
    if (!WriteDeviceState(setup.home.path())) {
        std::fprintf(stderr, "cannot write the simulator's state\n");
        return 1;
    }
    // The switch is read when a window is made; the environment is the same again afterwards, so
    // the host window's host is never restarted for a changed environment.
    const QByteArray saved = qgetenv("KESTRANE_COMMAND_HOST");
    qputenv("KESTRANE_COMMAND_HOST", "0");
    std::unique_ptr<TfrmBB10> own = ReadyWindow();
    qunsetenv("KESTRANE_COMMAND_HOST");
    std::unique_ptr<TfrmBB10> hosted = ReadyWindow();
    if (!saved.isNull())
        qputenv("KESTRANE_COMMAND_HOST", saved);

    std::vector<double> hostTimes, ownTimes;
    for (int round = 0; round < rounds; ++round) {
        hostTimes.push_back(CheckStatus(*hosted));
        ownTimes.push_back(CheckStatus(*own));
    }
    std::printf("Check Status of %d rows, median of %d rounds, alternating:\n", Rows, rounds);
    std::printf("  command host          %8.1f ms\n", bench::Median(hostTimes));
    std::printf("  one Java per command  %8.1f ms\n", bench::Median(ownTimes));
    std::printf("  host / own            %8.2f\n",
                bench::Median(hostTimes) / bench::Median(ownTimes));
    return 0;
}
