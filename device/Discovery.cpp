#include "Discovery.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QSet>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace kestrane {

namespace {

constexpr quint32 LinkLocalBase = 0xA9FE0000u;        // 169.254.0.0
constexpr quint32 DefaultDeviceAddress = 0xA9FE0001u; // 169.254.0.1

quint32 MaskOf(int prefix) {
    return prefix <= 0 ? 0u : 0xFFFFFFFFu << (32 - prefix);
}

bool InNetwork(quint32 address, quint32 base, int prefix) {
    return (address & MaskOf(prefix)) == (base & MaskOf(prefix));
}

// 10/8, 172.16/12, 192.168/16 and the link-local 169.254/16: where devices are found.
bool IsPrivate(quint32 address) {
    return InNetwork(address, 0x0A000000u, 8) || InNetwork(address, 0xAC100000u, 12) ||
           InNetwork(address, 0xC0A80000u, 16) || IsLinkLocal(address);
}

bool IsLoopback(quint32 address) {
    return InNetwork(address, 0x7F000000u, 8);
}

// Collects addresses in order, each once, leaving out what is never probed.
class CandidateList {
public:
    explicit CandidateList(const QSet<quint32>& own) : own_(own) {}
    void add(quint32 address) {
        if (IsLoopback(address) || own_.contains(address) || seen_.contains(address))
            return;
        seen_.insert(address);
        list_.append(address);
    }
    QList<quint32> take() { return std::move(list_); }

private:
    const QSet<quint32>& own_;
    QSet<quint32> seen_;
    QList<quint32> list_;
};

} // namespace

bool IsLinkLocal(quint32 address) {
    return InNetwork(address, LinkLocalBase, 16);
}

QString Ipv4Text(quint32 address) {
    return QHostAddress(address).toString();
}

std::optional<Ipv4Network> ParseNetwork(const QString& text, QString* error) {
    const QString addressText = text.section(QLatin1Char('/'), 0, 0);
    const bool hasPrefix = text.contains(QLatin1Char('/'));
    bool isNumber = true;
    const int prefix = hasPrefix ? text.section(QLatin1Char('/'), 1).toInt(&isNumber, 10) : 32;
    QHostAddress address;
    // Four dotted decimal groups exactly: QHostAddress alone also takes "10.1" and host names.
    const bool dotted = addressText.count(QLatin1Char('.')) == 3;
    if (!dotted || !address.setAddress(addressText) ||
        address.protocol() != QAbstractSocket::IPv4Protocol || !isNumber || prefix < 0 ||
        prefix > 32) {
        *error = QStringLiteral("%1 is no IPv4 network: give ADDRESS/PREFIX, such as "
                                "192.168.1.0/24")
                     .arg(text);
        return std::nullopt;
    }
    if (prefix < 16) {
        *error = QStringLiteral("%1 is larger than a /16 (65534 addresses): give a smaller "
                                "network, such as the /24 the device is in")
                     .arg(text);
        return std::nullopt;
    }
    return Ipv4Network{address.toIPv4Address() & MaskOf(prefix), prefix};
}

QList<quint32> NetworkHosts(const Ipv4Network& network) {
    const quint32 first = network.address & MaskOf(network.prefix);
    const quint64 size = quint64(1) << (32 - network.prefix);
    QList<quint32> hosts;
    // The network's own address and its broadcast address are no host's, from /30 on.
    const quint64 skip = network.prefix <= 30 ? 1 : 0;
    hosts.reserve(qsizetype(size - 2 * skip));
    for (quint64 offset = skip; offset + skip < size; ++offset)
        hosts.append(quint32(first + offset));
    return hosts;
}

QList<quint32> DiscoveryCandidates(const QList<Ipv4Network>& localNetworks) {
    QSet<quint32> own;
    for (const Ipv4Network& local : localNetworks)
        own.insert(local.address);
    CandidateList candidates(own);
    // A phone on USB takes the address next to the computer's, usually the one below it.
    for (const Ipv4Network& local : localNetworks) {
        if (!IsLinkLocal(local.address))
            continue;
        const quint32 last = local.address & 0xFFu;
        if (last > 0)
            candidates.add(local.address - 1);
        if (last < 255)
            candidates.add(local.address + 1);
        candidates.add(DefaultDeviceAddress);
    }
    for (const Ipv4Network& local : localNetworks) {
        if (!IsPrivate(local.address))
            continue;
        if (local.prefix >= 22) {
            const QList<quint32> hosts = NetworkHosts(local);
            for (quint32 host : hosts)
                candidates.add(host);
            continue;
        }
        // Of a larger network, the 256 addresses of the /24 around the computer's own, less the
        // network's own address and its broadcast address when they fall in it.
        const quint32 first = local.address & MaskOf(24);
        const quint32 base = local.address & MaskOf(local.prefix);
        const quint32 broadcast = base | ~MaskOf(local.prefix);
        for (quint32 offset = 0; offset < 256; ++offset) {
            const quint32 host = first + offset;
            if (host != base && host != broadcast)
                candidates.add(host);
        }
    }
    return candidates.take();
}

