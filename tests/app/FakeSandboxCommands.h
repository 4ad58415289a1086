#pragma once

// Sandbox commands to a Z30 at 169.254.0.1 whose deploy tool is a function of the test's: it gets
// each run's tool arguments and gives the tool's output and exit code.
#include "Sandbox.h"

#include <QTimer>

#include <functional>

namespace kestrane::testing {

using FakeSandboxTool = std::function<CommandResult(const QStringList& toolArguments)>;

// fromEventLoop: the answer comes from the event loop, as a real run's does; otherwise at once.
inline SandboxCommands FakeSandboxCommands(FakeSandboxTool tool, bool fromEventLoop) {
    SandboxCommands commands;
    commands.context.tool.appDir = QStringLiteral("/opt/kestrane");
    commands.context.javaBinDir = QStringLiteral("/usr/bin");
    commands.target = {QStringLiteral("169.254.0.1"), QStringLiteral("z30")};
    commands.start = [tool, fromEventLoop](const DeployInvocation& invocation,
                                           const DeviceCommandRunner::Settings&,
                                           DeviceCommandRunner::Continuation whenDone) {
        const CommandResult result = tool(invocation.toolArguments);
        if (fromEventLoop)
            QTimer::singleShot(10, [whenDone, result] { whenDone(result); });
        else
            whenDone(result);
        return nullptr;
    };
    return commands;
}

} // namespace kestrane::testing
