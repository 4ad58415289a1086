#include "CommandHostRunner.h"

#include "ArgumentFile.h"
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
#include <exception>
#include <functional>

#include <unistd.h>

namespace kestrane {

class HostJob;

// One host runtime and the line of jobs waiting for it.
class CommandHost final : public QObject {
public:
    // ended: the host takes no more commands, because its runtime is gone or it was asked to end;
    // the jobs that never ran in it are handed back (to run in a new host, or as runs of their
    // own when refused says the host cannot be used here). gone: its runtime has ended (after
    // ended), so the host may be deleted.
    using Ended =
        std::function<void(CommandHost* host, std::deque<HostJob*> leftover, bool refused)>;
    using Gone = std::function<void(CommandHost* host)>;

    struct Timing {
        std::chrono::milliseconds idleLimit;
        std::chrono::milliseconds stopGrace;
    };

    CommandHost(const HostCommand& command, const QProcessEnvironment& environment, Timing timing,
                Ended ended, Gone gone);
    ~CommandHost() override;

    void enqueue(HostJob* job);
    // The job goes: out of the line, or, when it runs, with the runtime.
    void forget(HostJob* job);
    // Stops the running command with the whole runtime: SIGTERM, SIGKILL after the stop grace.
    void stopRunning();
    // Ends the runtime with everything it started, at once.
    void kill();
    bool runs(const HostJob* job) const { return running_ == job; }
    // The job runs, or is the next and nothing runs (the host starts for it).
    bool isTurnOf(const HostJob* job) const {
        return running_ == job || (!running_ && !queue_.empty() && queue_.front() == job);
    }
    pid_t group() const { return group_; }
    // It takes commands: neither ended nor asked to end.
    bool alive() const { return !ended_ && !leaving_; }
    bool gone() const { return gone_; }

private:
    void signalGroup(int signalNumber);
    void readFrames();
    void readErrors();
    void sendNext();
    // Tells the job whose turn it is now.
    void noteTurn();
    // Asks the runtime to end (its input closes), kills it after the stop grace, and hands back
    // the jobs still waiting.
    void leave();
    void handBack(bool refused);
    void processEnded();

