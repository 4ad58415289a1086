#pragma once

#include <QStringList>

namespace kestrane::cli {

// True when the arguments' command is "discover" (options before it may take values).
bool IsDiscoverCommand(const QStringList& arguments);

// kestrane-device [--json] [--deploy-tool DIR] discover [--network CIDR]...: finds devices on
// USB and the local network, or on the networks given. Returns the exit code: 0 when a device
// answered, 5 when none did, 1 for bad input.
int RunDiscover(const QStringList& arguments, const QString& appDir);

} // namespace kestrane::cli
