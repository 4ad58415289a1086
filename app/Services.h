#pragma once

#include "ConsoleRunner.h"
#include "LocalAddresses.h"
#include "RegistryView.h"

#include <memory>

namespace kestrane {

// What the window reaches of the world outside it. The program passes the system's own
// (SystemServices); tests pass doubles. A missing service is replaced by the system's.
struct Services {
    // The machine's own IPv4 addresses, for the device address suggestion.
    std::shared_ptr<const LocalAddressSource> localAddresses;
    // The registry the Java runtimes are registered in.
    std::shared_ptr<const RegistryView> registry;
    // Starts the deploy tool's commands.
    std::shared_ptr<ConsoleRunner> consoleRunner;
};

Services SystemServices();

// services with every missing one replaced by the system's own.
Services WithSystemDefaults(Services services);

} // namespace kestrane
