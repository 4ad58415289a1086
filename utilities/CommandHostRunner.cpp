#include "CommandHostRunner.h"

#include "CommandHostFrames.h"
#include "CommandReaper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <deque>
#include <functional>

#include <unistd.h>

namespace kestrane {

class HostJob;

// One host runtime and the line of jobs waiting for it.
class CommandHost final : public QObject {
public:
    // ended: the runtime is gone; the jobs that never ran in it are handed back (to run in a new
    // host, or as runs of their own when refused says the host cannot be used here).
    using Ended = std::function<void(std::deque<HostJob*> leftover, bool refused)>;

    CommandHost(const HostCommand& command, Ended ended);
    ~CommandHost() override;

    void enqueue(HostJob* job);
    // The job goes: out of the line, or, when it runs, with the runtime.
    void forget(HostJob* job);
    // Ends the runtime with everything it started.
    void kill();
    bool runs(const HostJob* job) const { return running_ == job; }
    pid_t group() const { return group_; }
    bool alive() const { return !ended_; }

private:
    void readFrames();
    void sendNext();
    void processEnded();

    QProcess process_;
    CommandHostFrameReader reader_;
    Ended ended_callback_;
    std::deque<HostJob*> queue_;
    HostJob* running_ = nullptr;
    pid_t group_ = 0;
    bool ready_ = false;
    bool refused_ = false;
    bool ended_ = false;
};

// A command run by a host, or as a run of its own when no host can be used.
class HostJob final : public ConsoleJob {
public:
    HostJob(const HostCommand& command, Feed feed, const QByteArray& encoding, QObject* parent)
        : ConsoleJob(feed, parent), command_(command), out_(encoding.constData()),
          err_(encoding.constData()), ownRuns_(encoding) {
        if (!out_.isValid()) {
            out_ = QStringDecoder(QStringConverter::Utf8);
            err_ = QStringDecoder(QStringConverter::Utf8);
        }
    }

    ~HostJob() override {
        if (host_)
            host_->forget(this);
    }

    const HostCommand& command() const { return command_; }
    void setHost(CommandHost* host) { host_ = host; }

    qint64 ioBytes() const override {
        if (ownRun_)
            return ownRun_->ioBytes();
        return host_ && host_->runs(this) ? ProcessGroupIoBytes(host_->group()) : -1;
    }

    void stop() override {
        if (isFinished() || stopRequested_)
            return;
        stopRequested_ = true;
        if (ownRun_) {
            ownRun_->stop();
        } else if (host_ && host_->runs(this)) {
            host_->kill();
        } else {
            if (host_)
                host_->forget(this);
            host_ = nullptr;
            endLater(-1);
        }
    }

    void receive(char tag, const QByteArray& bytes) {
        QString text = tag == CommandHostFrame::Err ? err_.decode(bytes) : out_.decode(bytes);
        text.remove(QChar(0));
        receiveText(text);
    }

    void exited(int code) {
        host_ = nullptr;
        complete(stopRequested_ ? -1 : code);
    }

    // The runtime died while this job ran in it: as a killed run of its own, -1.
    void died() {
        host_ = nullptr;
        complete(-1);
    }

    // No host here: the command runs on its own, as it always did.
    void runOnItsOwn() {
        host_ = nullptr;
        if (stopRequested_) {
            endLater(-1);
            return;
        }
        ownRun_ = ownRuns_.start(command_.ownRunCommand, command_.workingDir, feed(), this);
        connect(ownRun_, &ConsoleJob::outputReceived, this, [this] {
            receiveText(QStringView(ownRun_->output()).mid(forwarded_));
            forwarded_ = ownRun_->output().size();
        });
        connect(ownRun_, &ConsoleJob::finished, this, [this] {
            receiveText(QStringView(ownRun_->output()).mid(forwarded_));
            forwarded_ = ownRun_->output().size();
            complete(ownRun_->exitCode());
        });
    }

private:
    void endLater(int code) {
        QMetaObject::invokeMethod(
            this, [this, code] { complete(code); }, Qt::QueuedConnection);
    }

    HostCommand command_;
    QStringDecoder out_;
    QStringDecoder err_;
    ProcessConsoleRunner ownRuns_;
    CommandHost* host_ = nullptr;
    ConsoleJob* ownRun_ = nullptr;
    qsizetype forwarded_ = 0;
    bool stopRequested_ = false;
};

namespace {

// java, the exit trap allowed, the tool's options (which come later, so they have the last
// word), the host.
QString HostLaunchCommand(const HostCommand& command) {
    const QStringList host = CommandHostArguments(command.appDir);
    QStringList words{QStringLiteral("exec"), QStringLiteral("java")};
    for (const QString& option : host.mid(0, 1) + command.javaOptions + host.mid(1)) {
        QString quoted = option;
        quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
        words.append(QLatin1Char('\'') + quoted + QLatin1Char('\''));
    }
    return words.join(QLatin1Char(' '));
}

QString KindOf(const HostCommand& command) {
    return (QStringList{command.workingDir, command.appDir} + command.javaOptions)
        .join(QLatin1Char('\n'));
}

} // namespace

CommandHost::CommandHost(const HostCommand& command, Ended ended)
    : ended_callback_(std::move(ended)) {
    connect(&process_, &QProcess::readyReadStandardOutput, this, &CommandHost::readFrames);
    connect(&process_, &QProcess::finished, this, &CommandHost::processEnded);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            processEnded();
    });
    const QString folder = QDir(command.workingDir).absolutePath();
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.setWorkingDirectory(folder);
    process_.setProcessEnvironment(ConsoleEnvironment(folder));
    process_.setChildProcessModifier([] { ::setsid(); });
    process_.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), HostLaunchCommand(command)});
    group_ = static_cast<pid_t>(process_.processId());
    if (group_ > 0)
        CommandReaper::watch(group_);
}

