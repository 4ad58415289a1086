#include "AppActionQueue.h"

namespace kestrane {

std::shared_ptr<AppActionQueue> AppActionQueue::Start(StartDeviceCommand start,
                                                      DeviceContext context, DeviceTarget target,
                                                      DeployAction action, QList<Turn> turns,
                                                      std::chrono::milliseconds silenceLimit,
                                                      Callbacks callbacks) {
    std::shared_ptr<AppActionQueue> queue(new AppActionQueue);
    queue->start_ = std::move(start);
    queue->context_ = std::move(context);
    queue->target_ = std::move(target);
    queue->action_ = action;
    queue->turns_ = std::move(turns);
    queue->silenceLimit_ = silenceLimit;
    queue->callbacks_ = std::move(callbacks);
    if (!queue->turns_.isEmpty()) {
        queue->running_ = true;
        queue->runTurn();
    }
    return queue;
}

void AppActionQueue::runTurn() {
    const Turn& turn = turns_[next_];
    DeviceCommandRunner::Settings settings;
    settings.silenceLimit = silenceLimit_;
    const DeployInvocation command =
        DeployCommand(context_.tool, action_, target_.address, target_.password,
                      PackageArguments(turn.packageName, turn.packageId));
    // The continuation holds the queue: nothing else needs to keep it.
    ConsoleJob* job =
        start_(command, settings, [self = shared_from_this()](const CommandResult& result) {
            self->finishTurn(result);
        });
    if (callbacks_.started)
        callbacks_.started(job);
}

void AppActionQueue::finishTurn(const CommandResult& result) {
    if (abandoned_) {
        running_ = false;
        return;
    }
    const qsizetype index = next_++;
    const Turn& turn = turns_[index];
    TurnResult done{{}, context_.judge(result), result};
    if (done.verdict.succeeded) {
        done.status = AppActionStatus(action_, result.output);
    } else {
        done.status = AppActionFailedStatus;
        failures_ += turn.name + QStringLiteral(": ") + done.verdict.errorText + QLatin1Char('\n');
        if (!done.verdict.details.isEmpty())
            failureDetails_ +=
                turn.name + QStringLiteral(":\n") + done.verdict.details + QLatin1Char('\n');
    }
    if (callbacks_.turnDone)
        callbacks_.turnDone(index, done);
    if (abandoned_) {
        running_ = false;
        return;
    }
    if (next_ < turns_.size() && !result.timedOut) {
        runTurn();
        return;
    }
    running_ = false;
    if (callbacks_.ended)
        callbacks_.ended(failures_, failureDetails_);
}

} // namespace kestrane