DiscoverySettings DiscoverySettings::FromEnvironment(QString* error) {
    DiscoverySettings settings;
    const QString port = qEnvironmentVariable("KESTRANE_DISCOVERY_PORT");
    if (!port.isEmpty()) {
        bool ok = false;
        const uint number = port.toUInt(&ok, 10);
        if (!ok || number == 0 || number > 65535)
            *error = QStringLiteral("KESTRANE_DISCOVERY_PORT=%1 is no port number (1 to 65535)")
                         .arg(port);
        else
            settings.port = quint16(number);
    }
    return settings;
}

struct DiscoveryScan::Probe {
    quint32 address = 0;
    QTcpSocket* socket = nullptr; // deleted later: it may be in one of its own signals
    QTimer* timer = nullptr;      // the socket's child
    QElapsedTimer started;
    QByteArray received;
};

DiscoveryScan::DiscoveryScan(QList<quint32> addresses, DiscoverySettings settings, QObject* parent)
    : QObject(parent), addresses_(std::move(addresses)), settings_(settings) {
    settings_.parallel = std::max(1, settings_.parallel);
}

DiscoveryScan::~DiscoveryScan() {
    for (const auto& probe : open_) {
        probe->socket->disconnect(this);
        probe->timer->disconnect(this);
        probe->socket->abort();
        probe->socket->deleteLater();
    }
}

void DiscoveryScan::start() {
    if (started_)
        return;
    started_ = true;
    emit progress(0, total());
    fill();
    finishIfDone();
}

void DiscoveryScan::cancel() {
    if (finished_)
        return;
    next_ = addresses_.size();
    while (!open_.empty())
        close(open_.back().get());
    finishIfDone();
}

void DiscoveryScan::fill() {
    while (next_ < addresses_.size() && qsizetype(open_.size()) + closing_ < settings_.parallel)
        open(addresses_[next_++]);
}

void DiscoveryScan::open(quint32 address) {
    auto probe = std::make_unique<Probe>();
    Probe* p = probe.get();
    p->address = address;
    p->socket = new QTcpSocket(this);
    p->timer = new QTimer(p->socket);
    p->timer->setSingleShot(true);
    p->started.start();
    open_.push_back(std::move(probe));
    peakOpen_ = std::max(peakOpen_, int(open_.size()) + closing_);

    // Every way a probe ends leads to close(): refused, unreachable, reset, timed out, an answer.
    connect(p->timer, &QTimer::timeout, this, [this, p] { received(p, true); });
    connect(p->socket, &QTcpSocket::connected, this, [this, p] {
        const qint64 left = settings_.answerTimeoutMs - p->started.elapsed();
        p->timer->start(int(std::max<qint64>(0, left)));
        p->socket->write(DiscoveryRequest(Ipv4Text(p->address)));
    });
    connect(p->socket, &QTcpSocket::readyRead, this, [this, p] { received(p, false); });
    connect(p->socket, &QTcpSocket::errorOccurred, this, [this, p] { received(p, true); });
    p->timer->start(std::min(settings_.connectTimeoutMs, settings_.answerTimeoutMs));
    p->socket->connectToHost(QHostAddress(address), settings_.port);
}

void DiscoveryScan::received(Probe* probe, bool closed) {
    // Never more than the limit (and one byte to know it is over) is kept.
    const qint64 room = DiscoveryAnswerLimit + 1 - probe->received.size();
    if (room > 0 && probe->socket->bytesAvailable() > 0)
        probe->received += probe->socket->read(room);
    const DiscoveryResponse response = ReadDiscoveryResponse(probe->received, closed);
    if (response.state == DiscoveryResponse::State::Incomplete && !closed)
        return;
    std::optional<DiscoveredDevice> device;
    if (response.state == DiscoveryResponse::State::Complete)
        device = ReadDiscoveryAnswer(response.body);
    const quint32 address = probe->address;
    close(probe);
    if (device) {
        device->address = Ipv4Text(address);
        device->via = IsLinkLocal(address) ? DiscoveryVia::Usb : DiscoveryVia::Network;
        devices_.append(*device);
        emit found(*device);
        if (finished_)
            return;
    }
    emit progress(done_, total());
    fill();
    finishIfDone();
}

void DiscoveryScan::close(Probe* probe) {
    const auto it = std::find_if(open_.begin(), open_.end(),
                                 [probe](const auto& open) { return open.get() == probe; });
    if (it == open_.end())
        return;
    probe->timer->stop();
    probe->socket->disconnect(this);
    probe->timer->disconnect(this);
    probe->socket->abort();
    // A socket whose connection failed keeps its descriptor until it is deleted, which waits
    // for the event loop: it counts against the bound until then, so that no more than
    // `parallel` descriptors are ever open.
    ++closing_;
    // destroyed() comes before the socket's children, its descriptor's among them, are gone:
    // the slot is freed one event-loop turn later.
    connect(
        probe->socket, &QObject::destroyed, this,
        [this] {
            --closing_;
            fill();
        },
        Qt::QueuedConnection);
    probe->socket->deleteLater();
    open_.erase(it);
    ++done_;
}

void DiscoveryScan::finishIfDone() {
    if (finished_ || !started_ || !open_.empty() || next_ < addresses_.size())
        return;
    finished_ = true;
    emit finished();
}

} // namespace kestrane
