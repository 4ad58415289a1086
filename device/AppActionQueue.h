#pragma once

#include "DeviceCommandRunner.h"
#include "DeviceOperations.h"

#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace kestrane {

// One application action (Check Status, Launch, Terminate, Uninstall) on a list of packages of
// one device: the tool runs once per package, one run after the other in the given order (the
// next starts from the previous one's continuation, so they never overlap). A device that went
// silent for one package is not asked again for the others.
class AppActionQueue : public std::enable_shared_from_this<AppActionQueue> {
public:
    // One package the action goes to; name is what reports call it (the application's name).
    struct Turn {
        QString name;
        QString packageName;
        QString packageId;
    };
    // What became of one turn: the status word for the package (AppActionStatus, or
    // AppActionFailedStatus) and the verdict.
    struct TurnResult {
        QString status;
        CommandVerdict verdict;
        CommandResult result;
    };
    struct Callbacks {
        // A turn's command has started (for a front end that stops it from outside).
        std::function<void(ConsoleJob* job)> started;
        // A turn has ended.
        std::function<void(qsizetype index, const TurnResult& result)> turnDone;
        // The queue has ended: one line "NAME: MESSAGE" per failed turn, and behind it the
        // tool's text of each ("NAME:" then the text); both empty when every turn succeeded.
        std::function<void(const QString& failures, const QString& failureDetails)> ended;
    };

    // Starts the first turn at once; nothing runs when turns is empty. The queue keeps itself
    // alive until it has ended.
    static std::shared_ptr<AppActionQueue> Start(StartDeviceCommand start, DeviceContext context,
                                                 DeviceTarget target, DeployAction action,
                                                 QList<Turn> turns,
                                                 std::chrono::milliseconds silenceLimit,
                                                 Callbacks callbacks);

    // Nothing more is reported and no further turn starts (the running command is left to the
    // caller to stop).
    void abandon() { abandoned_ = true; }
    bool isRunning() const { return running_; }
    const QList<Turn>& turns() const { return turns_; }

private:
    AppActionQueue() = default;
    void runTurn();
    void finishTurn(const CommandResult& result);

    StartDeviceCommand start_;
    DeviceContext context_;
    DeviceTarget target_;
    DeployAction action_ = DeployAction::IsAppRunning;
    QList<Turn> turns_;
    std::chrono::milliseconds silenceLimit_{0};
    Callbacks callbacks_;
    qsizetype next_ = 0;
    bool abandoned_ = false;
    bool running_ = false;
    QString failures_;
    QString failureDetails_;
};

} // namespace kestrane
