#include "InterfaceWatch.h"

#include "Discovery.h"

#include <QHash>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestrane {

namespace {

QList<quint32> LinkLocalOf(const QList<quint32>& addresses) {
    QList<quint32> linkLocal;
    for (quint32 address : addresses)
        if (IsLinkLocal(address))
            linkLocal.append(address);
    return linkLocal;
}

bool AnyLinkLocal(const InterfaceSnapshot& snapshot) {
    for (const InterfaceState& state : snapshot)
        if (!LinkLocalOf(state.ipv4).isEmpty())
            return true;
    return false;
}

// Bursts of netlink messages (an interface coming up sends several) settle for this long.
constexpr int SettleMs = 150;
constexpr int PollMs = 2000;

class SystemInterfaceWatcher : public InterfaceWatcher {
public:
    SystemInterfaceWatcher() {
        settle_.setSingleShot(true);
        settle_.setInterval(SettleMs);
        connect(&settle_, &QTimer::timeout, this, &InterfaceWatcher::changed);
        socket_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
        sockaddr_nl local{};
        local.nl_family = AF_NETLINK;
        local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
        if (socket_ >= 0 &&
            ::bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
            notifier_ = new QSocketNotifier(socket_, QSocketNotifier::Read, this);
            connect(notifier_, &QSocketNotifier::activated, this, [this] { drain(); });
            return;
        }
        if (socket_ >= 0)
            ::close(socket_);
        socket_ = -1;
        // No netlink: a light poll, compared by the receiver like any other change.
        poll_.setInterval(PollMs);
        connect(&poll_, &QTimer::timeout, this, &InterfaceWatcher::changed);
        poll_.start();
    }

    ~SystemInterfaceWatcher() override {
        delete notifier_;
        if (socket_ >= 0)
            ::close(socket_);
    }

    InterfaceSnapshot snapshot() const override { return SystemInterfaceSnapshot(); }

private:
    // Reads every waiting message (their content does not matter: the snapshot is read anew).
    void drain() {
        char buffer[8192];
        while (::recv(socket_, buffer, sizeof buffer, 0) > 0) {
        }
        settle_.start();
    }

    int socket_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer settle_;
    QTimer poll_;
};

} // namespace

QList<InterfaceEvent> InterfaceEvents(const InterfaceSnapshot& before,
                                      const InterfaceSnapshot& after) {
    QHash<QString, const InterfaceState*> earlier;
    for (const InterfaceState& state : before)
        earlier.insert(state.name, &state);
    QSet<QString> still;
    QList<InterfaceEvent> events;
    for (const InterfaceState& state : after) {
        still.insert(state.name);
        const InterfaceState* was = earlier.value(state.name);
        if (was == nullptr) {
            events.append({InterfaceEvent::Kind::Appeared, state.name, LinkLocalOf(state.ipv4)});
            continue;
        }
        QList<quint32> gained;
        for (quint32 address : LinkLocalOf(state.ipv4))
            if (!was->ipv4.contains(address))
                gained.append(address);
        if (!gained.isEmpty())
            events.append({InterfaceEvent::Kind::GainedLinkLocal, state.name, gained});
    }
    for (const InterfaceState& state : before)
        if (!still.contains(state.name))
            events.append({InterfaceEvent::Kind::Gone, state.name, LinkLocalOf(state.ipv4)});
    return events;
}

PlugSuggestion SuggestFromInterfaceEvents(const QList<InterfaceEvent>& events,
                                          const PlugContext& context) {
    PlugSuggestion suggestion;
    if (!context.connectedAddress.isEmpty()) {
        const QHostAddress connected(context.connectedAddress);
        bool linkLocalGone = false;
        for (const InterfaceEvent& event : events)
            if (event.kind == InterfaceEvent::Kind::Gone && !event.linkLocal.isEmpty())
                linkLocalGone = true;
        suggestion.connectionGone = connected.protocol() == QAbstractSocket::IPv4Protocol &&
                                    IsLinkLocal(connected.toIPv4Address()) && linkLocalGone &&
                                    !AnyLinkLocal(context.now);
        return suggestion;
    }
    if (context.field == AddressFieldState::Typed)
        return suggestion;
    QList<Ipv4Network> fresh;
    for (const InterfaceEvent& event : events)
        if (event.kind != InterfaceEvent::Kind::Gone)
            for (quint32 address : event.linkLocal)
                fresh.append({address, 32});
    if (fresh.isEmpty())
        return suggestion;
    // The neighbours of each new address, less every address the machine has now.
    QSet<quint32> own;
    for (const InterfaceState& state : context.now)
        for (quint32 address : state.ipv4)
            own.insert(address);
    for (quint32 candidate : DiscoveryCandidates(fresh))
        if (!own.contains(candidate))
            suggestion.probe.append(candidate);
    if (context.field == AddressFieldState::Untouched && !suggestion.probe.isEmpty())
        suggestion.fill = Ipv4Text(suggestion.probe.constFirst());
    return suggestion;
}

InterfaceSnapshot SystemInterfaceSnapshot() {
    InterfaceSnapshot snapshot;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& networkInterface : interfaces) {
        if (networkInterface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        InterfaceState state{networkInterface.name(), {}};
        const auto entries = networkInterface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries)
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                state.ipv4.append(entry.ip().toIPv4Address());
        snapshot.append(state);
    }
    return snapshot;
}

std::shared_ptr<InterfaceWatcher> MakeSystemInterfaceWatcher() {
    return std::make_shared<SystemInterfaceWatcher>();
}

} // namespace kestrane
