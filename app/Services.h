#pragma once

#include "ConsoleRunner.h"
#include "InterfaceWatch.h"
#include "LocalAddresses.h"
#include "LoginAttempts.h"
#include "PasswordKeyring.h"
#include "RegistryView.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace kestrane {

// Hands an address (a web page, a "mailto:" address) to the desktop, which opens it with the
// user's default browser or mail program. Whether that worked is not reported.
class DesktopOpener {
public:
    virtual ~DesktopOpener() = default;
    virtual void Open(const QString& address) = 0;
};

// The desktop's own: QDesktopServices::openUrl.
class SystemDesktopOpener : public DesktopOpener {
public:
    void Open(const QString& address) override;
};

// What the window reaches of the world outside it. The program passes the system's own
// (SystemServices); tests pass doubles. A missing service is replaced by the system's.
struct Services {
    // The machine's own IPv4 addresses, for the device address suggestion.
    std::shared_ptr<const LocalAddressSource> localAddresses;
    // The registry the Java runtimes are registered in.
    std::shared_ptr<const RegistryView> registry;
    // Starts the deploy tool's commands.
    std::shared_ptr<ConsoleRunner> consoleRunner;
    // Opens the support links' addresses.
    std::shared_ptr<DesktopOpener> desktop = nullptr;
    // The failed password attempts each device reported last (the state folder's, shared with
    // kestrane-device).
    std::shared_ptr<LoginAttempts> loginAttempts = nullptr;
    // The addresses Find Devices probes, most likely first: the system's are those of
    // DiscoveryCandidates() for the machine's own networks.
    std::function<QList<quint32>()> discoveryCandidates = nullptr;
    // The machine's network interfaces, watched for a phone plugged in over USB.
    std::shared_ptr<InterfaceWatcher> interfaceWatcher = nullptr;
    // The desktop keyring, where a device password is kept when the user asks for it.
    std::shared_ptr<PasswordKeyring> keyring = nullptr;
};

Services SystemServices();

// services with every missing one replaced by the system's own.
Services WithSystemDefaults(Services services);

} // namespace kestrane
