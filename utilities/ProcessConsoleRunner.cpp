#include "CommandReaper.h"
#include "ConsoleRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <string>

#include <langinfo.h>
#include <unistd.h>

namespace kestrane {

namespace {

const QString Shell = QStringLiteral("/bin/sh");

// The search path the shell uses when PATH is not set at all.
QString defaultSearchPath() {
    std::string path(confstr(_CS_PATH, nullptr, 0), '\0');
    if (path.empty())
        return QStringLiteral("/usr/bin:/bin");
    confstr(_CS_PATH, path.data(), path.size());
    return QString::fromLocal8Bit(path.c_str());
}

} // namespace

// The child's environment: ours, with the working folder first on PATH.
QProcessEnvironment ConsoleEnvironment(const QString& workingFolder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString pathName = QStringLiteral("PATH");
    const QString path =
        environment.contains(pathName) ? environment.value(pathName) : defaultSearchPath();
    environment.insert(pathName, workingFolder + QLatin1Char(':') + path);
    return environment;
}

bool UsableConsoleFolder(const QString& folder) {
    return !folder.isEmpty() && !folder.contains(QLatin1Char(':')) && QFileInfo(folder).isDir();
}

namespace {

// The shell waits for the command's own background children before it ends, so that what they
// write still arrives; its exit code stays the command's.
QString withBackgroundChildrenAwaited(const QString& command) {
    return QStringLiteral("trap wait EXIT\n") + command;
}

// A decoder that can tell a character cut off at the very end of the output.
class ConsoleDecoder : public QStringDecoder {
public:
    explicit ConsoleDecoder(const QByteArray& encoding) : QStringDecoder(encoding.constData()) {
        if (!isValid())
            static_cast<QStringDecoder&>(*this) = QStringDecoder(QStringConverter::Utf8);
    }
    // The replacement character when bytes of an unfinished character are pending.
    QString flush() {
        if (state.remainingChars == 0)
            return {};
        state.reset();
        return QString(QChar::ReplacementCharacter);
    }
};

// One command run by /bin/sh in a process group of its own.
class ProcessConsoleJob final : public ConsoleJob {
public:
    ProcessConsoleJob(Feed feed, const QByteArray& encoding, std::chrono::milliseconds stopGrace,
                      QObject* parent)
        : ConsoleJob(feed, parent), decoder_(encoding), stopGrace_(stopGrace) {
        connect(&process_, &QProcess::readyReadStandardOutput, this,
                &ProcessConsoleJob::readOutput);
        connect(&process_, &QProcess::finished, this, &ProcessConsoleJob::processEnded);
        connect(&process_, &QProcess::errorOccurred, this, &ProcessConsoleJob::processFailed);
        killTimer_.setSingleShot(true);
        connect(&killTimer_, &QTimer::timeout, this, [this] { signalGroup(SIGKILL); });
    }

    // An owner that goes away takes the command with it: no grace, nobody waits for its answer.
    ~ProcessConsoleJob() override {
        QObject::disconnect(&process_, nullptr, this, nullptr);
        if (process_.state() == QProcess::NotRunning && !killTimer_.isActive())
            return;
        signalGroup(SIGKILL);
        // Reaps the killed interpreter, which takes no time after SIGKILL.
        process_.waitForFinished(5000);
        CommandReaper::forget(group_);
    }

    void launch(const QString& command, const QString& workingDir) {
        const QString folder = workingDir.isEmpty() ? QString() : QDir(workingDir).absolutePath();
        if (!UsableConsoleFolder(folder)) {
            completeLater();
            return;
        }
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardInputFile(QProcess::nullDevice());
        process_.setWorkingDirectory(folder);
        process_.setProcessEnvironment(ConsoleEnvironment(folder));
        process_.setChildProcessModifier([] { ::setsid(); });
        process_.start(Shell, {QStringLiteral("-c"), withBackgroundChildrenAwaited(command)});
        group_ = static_cast<pid_t>(process_.processId());
        CommandReaper::watch(group_);
    }

    qint64 ioBytes() const override {
        return group_ > 0 && !isFinished() ? ProcessGroupIoBytes(group_) : -1;
    }

