#include "DeviceCommands.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace kestrane {

struct DeviceCommands::Command {
    ConsoleJob* job = nullptr;
    QList<QPointer<QWidget>> heldBack;
    bool hourglass = false;
    HandlerOrigin origin = HandlerOrigin::Click;
    Continuation whenDone;
    std::chrono::milliseconds silenceLimit{0};
    bool timedOut = false;
};

DeviceCommands::DeviceCommands(QWidget* window, std::shared_ptr<ConsoleRunner> runner)
    : window_(window), runner_(std::move(runner)) {}

DeviceCommands::~DeviceCommands() {
    // Deleting a job that still runs kills its process group and reaps it.
    for (const std::unique_ptr<Command>& command : commands_) {
        delete command->job;
        releaseAll(*command);
    }
}

ConsoleJob* DeviceCommands::run(const QString& command, const QString& workingDir,
                                const Settings& settings, Continuation whenDone) {
    // The job reports only from the event loop, so nothing is missed by starting it first. The
    // window is its parent only as a safety net: this object deletes it.
    ConsoleJob* job = runner_->start(command, workingDir, settings.feed, window_);
    auto running = std::make_unique<Command>();
    running->job = job;
    running->origin = CurrentHandlerOrigin();
    running->whenDone = std::move(whenDone);
    watchSilence(*running, settings.silenceLimit);
    for (QWidget* control : settings.heldBack) {
        hold(control);
        running->heldBack.append(control);
    }
    if (settings.hourglass) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        running->hourglass = true;
    }
    Command* raw = running.get();
    commands_.push_back(std::move(running));
    QObject::connect(job, &ConsoleJob::finished, job,
                     [this, raw](const QString& output) { finish(raw, output); });
    return job;
}

// The timer belongs to the job, so it goes with it; every piece of output starts it again.
void DeviceCommands::watchSilence(Command& command, std::chrono::milliseconds limit) {
    if (limit <= std::chrono::milliseconds::zero())
        return;
    command.silenceLimit = limit;
    auto* timer = new QTimer(command.job);
    timer->setSingleShot(true);
    timer->setInterval(limit);
    Command* raw = &command;
    QObject::connect(command.job, &ConsoleJob::outputReceived, timer,
                     qOverload<>(&QTimer::start));
    QObject::connect(command.job, &ConsoleJob::finished, timer, &QTimer::stop);
    QObject::connect(timer, &QTimer::timeout, command.job, [raw] {
        raw->timedOut = true;
        raw->job->stop();
    });
    timer->start();
}

void DeviceCommands::stopAll() {
    for (const std::unique_ptr<Command>& command : commands_) {
        command->whenDone = nullptr;
        command->job->stop();
    }
}

void DeviceCommands::finish(Command* command, const QString& output) {
    const auto found = std::find_if(commands_.begin(), commands_.end(),
                                    [command](const auto& each) { return each.get() == command; });
    if (found == commands_.end()) {
        return;
    }
    // Out of the list first: the continuation may start the next command, or the window may be
    // closed while a box of the continuation is open, and neither must count this one as running.
    const std::unique_ptr<Command> ended = std::move(*found);
    commands_.erase(found);
    // The job is in the middle of its own signal.
    ended->job->deleteLater();
    if (ended->whenDone) {
        CommandResult result;
        result.output = output;
        result.exitCode = ended->job->exitCode();
        result.timedOut = ended->timedOut;
        result.silenceLimit = ended->silenceLimit;
        RunHandler(window_, ended->origin, [&] { ended->whenDone(result); });
    }
    releaseAll(*ended);
    if (commands_.empty() && idleCallback_)
        idleCallback_();
}

void DeviceCommands::hold(QWidget* control) {
    if (holds_[control]++ == 0) {
        control->setEnabled(false);
    }
}

void DeviceCommands::release(const QPointer<QWidget>& control) {
    if (control.isNull()) {
        return;
    }
    const auto held = holds_.find(control.data());
    if (held == holds_.end() || --held.value() > 0) {
        return;
    }
    holds_.erase(held);
    control->setEnabled(true);
}

void DeviceCommands::releaseAll(Command& command) {
    for (const QPointer<QWidget>& control : std::as_const(command.heldBack)) {
        release(control);
    }
    command.heldBack.clear();
    if (std::exchange(command.hourglass, false)) {
        QApplication::restoreOverrideCursor();
    }
}

} // namespace kestrane
