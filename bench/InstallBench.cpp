// The install screen's two bulk paths, timed on the real window (offscreen):
//   BM_DropBars       the BAR files of $KESTRANE_BENCH_BARS dropped on the window at once, until
//                     every row is listed (manifests read, duplicates searched, name order kept)
//   BM_LiveProgress   one installation whose tool writes N MB of output through /bin/sh and the
//                     console runner, every line read for progress, until the row shows "Done"
// Run by bench/install.sh, which makes the BAR files.

#include "BarFixture.h"
#include "DeviceCommands.h"
#include "MessageBox.h"
#include "TfrmBB10.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>

#include <memory>

using namespace kestrane;

namespace {

std::unique_ptr<TfrmBB10> ShownWindow() {
    auto window = std::make_unique<TfrmBB10>(Services{});
    window->show();
    QCoreApplication::processEvents();
    return window;
}

void WaitUntil(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void Drop(TfrmBB10& window, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = window.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &drop);
}

void BM_DropBars(benchmark::State& state) {
    const QString folder = qEnvironmentVariable("KESTRANE_BENCH_BARS");
    QList<QUrl> urls;
    for (const QFileInfo& file : QDir(folder).entryInfoList({"*.bar"}, QDir::Files, QDir::Name))
        urls.append(QUrl::fromLocalFile(file.absoluteFilePath()));
    if (urls.isEmpty()) {
        state.SkipWithError("no BAR files in $KESTRANE_BENCH_BARS");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto window = ShownWindow();
        state.ResumeTiming();
        Drop(*window, urls);
        WaitUntil([&] { return window->lstBarFile->topLevelItemCount() == urls.size(); });
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
    state.counters["files"] = static_cast<double>(urls.size());
}
BENCHMARK(BM_DropBars)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A program folder with stand-ins for the deploy tool, and a "java" that writes the output file.
struct FakeTool {
    QTemporaryDir appDir;
    QTemporaryDir javaBinDir;
    QString outputPath;

    explicit FakeTool(qint64 bytes) {
        QDir(appDir.path()).mkpath(QStringLiteral("lib"));
        for (const char* name : {"lib/BarDeploy.jar", "lib/deploy-tls.security"}) {
            QFile file(appDir.filePath(QLatin1String(name)));
            file.open(QIODevice::WriteOnly);
        }
        outputPath = javaBinDir.filePath(QStringLiteral("output.txt"));
        WriteOutput(bytes);
        QFile java(javaBinDir.filePath(QStringLiteral("java")));
        java.open(QIODevice::WriteOnly);
        java.write("#!/bin/sh\nexec cat '" + outputPath.toUtf8() + "'\n");
        java.close();
        java.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // The tool's kind of output: each progress line among lines of other kinds, rising to 100.
    void WriteOutput(qint64 bytes) {
        QFile file(outputPath);
        file.open(QIODevice::WriteOnly);
        const QByteArray filler = "Info: Sending data: chunk accepted by the device (ok)\r\n";
        const qint64 lines = bytes / (filler.size() + 24);
        QByteArray block;
        for (qint64 i = 0; i < lines; ++i) {
            block += filler;
            block += "Info: Progress " + QByteArray::number(i * 99 / lines) + "%...\r\n";
            if (block.size() > (1 << 20)) {
                file.write(block);
                block.clear();
            }
        }
        block += "Info: Progress 100%...\r\nresult::success\r\n";
        file.write(block);
    }
};

void BM_LiveProgress(benchmark::State& state) {
    const qint64 bytes = state.range(0) << 20;
    FakeTool tool(bytes);
    const qint64 written = QFileInfo(tool.outputPath).size();
    QTemporaryDir bars;
    const QString bar = bars.filePath(QStringLiteral("app.bar"));
    test::WriteBar(bar, test::BarManifest("com.example.app", "App", "1.0.0.0"));
    for (auto _ : state) {
        state.PauseTiming();
        auto window = ShownWindow();
        window->AppDir = tool.appDir.path();
        window->JavaBinDir = tool.javaBinDir.path();
        window->edtIP->setAddressText(QStringLiteral("169.254.0.1"));
        window->AddBarFile(bar);
        QTreeWidgetItem* row = window->lstBarFile->topLevelItem(0);
        MessageBox::setNextAnswer(MessageBox::Ok);
        state.ResumeTiming();
        window->btnInstallBarClick();
        WaitUntil([&] { return !window->InstallRunning(); });
        state.PauseTiming();
        const bool done = row->text(5) == QStringLiteral("Done");
        window.reset();
        // The run made the runtime's folder the current one; it goes with the fake tool.
        QDir::setCurrent(QDir::tempPath());
        state.ResumeTiming();
        if (!done) {
            state.SkipWithError("the row did not end \"Done\"");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * written);
}
BENCHMARK(BM_LiveProgress)
    ->Arg(5)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