CommandHost::~CommandHost() {
    QObject::disconnect(&process_, nullptr, this, nullptr);
    for (HostJob* job : queue_)
        job->setHost(nullptr);
    if (running_)
        running_->setHost(nullptr);
    kill();
    if (process_.state() != QProcess::NotRunning)
        process_.waitForFinished(5000);
    if (group_ > 0)
        CommandReaper::forget(group_);
}

void CommandHost::enqueue(HostJob* job) {
    job->setHost(this);
    queue_.push_back(job);
    sendNext();
}

void CommandHost::forget(HostJob* job) {
    queue_.erase(std::remove(queue_.begin(), queue_.end(), job), queue_.end());
    if (running_ == job) {
        running_ = nullptr;
        kill();
    }
}

// Right after the start the child may not have made its group yet; then it alone is killed.
void CommandHost::kill() {
    if (group_ <= 0 || process_.state() == QProcess::NotRunning)
        return;
    if (::kill(-group_, SIGKILL) != 0 && errno == ESRCH)
        ::kill(group_, SIGKILL);
}

void CommandHost::sendNext() {
    if (!ready_ || running_ || queue_.empty() || ended_)
        return;
    running_ = queue_.front();
    queue_.pop_front();
    process_.write(QFile::encodeName(running_->command().argumentFile) + '\n');
}

void CommandHost::readFrames() {
    reader_.append(process_.readAllStandardOutput());
    CommandHostFrame frame;
    while (reader_.next(frame)) {
        switch (frame.tag) {
        case CommandHostFrame::Ready:
            ready_ = true;
            sendNext();
            break;
        case CommandHostFrame::Refused:
            refused_ = true;
            break;
        case CommandHostFrame::Out:
        case CommandHostFrame::Err:
            if (running_)
                running_->receive(frame.tag, frame.payload);
            break;
        case CommandHostFrame::Exit:
            if (HostJob* job = std::exchange(running_, nullptr))
                job->exited(frame.exitCode());
            sendNext();
            break;
        default:
            break;
        }
        if (ended_)
            return;
    }
    if (reader_.broken())
        kill();
}

void CommandHost::processEnded() {
    if (ended_)
        return;
    ended_ = true;
    // What the runtime left behind in its group ends with it.
    kill();
    if (group_ > 0)
        CommandReaper::forget(group_);
    if (process_.state() == QProcess::NotRunning)
        reader_.append(process_.readAllStandardOutput());
    const bool refused = refused_ || !ready_;
    if (HostJob* job = std::exchange(running_, nullptr))
        job->died();
    std::deque<HostJob*> leftover = std::move(queue_);
    queue_.clear();
    for (HostJob* job : leftover)
        job->setHost(nullptr);
    ended_callback_(std::move(leftover), refused);
}

CommandHostRunner::CommandHostRunner(const QByteArray& encoding) : encoding_(encoding) {}

CommandHostRunner::~CommandHostRunner() = default;

int CommandHostRunner::hostCount() const {
    return static_cast<int>(std::count_if(hosts_.begin(), hosts_.end(),
                                          [](const auto& each) { return each.second->alive(); }));
}

QList<qint64> CommandHostRunner::hostProcessIds() const {
    QList<qint64> ids;
    for (const auto& [key, host] : hosts_)
        if (host->alive())
            ids.append(host->group());
    return ids;
}

ConsoleJob* CommandHostRunner::start(const HostCommand& command, ConsoleJob::Feed feed,
                                     QObject* parent) {
    const QByteArray encoding = encoding_.isEmpty() ? LocaleConsoleEncoding() : encoding_;
    auto* job = new HostJob(command, feed, encoding, parent);
    const QString folder =
        command.workingDir.isEmpty() ? QString() : QDir(command.workingDir).absolutePath();
    if (!UsableConsoleFolder(folder) || !QFileInfo(CommandHostJarPath(command.appDir)).isFile() ||
        command.argumentFile.contains(QLatin1Char('\n')))
        job->runOnItsOwn();
    else
        enqueue(job);
    return job;
}

void CommandHostRunner::enqueue(HostJob* job) {
    const HostCommand& command = job->command();
    const QString kind = KindOf(command);
    if (refused_.contains(kind)) {
        job->runOnItsOwn();
        return;
    }
    const QString key = kind + QLatin1Char('\n') + command.device;
    auto found = hosts_.find(key);
    if (found != hosts_.end() && !found->second->alive()) {
        // It may be in the middle of telling that it ended.
        found->second.release()->deleteLater();
        hosts_.erase(found);
        found = hosts_.end();
    }
    if (found == hosts_.end()) {
        auto ended = [this, kind](std::deque<HostJob*> leftover, bool refused) {
            if (refused && !refused_.contains(kind))
                refused_.append(kind);
            for (HostJob* each : leftover)
                enqueue(each);
        };
        found = hosts_.emplace(key, std::make_unique<CommandHost>(command, ended)).first;
    }
    found->second->enqueue(job);
}

bool CommandHostEnabled() {
    return qEnvironmentVariable("KESTRANE_COMMAND_HOST") == QLatin1String("1");
}

} // namespace kestrane
