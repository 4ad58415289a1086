#include "Services.h"

namespace kestrane {

Services SystemServices() {
    return WithSystemDefaults({});
}

Services WithSystemDefaults(Services services) {
    if (!services.localAddresses)
        services.localAddresses = std::make_shared<SystemLocalAddresses>();
    if (!services.registry)
        services.registry = std::shared_ptr<const RegistryView>(MakeJvmFolderRegistryView());
    if (!services.consoleRunner)
        services.consoleRunner = std::make_shared<ProcessConsoleRunner>();
    return services;
}

} // namespace kestrane
