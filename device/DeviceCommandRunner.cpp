#include "DeviceCommandRunner.h"

#include "ArgumentFile.h"
#include "BarInfo.h"
#include "DeployToolHome.h"

#include <QTimer>

#include <algorithm>
#include <utility>

namespace kestrane {
namespace {

// The job of a command that is not sent: it runs nothing and finishes from the event loop, as a
// job that ran would, so that its owner handles it like any other.
class WithheldJob final : public ConsoleJob {
public:
    WithheldJob(Feed feed, QObject* parent) : ConsoleJob(feed, parent) {
        QTimer::singleShot(0, this, [this] { complete(-1); });
    }
    void stop() override {}
};

} // namespace

struct DeviceCommandRunner::Command {
    ConsoleJob* job = nullptr;
    Continuation whenDone;
    std::function<void()> whenEnded;
    std::chrono::milliseconds silenceLimit{0};
    bool timedOut = false;
    // A deploy tool's arguments, while it runs.
    std::unique_ptr<ArgumentFile> argumentFile;
    QString device;
    QString toolHome;
    // Not sent: why (see CommandResult::withheld).
    QString withheld;
};

DeviceCommandRunner::DeviceCommandRunner(std::shared_ptr<ConsoleRunner> runner, QObject* jobParent)
    : runner_(std::move(runner)), jobParent_(jobParent) {
    if (CommandHostEnabled() && dynamic_cast<ProcessConsoleRunner*>(runner_.get()) != nullptr)
        hosts_ = std::make_unique<CommandHostRunner>();
}

DeviceCommandRunner::~DeviceCommandRunner() {
    // Deleting a job that still runs kills its process group and reaps it.
    for (const std::unique_ptr<Command>& command : commands_) {
        delete command->job;
        command->argumentFile.reset();
        if (command->whenEnded)
            command->whenEnded();
    }
    for (const std::unique_ptr<Command>& command : commands_)
        RemoveEmptyLoginEntry(command->toolHome, command->device);
}

ConsoleJob* DeviceCommandRunner::run(const DeployInvocation& invocation, const QString& workingDir,
                                     const Settings& settings, Continuation whenDone) {
    if (loginAttempts_ && !invocation.device.isEmpty() &&
        !loginAttempts_->maySend(invocation.device)) {
        auto withheld = std::make_unique<Command>();
        withheld->job = new WithheldJob(settings.feed, jobParent_);
        withheld->whenDone = std::move(whenDone);
        withheld->whenEnded = settings.whenEnded;
        withheld->device = invocation.device;
        withheld->withheld = loginAttempts_->withheldMessage(invocation.device);
        Command* raw = withheld.get();
        commands_.push_back(std::move(withheld));
        QObject::connect(raw->job, &ConsoleJob::finished, raw->job,
                         [this, raw](const QString& output) { finish(raw, output); });
        return raw->job;
    }
    auto argumentFile = std::make_unique<ArgumentFile>(
        QString::fromStdString(GetTempDirectory()), JavaArgumentFileText(invocation.toolArguments));
    const QString ownRun = LauncherCommand(invocation, argumentFile->path());
    ConsoleJob* job = nullptr;
    if (hosts_) {
        const HostCommand hosted{workingDir,        invocation.javaOptions, invocation.appDir,
                                 invocation.device, argumentFile->path(),   ownRun};
        job =
            track(hosts_->start(hosted, settings.feed, jobParent_), settings, std::move(whenDone));
    } else {
        job = run(ownRun, workingDir, settings, std::move(whenDone));
    }
    Command& command = *commands_.back();
    command.argumentFile = std::move(argumentFile);
    command.device = invocation.device;
    command.toolHome = invocation.toolHome;
    return job;
}

ConsoleJob* DeviceCommandRunner::run(const QString& command, const QString& workingDir,
                                     const Settings& settings, Continuation whenDone) {
    // The job reports only from the event loop, so nothing is missed by starting it first.
    return track(runner_->start(command, workingDir, settings.feed, jobParent_), settings,
                 std::move(whenDone));
}

ConsoleJob* DeviceCommandRunner::track(ConsoleJob* job, const Settings& settings,
                                       Continuation whenDone) {
    auto running = std::make_unique<Command>();
    running->job = job;
    running->whenDone = std::move(whenDone);
    running->whenEnded = settings.whenEnded;
    watchSilence(*running, settings);
    Command* raw = running.get();
    commands_.push_back(std::move(running));
    QObject::connect(job, &ConsoleJob::finished, job,
                     [this, raw](const QString& output) { finish(raw, output); });
    return job;
}

// The timers belong to the job, so they go with it; every piece of output starts the silence
// timer again, and so does a change of the command's I/O count when that counts.
void DeviceCommandRunner::watchSilence(Command& command, const Settings& settings) {
    const std::chrono::milliseconds limit = settings.silenceLimit;
    if (limit <= std::chrono::milliseconds::zero())
        return;
    command.silenceLimit = limit;
    auto* timer = new QTimer(command.job);
    timer->setSingleShot(true);
    timer->setInterval(limit);
    Command* raw = &command;
    QObject::connect(command.job, &ConsoleJob::outputReceived, timer, qOverload<>(&QTimer::start));
    QObject::connect(command.job, &ConsoleJob::finished, timer, &QTimer::stop);
    QObject::connect(timer, &QTimer::timeout, command.job, [raw] {
        raw->timedOut = true;
        raw->job->stop();
    });
    // A command waiting behind another of its device's (in its command host) is not silent: its
    // limit counts from its turn.
    if (command.job->waitsForItsTurn())
        QObject::connect(command.job, &ConsoleJob::turnBegan, timer, qOverload<>(&QTimer::start));
    else
        timer->start();
    if (!settings.ioCountsAsActivity)
        return;
    // Looked at a few times per limit, so that a command that moves data is never stopped.
    auto* poll = new QTimer(command.job);
    poll->setInterval(
        std::clamp(limit / 4, std::chrono::milliseconds(50), std::chrono::milliseconds(5000)));
    auto lastCount = std::make_shared<qint64>(-1);
    QObject::connect(poll, &QTimer::timeout, command.job, [raw, timer, lastCount] {
        const qint64 count = raw->job->ioBytes();
        if (count >= 0 && count != *lastCount && *lastCount >= 0)
            timer->start();
        *lastCount = count;
    });
    QObject::connect(command.job, &ConsoleJob::finished, poll, &QTimer::stop);
    poll->start();
}

// A tool stopped while it connected leaves an empty login entry behind, which would slow down
// the next command to its device; one that another command is using now stays.
void DeviceCommandRunner::forgetStoppedLogin(const Command& command) {
    if (command.device.isEmpty())
        return;
    const bool deviceBusy = std::any_of(commands_.begin(), commands_.end(), [&](const auto& each) {
        return each->device == command.device;
    });
    if (!deviceBusy)
        RemoveEmptyLoginEntry(command.toolHome, command.device);
}

void DeviceCommandRunner::stopAll() {
    for (const std::unique_ptr<Command>& command : commands_) {
        command->whenDone = nullptr;
        command->job->stop();
    }
}

void DeviceCommandRunner::finish(Command* command, const QString& output) {
    const auto found = std::find_if(commands_.begin(), commands_.end(),
                                    [command](const auto& each) { return each.get() == command; });
    if (found == commands_.end())
        return;
    // Out of the list first: the continuation may start the next command, or the front end may
    // be closed meanwhile, and neither must count this one as running.
    const std::unique_ptr<Command> ended = std::move(*found);
    commands_.erase(found);
    // The job is in the middle of its own signal.
    ended->job->deleteLater();
    ended->argumentFile.reset();
    if (ended->withheld.isEmpty()) {
        if (ended->job->exitCode() == -1)
            forgetStoppedLogin(*ended);
        // What the login came to counts also for a command that was stopped or went silent.
        if (!ended->device.isEmpty() && (loginAttempts_ || loginWatch_)) {
            const LoginOutcome outcome = ReadLoginOutcome(output);
            if (loginAttempts_)
                loginAttempts_->record(ended->device, outcome);
            if (loginWatch_)
                loginWatch_(ended->device, outcome);
        }
    }
    if (ended->whenDone) {
        CommandResult result;
        result.output = output;
        result.exitCode = ended->job->exitCode();
        result.timedOut = ended->timedOut;
        result.silenceLimit = ended->silenceLimit;
        result.withheld = ended->withheld;
        ended->whenDone(result);
    }
    if (ended->whenEnded)
        ended->whenEnded();
    if (commands_.empty() && idleCallback_)
        idleCallback_();
}

} // namespace kestrane
