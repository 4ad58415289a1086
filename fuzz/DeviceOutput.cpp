#include "DeviceOutput.h"

#include "BarInfo.h"
#include "CommandResult.h"
#include "ConsoleRunner.h"
#include "DeployCommand.h"
#include "DeviceFailure.h"
#include "DeviceInfo.h"
#include "InstallProgress.h"
#include "InstalledApps.h"
#include "TextUtils.h"

#include <cstdio>
#include <cstdlib>

namespace kestrane {

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "device output: %s\n", what);
    std::abort();
}

// A console job fed by hand instead of by a process.
class FedJob : public ConsoleJob {
public:
    FedJob() : ConsoleJob(Feed::Lines, nullptr) {}
    void stop() override {}
    void feed(QStringView text) { receiveText(text); }
    void end(int exitCode) { complete(exitCode); }
};

qsizetype Length(const QString& s) {
    return s.size();
}

} // namespace

DeviceOutputRead ReadDeviceOutput(const QString& text, const std::vector<qsizetype>& chunks,
                                  int exitCode, bool timedOut) {
    DeviceOutputRead read;
    QStringList lines;
    FedJob job;
    QObject::connect(&job, &ConsoleJob::lineReceived, [&](const QString& line) {
        lines.append(line);
        const InstalledApp app = ReadInstalledAppLine(line);
        if (!app.appName.isEmpty())
            ++read.appRows;
        read.textLength += Length(app.version) + Length(app.packageName) + Length(app.packageId);
        if (HasProgressMarker(line))
            read.progress = InstallProgressOfLine(line);
    });
    QObject::connect(&job, &ConsoleJob::partialLineChanged,
                     [&](const QString& partial) { read.textLength += partial.size() & 1; });
    qsizetype at = 0;
    for (const qsizetype chunk : chunks) {
        if (at >= text.size())
            break;
        const qsizetype n = std::min(chunk, text.size() - at);
        job.feed(QStringView(text).mid(at, n));
        at += n;
    }
    job.feed(QStringView(text).mid(at));
    job.end(exitCode);
    read.lines = lines.size();
    if (lines != SplitLines(job.output()))
        Fail("the chunked feed's lines differ from the whole output's");
    if (job.output() != text)
        Fail("the output differs from what was fed");

    const QString& output = job.output();
    const DeviceInfo info = ReadDeviceInfo(output);
    read.connected = info.connected;
    read.textLength += Length(info.deviceName) + Length(info.modelNumber) + Length(info.os) +
                       Length(info.version) + Length(info.pin) + Length(info.modelKey);
    for (const DeployAction action : {DeployAction::IsAppRunning, DeployAction::LaunchApp,
                                      DeployAction::TerminateApp, DeployAction::UninstallApp})
        read.textLength += Length(AppActionStatus(action, output));

    CommandResult result;
    result.output = output;
    result.exitCode = exitCode;
    result.timedOut = timedOut;
    result.silenceLimit = std::chrono::milliseconds(60000);
    // A folder without the runtime or the tool: a command that wrote nothing names what is missing.
    const QString nowhere = QStringLiteral("/nonexistent/kestrane");
    const CommandVerdict verdict = JudgeDeviceCommand(result, nowhere, nowhere);
    read.textLength += Length(verdict.errorText) + Length(verdict.reason) + verdict.details.size();
    if (!InstallSucceeded(verdict, read.progress)) {
        const CommandVerdict failure = InstallFailure(result, verdict);
        read.textLength += Length(
            InstallFailureLine(QStringLiteral("App"), QStringLiteral("app.bar"), failure.reason));
    }
    const DeviceFailure described = DescribeToolFailure(output, exitCode);
    read.textLength += Length(described.message) + Length(described.reason) +
                       Length(FailureKindName(described.kind));
    read.textLength += HasErrorLine(output) ? 1 : 0;
    read.textLength += Length(ToolOutputText(output));
    return read;
}

DeviceOutputRead ReadDeviceOutputBytes(std::string_view bytes) {
    // Header: exit code, silence flag and the manifest's ANSI page, then the seed of the chunks.
    unsigned char head[3] = {0, 0, 0};
    for (std::size_t i = 0; i < 3 && i < bytes.size(); ++i)
        head[i] = static_cast<unsigned char>(bytes[i]);
    bytes.remove_prefix(std::min<std::size_t>(3, bytes.size()));
    const int exitCode = (head[0] & 0x7F) == 0x7F ? -1 : (head[0] & 3);
    const bool timedOut = (head[0] & 0x80) != 0;
    const QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    // Chunk lengths from 1 to 64 (or to the whole text), drawn from the seed.
    std::vector<qsizetype> chunks;
    std::uint32_t state = (std::uint32_t(head[1]) << 8 | head[2]) * 2654435761u + 1;
    for (qsizetype covered = 0; covered < text.size();) {
        state = state * 1664525u + 1013904223u;
        const qsizetype n = (state >> 24) < 8 ? text.size() : 1 + qsizetype((state >> 16) % 64);
        chunks.push_back(n);
        covered += n;
    }
    DeviceOutputRead read = ReadDeviceOutput(text, chunks, exitCode, timedOut);
    const BarInfo manifest = ParseBarManifestText(
        bytes, (head[0] & 0x40) != 0 ? ZACodePage::Windows1252() : ZACodePage::Utf8());
    read.textLength += qsizetype(manifest.AppName.size() + manifest.AppVersion.size() +
                                 manifest.Author.size() + manifest.AppType.size());
    return read;
}

QString OneLongLine(qsizetype length) {
    const QString piece = QStringLiteral(
        "modelname::Z30 com.x.y::y,1.0,name::App,source::developer,Info: Progress 12%"
        "result::success Error: result::failure 881 no debug token devicepin::0x1 ");
    QString line;
    line.reserve(length + piece.size());
    while (line.size() < length)
        line += piece;
    line.truncate(length);
    return line;
}

QString ManyShortLines(qsizetype count) {
    const QString kinds[] = {
        QStringLiteral("modelname::Z30"),
        QStringLiteral("com.example.maps.wxyz5678::wxyz5678,2.1.0.3,source::appworld,name::Maps,"),
        QStringLiteral("Info: Progress 55%"),
        QStringLiteral("result::success"),
        QStringLiteral("Error: Cannot connect"),
        QStringLiteral("result::failure 881 no debug token found"),
        QStringLiteral("INFO: noise"),
    };
    QString text;
    text.reserve(count * 48);
    for (qsizetype i = 0; i < count; ++i) {
        text += kinds[i % std::size(kinds)];
        text += i % 2 == 0 ? QStringLiteral("\n") : QStringLiteral("\r\n");
    }
    return text;
}

std::vector<qsizetype> EvenChunks(qsizetype length, qsizetype size) {
    return std::vector<qsizetype>(static_cast<std::size_t>((length + size - 1) / size), size);
}

} // namespace kestrane
