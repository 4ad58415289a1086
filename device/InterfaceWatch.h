#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

namespace kestrane {

// A phone plugged in over USB shows up as a network interface that appears, or that gains a
// link-local IPv4 address (169.254.x.y) once USB networking is up. The window watches the
// machine's interfaces and turns what changes into a suggestion for its address field.

// One network interface and its IPv4 addresses (host byte order).
struct InterfaceState {
    QString name;
    QList<quint32> ipv4;

    friend bool operator==(const InterfaceState&, const InterfaceState&) = default;
};
using InterfaceSnapshot = QList<InterfaceState>;

struct InterfaceEvent {
    enum class Kind {
        Appeared,        // a new interface; linkLocal holds its link-local addresses, if any
        GainedLinkLocal, // an interface seen before has new link-local addresses (linkLocal)
        Gone,            // the interface is gone; linkLocal holds those it had
    };
    Kind kind = Kind::Appeared;
    QString name;
    QList<quint32> linkLocal;

    friend bool operator==(const InterfaceEvent&, const InterfaceEvent&) = default;
};

// What changed from one snapshot to the next, interfaces in the later snapshot's order, then
// those gone in the earlier one's. An interface that loses addresses without going is no event.
QList<InterfaceEvent> InterfaceEvents(const InterfaceSnapshot& before,
                                      const InterfaceSnapshot& after);

// Whose text the address field holds.
enum class AddressFieldState {
    Untouched, // its default, blank, or an address the window put there
    Found,     // the address of a device the window found after a plug-in
    Typed,     // what the user typed
};

struct PlugContext {
    // The address the window is connected to; empty while it is not connected.
    QString connectedAddress;
    AddressFieldState field = AddressFieldState::Untouched;
    // The interfaces as they are now (after the events).
    InterfaceSnapshot now;
};

struct PlugSuggestion {
    // The address to put in the field now (the neighbour where the phone takes its address);
    // empty to leave the field as it is.
    QString fill;
    // The addresses to probe for the device, most likely first.
    QList<quint32> probe;
    // The link-local network the connected device was reached through is gone.
    bool connectionGone = false;

    friend bool operator==(const PlugSuggestion&, const PlugSuggestion&) = default;
};

// The suggestion for a batch of interface events:
//  - while connected, nothing is suggested; the connection is gone when the window is connected
//    to a link-local address, an interface with a link-local address went away and no
//    interface has one any more (one phone may show two interfaces: one of them going is not
//    the phone going);
//  - otherwise every new link-local address (of an interface that appeared or gained one) gives
//    its neighbours to probe (the addresses just below and above, then 169.254.0.1, never one
//    of the machine's own), each once; the first of them fills the field unless a device found
//    already fills it;
//  - a field the user typed in is left alone, and nothing is probed for it.
PlugSuggestion SuggestFromInterfaceEvents(const QList<InterfaceEvent>& events,
                                          const PlugContext& context);

// Reports changes to the machine's network interfaces. The window holds one; tests give one
// they change by hand.
class InterfaceWatcher : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // The interfaces now (loopback left out), in the system's order.
    virtual InterfaceSnapshot snapshot() const = 0;

signals:
    // Interfaces or their addresses may have changed: compare snapshot() with the last one.
    void changed();
};

// The system's interfaces: a NETLINK_ROUTE socket subscribed to link and IPv4 address changes
// wakes the watcher (no polling, nothing busy); a burst of messages gives one changed() after a
// short settling time. Where no such socket can be opened, the interfaces are polled every two
// seconds instead.
std::shared_ptr<InterfaceWatcher> MakeSystemInterfaceWatcher();

// The interfaces as QNetworkInterface sees them now.
InterfaceSnapshot SystemInterfaceSnapshot();

} // namespace kestrane
