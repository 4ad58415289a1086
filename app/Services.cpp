#include "Services.h"

#include "Discovery.h"

#include <QDesktopServices>
#include <QUrl>

namespace kestrane {

void SystemDesktopOpener::Open(const QString& address) {
    QDesktopServices::openUrl(QUrl(address));
}

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
    if (!services.desktop)
        services.desktop = std::make_shared<SystemDesktopOpener>();
    if (!services.loginAttempts)
        services.loginAttempts = std::make_shared<LoginAttempts>();
    if (!services.discoveryCandidates)
        services.discoveryCandidates = [] { return DiscoveryCandidates(SystemLocalNetworks()); };
    if (!services.interfaceWatcher)
        services.interfaceWatcher = MakeSystemInterfaceWatcher();
    if (!services.keyring)
        services.keyring = MakeDesktopKeyring();
    return services;
}

} // namespace kestrane
