#pragma once

#include "CommandResult.h"
#include "ConsoleRunner.h"
#include "DeployCommand.h"
#include "DeviceCommandRunner.h"
#include "HandlerGuard.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>

namespace kestrane {

// The window's side of its device commands (DeviceCommandRunner runs them): while a command
// runs, the controls it holds back are disabled (a control held by two commands comes back when
// both have ended) and, if asked for, the hourglass cursor shows. When the command ends, its
// continuation receives the output through the handler guard, with the origin of the handler
// that started the command; after that its controls are enabled again and the cursor restored,
// exactly once, on every path.
//
// stopAll() ends every running command with everything it started and drops their results;
// destroying this object kills whatever still runs, so no command outlives the window.
class DeviceCommands {
public:
    struct Settings {
        ConsoleJob::Feed feed = ConsoleJob::Feed::WholeText;
        // Disabled while the command runs, enabled again when it has ended.
        QList<QWidget*> heldBack;
        // The hourglass cursor shows until the continuation has returned.
        bool hourglass = false;
        // Stopped when it writes nothing for this long; zero for no limit.
        std::chrono::milliseconds silenceLimit{0};
        // The command's reading and writing also counts as activity.
        bool ioCountsAsActivity = false;
    };
    using Continuation = DeviceCommandRunner::Continuation;
    using SilenceLimits = DeviceCommandRunner::SilenceLimits;

    DeviceCommands(QWidget* window, std::shared_ptr<ConsoleRunner> runner);
    ~DeviceCommands();
    DeviceCommands(const DeviceCommands&) = delete;
    DeviceCommands& operator=(const DeviceCommands&) = delete;

    // Starts the deploy tool as invocation says, in workingDir (the Java runtime's folder). The
    // job is returned for live output (its line signals); it belongs to this object and must not
    // be deleted by the caller. Throws Error when the argument file cannot be written.
    ConsoleJob* run(const DeployInvocation& invocation, const QString& workingDir,
                    const Settings& settings, Continuation whenDone);
    // Starts a console command as it stands.
    ConsoleJob* run(const QString& command, const QString& workingDir, const Settings& settings,
                    Continuation whenDone);

    // What the device operations of the library start their commands with: run() with the
    // library's settings and these controls held back (and the hourglass when asked for).
    StartDeviceCommand starter(const QString& workingDir, QList<QWidget*> heldBack, bool hourglass);

    // True while any command started here has not yet ended (also one that is being stopped).
    bool isRunning() const { return commands_->isRunning(); }

    // Stops every running command (its whole process group); their continuations never run.
    void stopAll() { commands_->stopAll(); }

    // The limits handlers put in their settings; tests shorten them.
    SilenceLimits& silenceLimits() { return commands_->silenceLimits(); }

    // The failed password attempts the commands keep and obey (DeviceCommandRunner).
    void setLoginAttempts(std::shared_ptr<LoginAttempts> attempts) {
        commands_->setLoginAttempts(std::move(attempts));
    }

    // Told what each ended command to a device came to at its login.
    void setLoginWatch(DeviceCommandRunner::LoginWatch watch) {
        commands_->setLoginWatch(std::move(watch));
    }
    // Runs callback once whenever the last running command has ended (also one that was stopped).
    void setIdleCallback(std::function<void()> callback) {
        commands_->setIdleCallback(std::move(callback));
    }

private:
    struct Held;

    template <class Start>
    ConsoleJob* start(const Settings& settings, Continuation whenDone, Start startCommand);
    void hold(QWidget* control);
    void release(const QPointer<QWidget>& control);
    void releaseAll(Held& held);

    QWidget* window_;
    QHash<QWidget*, int> holds_;
    // Last, so that it goes first: its commands release their controls while holds_ exists.
    std::unique_ptr<DeviceCommandRunner> commands_;
};

} // namespace kestrane
