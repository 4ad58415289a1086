#pragma once

#include "CommandResult.h"
#include "ConsoleRunner.h"
#include "DeployCommand.h"
#include "HandlerGuard.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <list>
#include <memory>

namespace kestrane {

// Every device command the window runs goes through here, so that the window knows at any time
// what is still running. A command runs asynchronously; while it runs, the controls it holds back
// are disabled (a control held by two commands comes back when both have ended) and, if asked for,
// the hourglass cursor shows. When the command ends, its continuation receives the output through
// the handler guard, with the origin of the handler that started the command; after that its
// controls are enabled again and the cursor restored, exactly once, on every path.
//
// A command that writes nothing for its silence limit is stopped with everything it started; its
// continuation then receives a result marked as timed out. Where asked for (an installation,
// whose tool says nothing while it uploads), the command's own reading and writing counts as
// activity too: only a command whose output and I/O both stand still for the limit is stopped.
//
// A deploy tool invocation gets its arguments through a file in the program's private temporary
// folder (mode 0600), removed when the command ends, so no process list shows the password. A
// tool that was stopped may leave an empty login entry for its device in its home; it is removed
// once no other command of this object talks to that device.
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
    using Continuation = std::function<void(const CommandResult& result)>;

    // The silence limits the window gives its commands: device information and application
    // actions answer quickly; an installation may go quiet while the device unpacks a package.
    struct SilenceLimits {
        std::chrono::milliseconds device = std::chrono::seconds(60);
        std::chrono::milliseconds installation = std::chrono::seconds(300);
    };

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

    // True while any command started here has not yet ended (also one that is being stopped).
    bool isRunning() const { return !commands_.empty(); }

    // Stops every running command (its whole process group); their continuations never run.
    void stopAll();

    // The limits handlers put in their settings; tests shorten them.
    SilenceLimits& silenceLimits() { return silenceLimits_; }

    // Runs callback once whenever the last running command has ended (also one that was stopped).
    void setIdleCallback(std::function<void()> callback) { idleCallback_ = std::move(callback); }

private:
    struct Command;

    void finish(Command* command, const QString& output);
    void watchSilence(Command& command, const Settings& settings);
    void forgetStoppedLogin(const Command& command);
    void hold(QWidget* control);
    void release(const QPointer<QWidget>& control);
    void releaseAll(Command& command);

    QWidget* window_;
    std::shared_ptr<ConsoleRunner> runner_;
    std::list<std::unique_ptr<Command>> commands_;
    QHash<QWidget*, int> holds_;
    SilenceLimits silenceLimits_;
    std::function<void()> idleCallback_;
};

} // namespace kestrane
