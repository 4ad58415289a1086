#include "Services.h"

namespace kestrane {

Services SystemServices() {
    return Services{
        std::make_shared<SystemLocalAddresses>(),
        std::shared_ptr<const RegistryView>(MakeJvmFolderRegistryView()),
        std::make_shared<ProcessConsoleRunner>(),
    };
}

} // namespace kestrane