    void stop() override {
        if (isFinished() || stopRequested_)
            return;
        stopRequested_ = true;
        if (process_.state() == QProcess::NotRunning)
            return;
        signalGroup(SIGTERM);
        killTimer_.start(stopGrace_);
    }

private:
    void completeLater() {
        QMetaObject::invokeMethod(
            this, [this] { complete(-1); }, Qt::QueuedConnection);
    }

    void readOutput() {
        const QByteArray bytes = process_.readAllStandardOutput();
        if (bytes.isEmpty())
            return;
        QString text = decoder_.decode(bytes);
        text.remove(QChar(0));
        receiveText(text);
    }

    void processEnded(int exitCode, QProcess::ExitStatus status) {
        readOutput();
        receiveText(decoder_.flush());
        // What the command left behind in its group (a child that detached from the shell) ends
        // with it.
        killTimer_.stop();
        signalGroup(SIGKILL);
        CommandReaper::forget(group_);
        const bool endedOnItsOwn = status == QProcess::NormalExit && !stopRequested_;
        complete(endedOnItsOwn ? exitCode : -1);
    }

    void processFailed(QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            completeLater();
    }

    // Signals the command's process group. Right after the start the child may not have made its
    // group yet; then the child alone is signalled, before it can start anything.
    void signalGroup(int signalNumber) {
        if (group_ <= 0)
            return;
        if (::kill(-group_, signalNumber) != 0 && errno == ESRCH &&
            process_.state() != QProcess::NotRunning)
            ::kill(group_, signalNumber);
    }

    QProcess process_;
    ConsoleDecoder decoder_;
    QTimer killTimer_;
    std::chrono::milliseconds stopGrace_;
    pid_t group_ = 0;
    bool stopRequested_ = false;
};

} // namespace

namespace {

// The process group of /proc/PID/stat: the fifth field, counted after the command name, which
// ends at the last ')' (the name itself may hold blanks and parentheses).
pid_t GroupOfStat(const QByteArray& stat) {
    const qsizetype nameEnd = stat.lastIndexOf(')');
    if (nameEnd < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(nameEnd + 2).split(' ');
    return fields.size() > 2 ? static_cast<pid_t>(fields[2].toLongLong()) : -1;
}

qint64 IoCount(const QByteArray& io, const QByteArray& key) {
    const qsizetype at = io.indexOf(key);
    if (at < 0)
        return 0;
    const qsizetype end = io.indexOf('\n', at);
    return io.mid(at + key.size(), end < 0 ? -1 : end - at - key.size()).trimmed().toLongLong();
}

QByteArray ReadSmallFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ? file.read(4096) : QByteArray();
}

} // namespace

qint64 ProcessGroupIoBytes(pid_t group) {
    qint64 total = -1;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        if (entry.isEmpty() || !entry.front().isDigit())
            continue;
        const QString folder = QStringLiteral("/proc/") + entry;
        if (GroupOfStat(ReadSmallFile(folder + QStringLiteral("/stat"))) != group)
            continue;
        const QByteArray io = ReadSmallFile(folder + QStringLiteral("/io"));
        if (io.isEmpty())
            continue;
        total = std::max<qint64>(total, 0) + IoCount(io, "rchar:") + IoCount(io, "wchar:");
    }
    return total;
}

QByteArray LocaleConsoleEncoding() {
    const QByteArray codeset(nl_langinfo(CODESET));
    if (codeset.isEmpty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" ||
        codeset == "US-ASCII")
        return QByteArrayLiteral("UTF-8");
    return codeset;
}

ProcessConsoleRunner::ProcessConsoleRunner(const QByteArray& encoding) : encoding_(encoding) {}

ConsoleJob* ProcessConsoleRunner::start(const QString& command, const QString& workingDir,
                                        ConsoleJob::Feed feed, QObject* parent) {
    const QByteArray encoding = encoding_.isEmpty() ? LocaleConsoleEncoding() : encoding_;
    auto* job = new ProcessConsoleJob(feed, encoding, stopGrace_, parent);
    job->launch(command, workingDir);
    return job;
}

} // namespace kestrane
