#pragma once

#include "CommandHostRunner.h"
#include "CommandResult.h"
#include "ConsoleRunner.h"
#include "DeployCommand.h"
#include "LoginAttempts.h"

#include <QString>

#include <chrono>
#include <functional>
#include <list>
#include <memory>

namespace kestrane {

// Runs device commands and knows at any time which are still running; both front ends start
// every deploy tool run here. A command runs asynchronously; when it ends, its continuation
// receives a CommandResult, and after that its whenEnded callback runs, exactly once, on every
// path (also when it was stopped or this object goes first).
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
// With login attempts given (setLoginAttempts), every deploy tool run to a device tells them how
// its login went, and a run to a device with one password attempt left is not started unless
// the front end allowed it (LoginAttempts::allowLastAttempt): its continuation then receives, from
// the event loop, a result whose withheld message says why (see JudgeDeviceCommand), and its job
// finishes without having run anything.
//
// Deploy tool runs go through command hosts (CommandHostRunner: one Java runtime per device,
// commands one at a time) when the runner is a ProcessConsoleRunner, CommandHostEnabled() and
// the owner has not chosen one process per command (setOneProcessPerCommand); otherwise each is a
// run of its own. Either way a command gives the same result.
//
// stopAll() ends every running command with everything it started and drops their results;
// destroying this object kills whatever still runs.
class DeviceCommandRunner {
public:
    struct Settings {
        ConsoleJob::Feed feed = ConsoleJob::Feed::WholeText;
        // Stopped when it writes nothing for this long; zero for no limit.
        std::chrono::milliseconds silenceLimit{0};
        // The command's reading and writing also counts as activity.
        bool ioCountsAsActivity = false;
        // Runs once the command has ended and its continuation (if any) has returned.
        std::function<void()> whenEnded;
    };
    using Continuation = std::function<void(const CommandResult& result)>;

    // The silence limits front ends give their commands: device information and application
    // actions answer quickly; an installation may go quiet while the device unpacks a package.
    struct SilenceLimits {
        std::chrono::milliseconds device = std::chrono::seconds(60);
        std::chrono::milliseconds installation = std::chrono::seconds(300);
    };

    // Jobs are made children of jobParent (a safety net; this object deletes them).
    explicit DeviceCommandRunner(std::shared_ptr<ConsoleRunner> runner,
                                 QObject* jobParent = nullptr);
    ~DeviceCommandRunner();
    DeviceCommandRunner(const DeviceCommandRunner&) = delete;
    DeviceCommandRunner& operator=(const DeviceCommandRunner&) = delete;

    // Starts the deploy tool as invocation says, in workingDir (the Java runtime's folder). The
    // job is returned for live output (its line signals); it belongs to this object. Throws
    // Error when the argument file cannot be written.
    ConsoleJob* run(const DeployInvocation& invocation, const QString& workingDir,
                    const Settings& settings, Continuation whenDone);
    // Starts a console command as it stands.
    ConsoleJob* run(const QString& command, const QString& workingDir, const Settings& settings,
                    Continuation whenDone);

    // True while any command started here has not yet ended (also one that is being stopped).
    bool isRunning() const { return !commands_.empty(); }

    // Stops every running command (its whole process group); their continuations never run.
    void stopAll();

    SilenceLimits& silenceLimits() { return silenceLimits_; }

    // Every deploy tool run a Java runtime of its own, for an owner that sends each device one
    // command only: a host would add its own start to that command and save nothing. Only before
    // the first command.
    void setOneProcessPerCommand() { hosts_.reset(); }

    // The command hosts in use, or null; for tests and benchmarks.
    CommandHostRunner* commandHosts() { return hosts_.get(); }

    // The failed password attempts the commands keep and obey; none by default.
    void setLoginAttempts(std::shared_ptr<LoginAttempts> attempts) {
        loginAttempts_ = std::move(attempts);
    }
    const std::shared_ptr<LoginAttempts>& loginAttempts() const { return loginAttempts_; }
    // Told what each ended run to a device came to at its login (the window forgets a kept
    // password the device refused).
    using LoginWatch = std::function<void(const QString& device, const LoginOutcome& outcome)>;
    void setLoginWatch(LoginWatch watch) { loginWatch_ = std::move(watch); }

    // Runs callback once whenever the last running command has ended (also one that was stopped).
    void setIdleCallback(std::function<void()> callback) { idleCallback_ = std::move(callback); }

private:
    struct Command;

    ConsoleJob* track(ConsoleJob* job, const Settings& settings, Continuation whenDone);
    void finish(Command* command, const QString& output);
    void watchSilence(Command& command, const Settings& settings);
    void forgetStoppedLogin(const Command& command);

    std::shared_ptr<ConsoleRunner> runner_;
    QObject* jobParent_;
    std::unique_ptr<CommandHostRunner> hosts_;
    std::list<std::unique_ptr<Command>> commands_;
    SilenceLimits silenceLimits_;
    std::shared_ptr<LoginAttempts> loginAttempts_;
    std::function<void()> idleCallback_;
    LoginWatch loginWatch_;
};

// What starts one deploy tool run for the device operations below: a DeviceCommandRunner's
// run() as it stands, or a front end's wrapper that adds what it shows meanwhile.
using StartDeviceCommand = std::function<ConsoleJob*(const DeployInvocation& invocation,
                                                     const DeviceCommandRunner::Settings& settings,
                                                     DeviceCommandRunner::Continuation whenDone)>;

} // namespace kestrane