    QProcess process_;
    QProcessEnvironment environment_;
    Timing timing_;
    std::unique_ptr<ArgumentFile> launchArguments_;
    CommandHostFrameReader reader_;
    // The runtime's standard error until the start mark, then its start notices.
    QByteArray errors_;
    QByteArray notices_;
    bool noticesKnown_ = false;
    QTimer idleTimer_;
    QTimer killTimer_;
    Ended ended_callback_;
    Gone gone_callback_;
    std::deque<HostJob*> queue_;
    HostJob* running_ = nullptr;
    pid_t group_ = 0;
    bool ready_ = false;
    bool refused_ = false;
    bool leaving_ = false;
    bool ended_ = false;
    bool gone_ = false;
};

// A command run by a host, or as a run of its own when no host can be used.
class HostJob final : public ConsoleJob {
public:
    HostJob(const HostCommand& command, QProcessEnvironment environment, Feed feed,
            const QByteArray& encoding, QObject* parent)
        : ConsoleJob(feed, parent), command_(command), environment_(std::move(environment)),
          out_(encoding.constData()), err_(encoding.constData()), ownRuns_(encoding) {
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
    // The environment a run of its own would have had: this program's when the job was started.
    const QProcessEnvironment& environment() const { return environment_; }
    void setHost(CommandHost* host) { host_ = host; }

    // The host's reading and writing counts for the command whose turn it is, also while the
    // host starts for it, as a runtime of its own counts its start.
    qint64 ioBytes() const override {
        if (ownRun_)
            return ownRun_->ioBytes();
        return host_ && host_->isTurnOf(this) ? ProcessGroupIoBytes(host_->group()) : -1;
    }

    bool waitsForItsTurn() const override {
        return !isFinished() && !ownRun_ && host_ && !host_->isTurnOf(this);
    }

    // Once: its host starts for it or runs it now.
    void beginTurn() {
        if (!std::exchange(turnBegun_, true))
            emit turnBegan();
    }

    void stop() override {
        if (isFinished() || stopRequested_)
            return;
        stopRequested_ = true;
        if (ownRun_) {
            ownRun_->stop();
        } else if (host_ && host_->runs(this)) {
            host_->stopRunning();
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
        beginTurn();
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
    QProcessEnvironment environment_;
    QStringDecoder out_;
    QStringDecoder err_;
    ProcessConsoleRunner ownRuns_;
    CommandHost* host_ = nullptr;
    ConsoleJob* ownRun_ = nullptr;
    qsizetype forwarded_ = 0;
    bool stopRequested_ = false;
    bool turnBegun_ = false;
};

namespace {

// The host's Java options go into an argument file beside the command's (never on a command
// line: they hold the private tool home's path): "java -Djava.security.manager=allow @FILE". The
// exit trap is allowed first, so that the options in the file have the last word. The shell
// stays (it waits for Java), as it does for a run of its own.
QString HostLaunchCommand(const QString& argumentFile) {
    QString quoted = QLatin1Char('@') + argumentFile;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QStringLiteral("trap wait EXIT\njava '") + CommandHostArguments(QString()).front() +
           QStringLiteral("' '") + quoted + QLatin1Char('\'');
}

QByteArray HostArgumentFileText(const HostCommand& command) {
    return JavaArgumentFileText(command.javaOptions + CommandHostArguments(command.appDir).mid(1));
}

QString KindOf(const HostCommand& command) {
    return (QStringList{command.workingDir, command.appDir} + command.javaOptions)
        .join(QLatin1Char('\n'));
}

} // namespace

CommandHost::CommandHost(const HostCommand& command, const QProcessEnvironment& environment,
                         Timing timing, Ended ended, Gone gone)
    : environment_(environment), timing_(timing), ended_callback_(std::move(ended)),
      gone_callback_(std::move(gone)) {
    idleTimer_.setSingleShot(true);
    idleTimer_.setInterval(timing_.idleLimit);
    connect(&idleTimer_, &QTimer::timeout, this, &CommandHost::leave);
    killTimer_.setSingleShot(true);
    connect(&killTimer_, &QTimer::timeout, this, &CommandHost::kill);
    connect(&process_, &QProcess::readyReadStandardOutput, this, &CommandHost::readFrames);
    connect(&process_, &QProcess::readyReadStandardError, this, &CommandHost::readErrors);
    connect(&process_, &QProcess::finished, this, &CommandHost::processEnded);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            processEnded();
    });
    try {
        launchArguments_ = std::make_unique<ArgumentFile>(
            QFileInfo(command.argumentFile).absolutePath(), HostArgumentFileText(command));
    } catch (const std::exception&) {
        // No host without its arguments: the commands run on their own.
        QMetaObject::invokeMethod(
            this, [this] { processEnded(); }, Qt::QueuedConnection);
        return;
    }
    const QString folder = QDir(command.workingDir).absolutePath();
    process_.setWorkingDirectory(folder);
    process_.setProcessEnvironment(environment_);
    process_.setChildProcessModifier([] { ::setsid(); });
    process_.start(QStringLiteral("/bin/sh"),
                   {QStringLiteral("-c"), HostLaunchCommand(launchArguments_->path())});
    group_ = static_cast<pid_t>(process_.processId());
    if (group_ > 0)
        CommandReaper::watch(group_);
}

// The program goes: a host that runs a command goes at once with it, as a run of its own would;
// an idle one is asked to end first, and killed when it has not ended within the stop grace.
CommandHost::~CommandHost() {
    QObject::disconnect(&process_, nullptr, this, nullptr);
    for (HostJob* job : queue_)
        job->setHost(nullptr);
    if (running_)
        running_->setHost(nullptr);
    if (process_.state() != QProcess::NotRunning) {
        if (ready_ && !running_) {
            process_.closeWriteChannel();
            process_.waitForFinished(static_cast<int>(timing_.stopGrace.count()));
        }
        kill();
        process_.waitForFinished(5000);
    }
    if (group_ > 0)
        CommandReaper::forget(group_);
}

void CommandHost::enqueue(HostJob* job) {
    job->setHost(this);
    queue_.push_back(job);
    sendNext();
    noteTurn();
}

void CommandHost::noteTurn() {
    if (ended_ || leaving_)
        return;
    if (running_)
        running_->beginTurn();
    else if (!queue_.empty())
        queue_.front()->beginTurn();
}

void CommandHost::forget(HostJob* job) {
    queue_.erase(std::remove(queue_.begin(), queue_.end(), job), queue_.end());
    if (running_ == job) {
        running_ = nullptr;
        kill();
    } else if (!running_ && queue_.empty()) {
        // A host still starting for the job that went has nothing left to do.
        leave();
    } else {
        noteTurn();
    }
}

void CommandHost::stopRunning() {
    if (process_.state() == QProcess::NotRunning || killTimer_.isActive())
        return;
    signalGroup(SIGTERM);
    killTimer_.start(timing_.stopGrace);
}

void CommandHost::kill() {
    signalGroup(SIGKILL);
}

// Right after the start the child may not have made its group yet; then it alone is signalled.
// Once the shell has ended, its group may still hold what it left behind.
void CommandHost::signalGroup(int signalNumber) {
    if (group_ <= 0 || gone_)
        return;
    if (::kill(-group_, signalNumber) != 0 && errno == ESRCH &&
        process_.state() != QProcess::NotRunning)
        ::kill(group_, signalNumber);
}

void CommandHost::sendNext() {
    if (!ready_ || !noticesKnown_ || running_ || ended_ || leaving_)
        return;
    if (queue_.empty()) {
        idleTimer_.start();
        return;
    }
    if (queue_.front()->environment() != environment_) {
        // A run of its own would see the new environment: so must the tool in a host.
        leave();
        return;
    }
    idleTimer_.stop();
    running_ = queue_.front();
    queue_.pop_front();
    // A runtime of its own would begin its standard error with them.
    if (!notices_.isEmpty())
        running_->receive(CommandHostFrame::Err, notices_);
    process_.write(QFile::encodeName(running_->command().argumentFile) + '\n');
    running_->beginTurn();
}

void CommandHost::leave() {
    if (ended_ || leaving_)
        return;
    leaving_ = true;
    idleTimer_.stop();
    process_.closeWriteChannel();
    killTimer_.start(timing_.stopGrace);
    handBack(false);
}

void CommandHost::handBack(bool refused) {
    std::deque<HostJob*> leftover = std::move(queue_);
    queue_.clear();
    for (HostJob* job : leftover)
        job->setHost(nullptr);
    // Last: the callback may start the next host for these jobs, or delete this one later.
    ended_callback_(this, std::move(leftover), refused);
}

void CommandHost::readErrors() {
    const QByteArray bytes = process_.readAllStandardError();
    if (noticesKnown_)
        return; // the host's own (the security manager's warning), never a command's
    errors_ += bytes;
    const qsizetype mark =
        errors_.indexOf(QByteArrayView(CommandHostStartMark, CommandHostStartMarkSize));
    if (mark < 0)
        return;
    notices_ = errors_.left(mark);
    errors_.clear();
    noticesKnown_ = true;
    sendNext();
}

void CommandHost::readFrames() {
    reader_.append(process_.readAllStandardOutput());
    CommandHostFrame frame;
    while (reader_.next(frame)) {
        switch (frame.tag) {
        case CommandHostFrame::Ready:
            ready_ = true;
            // The launcher has read its arguments long before.
            launchArguments_.reset();
            // The start mark came before Ready, on the other pipe: it is there to be read.
            readErrors();
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
        if (ended_ || leaving_)
            return;
    }
    if (reader_.broken())
        kill();
}

void CommandHost::processEnded() {
    if (gone_)
        return;
    idleTimer_.stop();
    killTimer_.stop();
    launchArguments_.reset();
    // What the runtime left behind in its group ends with it.
    kill();
    gone_ = true;
    if (group_ > 0)
        CommandReaper::forget(group_);
    if (!ended_ && !leaving_) {
        ended_ = true;
        const bool refused = refused_ || !ready_;
        if (HostJob* job = std::exchange(running_, nullptr))
            job->died();
        handBack(refused);
    }
    ended_ = true;
    gone_callback_(this);
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
    const QString folder =
        command.workingDir.isEmpty() ? QString() : QDir(command.workingDir).absolutePath();
    auto* job = new HostJob(command, ConsoleEnvironment(folder), feed, encoding, parent);
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
        // Asked to end, or in the middle of telling that it ended: kept until its runtime is gone.
        std::unique_ptr<CommandHost> old = std::move(found->second);
        hosts_.erase(found);
        if (old->gone())
            old.release()->deleteLater();
        else
            leaving_.push_back(std::move(old));
        found = hosts_.end();
    }
    if (found == hosts_.end()) {
        auto ended = [this, kind](CommandHost*, std::deque<HostJob*> leftover, bool refused) {
            if (refused && !refused_.contains(kind))
                refused_.append(kind);
            for (HostJob* each : leftover)
                enqueue(each);
        };
        auto gone = [this](CommandHost* host) {
            const auto it = std::find_if(leaving_.begin(), leaving_.end(),
                                         [host](const auto& each) { return each.get() == host; });
            if (it != leaving_.end()) {
                // It is in the middle of its own signal.
                it->release()->deleteLater();
                leaving_.erase(it);
            }
        };
        found = hosts_
                    .emplace(key, std::make_unique<CommandHost>(
                                      command, job->environment(),
                                      CommandHost::Timing{idleLimit_, stopGrace_}, ended, gone))
                    .first;
    }
    // Last: the host may hand the job straight back (to a new host), which changes hosts_.
    found->second->enqueue(job);
}

bool CommandHostEnabled() {
    return qEnvironmentVariable("KESTRANE_COMMAND_HOST") != QLatin1String("0");
}

} // namespace kestrane
