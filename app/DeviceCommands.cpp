#include "DeviceCommands.h"

#include <QApplication>

#include <utility>

namespace kestrane {

// What one command holds while it runs.
struct DeviceCommands::Held {
    QList<QPointer<QWidget>> controls;
    bool hourglass = false;
};

DeviceCommands::DeviceCommands(QWidget* window, std::shared_ptr<ConsoleRunner> runner)
    : window_(window), commands_(std::make_unique<DeviceCommandRunner>(std::move(runner), window)) {}

DeviceCommands::~DeviceCommands() {
    // Ends every command still running; each gives back what it holds.
    commands_.reset();
}

template <class Start>
ConsoleJob* DeviceCommands::start(const Settings& settings, Continuation whenDone,
                                  Start startCommand) {
    DeviceCommandRunner::Settings core;
    core.feed = settings.feed;
    core.silenceLimit = settings.silenceLimit;
    core.ioCountsAsActivity = settings.ioCountsAsActivity;
    auto held = std::make_shared<Held>();
    core.whenEnded = [this, held] { releaseAll(*held); };
    DeviceCommandRunner::Continuation continuation;
    if (whenDone) {
        continuation = [this, origin = CurrentHandlerOrigin(),
                        whenDone = std::move(whenDone)](const CommandResult& result) {
            RunHandler(window_, origin, [&] { whenDone(result); });
        };
    }
    ConsoleJob* job = startCommand(core, std::move(continuation));
    for (QWidget* control : settings.heldBack) {
        hold(control);
        held->controls.append(control);
    }
    if (settings.hourglass) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        held->hourglass = true;
    }
    return job;
}

ConsoleJob* DeviceCommands::run(const DeployInvocation& invocation, const QString& workingDir,
                                const Settings& settings, Continuation whenDone) {
    return start(settings, std::move(whenDone),
                 [&](const DeviceCommandRunner::Settings& core, Continuation continuation) {
                     return commands_->run(invocation, workingDir, core, std::move(continuation));
                 });
}

ConsoleJob* DeviceCommands::run(const QString& command, const QString& workingDir,
                                const Settings& settings, Continuation whenDone) {
    return start(settings, std::move(whenDone),
                 [&](const DeviceCommandRunner::Settings& core, Continuation continuation) {
                     return commands_->run(command, workingDir, core, std::move(continuation));
                 });
}

StartDeviceCommand DeviceCommands::starter(const QString& workingDir, QList<QWidget*> heldBack,
                                           bool hourglass) {
    return [this, workingDir, heldBack, hourglass](const DeployInvocation& invocation,
                                                   const DeviceCommandRunner::Settings& core,
                                                   Continuation whenDone) {
        Settings settings;
        settings.feed = core.feed;
        settings.silenceLimit = core.silenceLimit;
        settings.ioCountsAsActivity = core.ioCountsAsActivity;
        settings.heldBack = heldBack;
        settings.hourglass = hourglass;
        return run(invocation, workingDir, settings, std::move(whenDone));
    };
}

void DeviceCommands::hold(QWidget* control) {
    if (holds_[control]++ == 0)
        control->setEnabled(false);
}

void DeviceCommands::release(const QPointer<QWidget>& control) {
    if (control.isNull())
        return;
    const auto held = holds_.find(control.data());
    if (held == holds_.end() || --held.value() > 0)
        return;
    holds_.erase(held);
    control->setEnabled(true);
}

void DeviceCommands::releaseAll(Held& held) {
    for (const QPointer<QWidget>& control : std::as_const(held.controls))
        release(control);
    held.controls.clear();
    if (std::exchange(held.hourglass, false))
        QApplication::restoreOverrideCursor();
}

} // namespace kestrane
