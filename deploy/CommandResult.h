#pragma once

#include "DeviceFailure.h"

#include <QString>

#include <chrono>
#include <utility>

namespace kestrane {

// How one run of the deploy tool ended, as the window's continuation receives it.
struct CommandResult {
    // Everything the tool wrote, standard output and standard error merged in order.
    QString output;
    // The tool's exit code; -1 when it was not started, crashed or was stopped.
    int exitCode = -1;
    // Stopped because it wrote nothing for silenceLimit.
    bool timedOut = false;
    std::chrono::milliseconds silenceLimit{0};
    // Not sent at all, because the device has one password attempt left: what to tell the user
    // (empty when the command ran).
    QString withheld;
};

// What a front end makes of a result: success, or what went wrong. On failure errorText is the
// message a box leads with (what happened, what to do), reason the one line a list of failures
// gives it, details the tool's whole text (empty when it wrote nothing), kind what it was.
struct CommandVerdict {
    CommandVerdict(bool succeeded = false, QString errorText = {},
                   FailureKind kind = FailureKind::None, QString reason = {}, QString details = {})
        : succeeded(succeeded), errorText(std::move(errorText)), kind(kind),
          reason(std::move(reason)), details(std::move(details)) {}
    bool succeeded;
    QString errorText;
    FailureKind kind;
    QString reason;
    QString details;

    static CommandVerdict Failed(const DeviceFailure& failure) {
        return {false, failure.message, failure.kind, failure.reason, failure.details};
    }
};

// A device command succeeded only when the tool exited with 0 and no output line begins with
// "Error:". The Java runtime's notices and the tool's logging never count as success on their
// own; each action's own test (three lines for Connect, "result::success" for an installation)
// comes on top of this one.
//
// On failure, in this order: LastAttemptLeft with the result's message when the command was not
// sent; NoAnswer with the silence message when the command was stopped for silence; what is missing
// of the runtime or the tool (MissingDeployTool) when it wrote nothing and failed; Unknown with a
// plain "ended without writing anything" message naming the exit code when nothing is missing;
// otherwise what DescribeToolFailure reads from the tool's text. A tool that wrote nothing and
// exited with 0 passes this test; the action's own test decides then. toolFolder: the folder of the
// deploy tool when it is not AppDir/lib.
CommandVerdict JudgeDeviceCommand(const CommandResult& result, const QString& appDir,
                                  const QString& javaBinDir, const QString& toolFolder = {});

// True when some line of the output begins with "Error:" (after the line break, no blank skipped).
bool HasErrorLine(const QString& output);

// "The device did not answer within 60 seconds." (the limit in whole seconds, or with one
// decimal below ten seconds when it is not whole).
QString SilenceMessage(std::chrono::milliseconds limit);

// What a command stopped for silence is told as: the silence message, then what to do.
DeviceFailure NoAnswerFailure(std::chrono::milliseconds limit);

// What keeps a deploy command from running, as a message naming the missing piece: the Java
// runtime (no runtime found, its launcher gone, or a folder name holding ':' that cannot stand in
// PATH), the deploy tool lib/BarDeploy.jar, or its TLS settings lib/deploy-tls.security. Empty
// when everything is in place. JavaRuntimeMissingMessage's own text comes first when no runtime
// was found at all.
QString MissingDeployToolMessage(const QString& appDir, const QString& javaBinDir,
                                 const QString& toolFolder = {});
// The same as a failure of its kind (JavaMissing, DeployToolMissing, TlsSettingsMissing); kind
// None when everything is in place. toolFolder: the deploy tool's folder when it is not
// AppDir/lib.
DeviceFailure MissingDeployTool(const QString& appDir, const QString& javaBinDir,
                                const QString& toolFolder = {});

// The tool's output as an error box shows it: its lines, each followed by a line break.
QString ToolOutputText(const QString& output);

} // namespace kestrane
